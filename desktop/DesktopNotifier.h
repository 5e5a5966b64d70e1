#pragma once
#include <cstdint>
#include <map>

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QTimer>

#include "desktop/EndingBatch.h"

class QDBusPendingCallWatcher;

// Tells the desktop when tasks end, through the notification service
// (org.freedesktop.Notifications) on the session bus: endings are gathered for two
// seconds into one notification, and a click on a completed task's shows its file in
// the file manager. Every call is asynchronous; without a bus or a service nothing is
// shown and nothing waits.
class DesktopNotifier : public QObject {
    Q_OBJECT

public:
    explicit DesktopNotifier(QDBusConnection bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);

    // On by default. Off forgets the endings not yet told.
    void SetEnabled(bool on);
    bool IsEnabled() const { return m_enabled; }

    void Add(const TaskEnding& ending);
    // Endings gathered and not yet told.
    std::size_t Waiting() const { return m_batch.Size(); }

private slots:
    // Signals of the notification service; D-Bus signals connect by signature only.
    void OnActionInvoked(uint id, const QString& action);
    void OnClosed(uint id, uint reason);

private:
    void TellDue();
    void Send(const NotificationText& text);

    QDBusConnection m_bus;
    EndingBatch m_batch;
    QTimer m_timer;
    // The notifications on screen that show a file when clicked.
    std::map<uint, QString> m_files;
    bool m_enabled = true;
};
