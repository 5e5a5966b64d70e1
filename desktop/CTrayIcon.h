#pragma once
#include <QIcon>
#include <QObject>
#include <QString>

class QMenu;
class QSystemTrayIcon;

// The icon in the desktop's notification area: the application icon, the tip
// "Tavolin", the tray menu on a right click, and a double click that toggles the main
// window. Nothing is shown where the desktop has no notification area.
class CTrayIcon : public QObject {
    Q_OBJECT

public:
    explicit CTrayIcon(QObject* parent = nullptr);
    ~CTrayIcon() override;

    static bool DesktopHasTray();

    // `menu` stays owned by the caller and must outlive the icon's use of it.
    void Add(const QIcon& icon, const QString& tip, QMenu* menu);
    void Remove();
    bool IsShown() const;

signals:
    void doubleClicked();

private:
    QSystemTrayIcon* m_trayIcon = nullptr;
};
