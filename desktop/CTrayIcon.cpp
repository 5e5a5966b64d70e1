#include "desktop/CTrayIcon.h"

#include <QMenu>
#include <QSystemTrayIcon>

CTrayIcon::CTrayIcon(QObject* parent) : QObject(parent) {}

CTrayIcon::~CTrayIcon()
{
    Remove();
}

bool CTrayIcon::DesktopHasTray()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void CTrayIcon::Add(const QIcon& icon, const QString& tip, QMenu* menu)
{
    if (!m_trayIcon) {
        m_trayIcon = new QSystemTrayIcon(this);
        connect(m_trayIcon, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    if (reason == QSystemTrayIcon::DoubleClick)
                        emit doubleClicked();
                });
    }
    m_trayIcon->setIcon(icon);
    m_trayIcon->setToolTip(tip);
    m_trayIcon->setContextMenu(menu);
    m_trayIcon->show();
}

void CTrayIcon::Remove()
{
    if (!m_trayIcon)
        return;
    m_trayIcon->hide();
    m_trayIcon->setContextMenu(nullptr);
    delete m_trayIcon;
    m_trayIcon = nullptr;
}

bool CTrayIcon::IsShown() const
{
    return m_trayIcon && m_trayIcon->isVisible();
}
