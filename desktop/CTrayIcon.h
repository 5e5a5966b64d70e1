#pragma once
#include <chrono>
#include <optional>

#include <QElapsedTimer>
#include <QIcon>
#include <QObject>
#include <QString>
#include <QSystemTrayIcon>

class QMenu;

// The icon in the desktop's notification area: the application icon, the tip
// "Tavolin", the tray menu on a right click, and a click or a double click that toggles
// the main window. Nothing is shown where the desktop has no notification area.
class CTrayIcon : public QObject {
    Q_OBJECT

public:
    explicit CTrayIcon(QObject* parent = nullptr);
    ~CTrayIcon() override;

    static bool DesktopHasTray();

    // Whether an activation of the icon toggles the window. Trays tell a click as a
    // trigger; a double click comes as a trigger and a double click, or as two triggers.
    // Whatever follows a toggle within the double-click time belongs to the same double
    // click and toggles nothing more.
    static bool TogglesWindow(QSystemTrayIcon::ActivationReason reason,
                              std::optional<std::chrono::milliseconds> sinceLastToggle,
                              std::chrono::milliseconds doubleClickTime);

    // `menu` stays owned by the caller and must outlive the icon's use of it.
    void Add(const QIcon& icon, const QString& tip, QMenu* menu);
    void Remove();
    bool IsShown() const;

signals:
    void toggleRequested();

private:
    void OnActivated(QSystemTrayIcon::ActivationReason reason);

    QSystemTrayIcon* m_trayIcon = nullptr;
    QElapsedTimer m_sinceToggle;  // invalid until the first toggle
};
