#include "desktop/DesktopNotifier.h"

#include <chrono>

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include "desktop/DesktopShell.h"

namespace {

constexpr QLatin1String kService("org.freedesktop.Notifications");
constexpr QLatin1String kPath("/org/freedesktop/Notifications");
constexpr QLatin1String kInterface("org.freedesktop.Notifications");
constexpr QLatin1String kDefaultAction("default");
// A service that does not answer in this time is taken as absent.
constexpr int kCallTimeoutMs = 10000;

}  // namespace

DesktopNotifier::DesktopNotifier(QDBusConnection bus, QObject* parent)
    : QObject(parent), m_bus(std::move(bus))
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &DesktopNotifier::TellDue);
    if (!m_bus.isConnected())
        return;
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                  SLOT(OnActionInvoked(uint, QString)));
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                  SLOT(OnClosed(uint, uint)));
}

void DesktopNotifier::SetEnabled(bool on)
{
    m_enabled = on;
    if (!on) {
        m_batch.Clear();
        m_timer.stop();
    }
}

void DesktopNotifier::Add(const TaskEnding& ending)
{
    if (!m_enabled)
        return;
    m_batch.Add(ending, std::chrono::steady_clock::now());
    if (!m_timer.isActive())
        m_timer.start(EndingBatch::kWindow);
}

void DesktopNotifier::TellDue()
{
    const std::vector<TaskEnding> endings = m_batch.TakeDue(std::chrono::steady_clock::now());
    if (!endings.empty())
        Send(DescribeEndings(endings));
    // A timer that fired a moment early leaves the batch for its due time.
    if (const auto due = m_batch.DueAt()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(*due - std::chrono::steady_clock::now());
        m_timer.start(std::max(left, std::chrono::milliseconds(0)));
    }
}

void DesktopNotifier::Send(const NotificationText& text)
{
    if (!m_bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    const QStringList actions =
        text.file.isEmpty() ? QStringList() : QStringList{kDefaultAction, QStringLiteral("Show in Folder")};
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("tavolin"));
    // The body may be read as markup: a name holding '<' or '&' stays text.
    call << QStringLiteral("Tavolin") << uint(0) << QStringLiteral("tavolin") << text.summary
         << text.body.toHtmlEscaped() << actions << hints << int(-1);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, file = text.file](QDBusPendingCallWatcher* done) {
                const QDBusPendingReply<uint> reply = *done;
                if (!reply.isError() && !file.isEmpty())
                    m_files[reply.value()] = file;
                done->deleteLater();
            });
}

void DesktopNotifier::OnActionInvoked(uint id, const QString& action)
{
    const auto shown = m_files.find(id);
    if (shown == m_files.end() || action != kDefaultAction)
        return;
    DesktopShell::Current().ShowInFolder(shown->second, nullptr);
}

void DesktopNotifier::OnClosed(uint id, uint)
{
    m_files.erase(id);
}
