#include "desktop/CTrayIcon.h"

#include <QApplication>
#include <QMenu>

CTrayIcon::CTrayIcon(QObject* parent) : QObject(parent) {}

CTrayIcon::~CTrayIcon()
{
    Remove();
}

bool CTrayIcon::DesktopHasTray()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool CTrayIcon::TogglesWindow(QSystemTrayIcon::ActivationReason reason,
                              std::optional<std::chrono::milliseconds> sinceLastToggle,
                              std::chrono::milliseconds doubleClickTime)
{
    if (reason != QSystemTrayIcon::Trigger && reason != QSystemTrayIcon::DoubleClick)
        return false;
    return !sinceLastToggle || *sinceLastToggle > doubleClickTime;
}

void CTrayIcon::Add(const QIcon& icon, const QString& tip, QMenu* menu)
{
    if (!m_trayIcon) {
        m_trayIcon = new QSystemTrayIcon(this);
        connect(m_trayIcon, &QSystemTrayIcon::activated, this, &CTrayIcon::OnActivated);
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

void CTrayIcon::OnActivated(QSystemTrayIcon::ActivationReason reason)
{
    std::optional<std::chrono::milliseconds> since;
    if (m_sinceToggle.isValid())
        since = std::chrono::milliseconds(m_sinceToggle.elapsed());
    if (!TogglesWindow(reason, since, std::chrono::milliseconds(QApplication::doubleClickInterval())))
        return;
    m_sinceToggle.start();
    emit toggleRequested();
}
