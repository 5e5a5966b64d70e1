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
    if (!m_pIcon) {
        m_pIcon = new QSystemTrayIcon(this);
        connect(m_pIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::DoubleClick)
                emit doubleClicked();
        });
    }
    m_pIcon->setIcon(icon);
    m_pIcon->setToolTip(tip);
    m_pIcon->setContextMenu(menu);
    m_pIcon->show();
}

void CTrayIcon::Remove()
{
    if (!m_pIcon)
        return;
    m_pIcon->hide();
    m_pIcon->setContextMenu(nullptr);
    delete m_pIcon;
    m_pIcon = nullptr;
}

bool CTrayIcon::IsShown() const
{
    return m_pIcon && m_pIcon->isVisible();
}
