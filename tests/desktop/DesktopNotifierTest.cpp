// Notifications of ended tasks through a stand-in notification service on the private
// message bus that CTest runs this test on (TAVOLIN_PRIVATE_BUS).
#include <QDBusConnection>
#include <QVariantMap>
#include <QtTest>

#include "desktop/DesktopNotifier.h"
#include "support/ShellRecorder.h"

namespace {

// Records each Notify as "summary | body | actions" and answers with a new identifier.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public slots:
    uint Notify(const QString& app, uint, const QString&, const QString& summary, const QString& body,
                const QStringList& actions, const QVariantMap&, int)
    {
        calls << QStringList{app, summary, body, actions.join(u',')}.join(QStringLiteral(" | "));
        return ++lastId;
    }

signals:
    void ActionInvoked(uint id, const QString& action);

public:
    QStringList calls;
    uint lastId = 40;
};

TaskEnding Ending(const char* name, bool completed)
{
    const QString text = QString::fromUtf8(name);
    return {text, completed ? QStringLiteral("Task Completed") : QStringLiteral("Download Failed"),
            completed ? QStringLiteral("/v/") + text : QString(), completed};
}

}  // namespace

class DesktopNotifierTest : public QObject {
    Q_OBJECT

    FakeNotifications m_fake;
    ShellRecorder m_shell;

private slots:
    void initTestCase()
    {
        if (!qEnvironmentVariableIsSet("TAVOLIN_PRIVATE_BUS"))
            QSKIP("no private message bus");
        QDBusConnection service = QDBusConnection::connectToBus(
            qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("notifications"));
        QVERIFY(service.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &m_fake,
                                       QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
        QVERIFY(service.registerService(QStringLiteral("org.freedesktop.Notifications")));
    }

    void oneEndingIsOneNotificationWhoseClickShowsItsFile()
    {
        DesktopNotifier notifier;
        notifier.Add(Ending("a<b> & c.mp4", true));
        QTRY_COMPARE_WITH_TIMEOUT(m_fake.calls.size(), 1, 10000);
        // The body may be read as markup: the name stays text.
        QCOMPARE(m_fake.calls.front(), QStringLiteral("Tavolin | Task Completed | a&lt;b&gt; &amp; c.mp4 | "
                                                      "default,Show in Folder"));
        QTest::qWait(200);  // the identifier's answer reaches the notifier
        emit m_fake.ActionInvoked(m_fake.lastId + 1, QStringLiteral("default"));  // not ours
        emit m_fake.ActionInvoked(m_fake.lastId, QStringLiteral("default"));
        QTRY_COMPARE_WITH_TIMEOUT(m_shell.m_calls, QStringList{QStringLiteral("show /v/a<b> & c.mp4")},
                                  10000);
        m_fake.calls.clear();
        m_shell.m_calls.clear();
    }

    void severalEndingsAreOneSummaryAndNoneWhenSwitchedOff()
    {
        DesktopNotifier notifier;
        for (const TaskEnding& ending :
             {Ending("a", true), Ending("b", false), Ending("c", true), Ending("d", true)})
            notifier.Add(ending);
        notifier.SetEnabled(false);  // forgets what waits, tells nothing new
        notifier.Add(Ending("e", false));
        notifier.SetEnabled(true);
        for (const TaskEnding& ending :
             {Ending("f", true), Ending("g", false), Ending("h", true), Ending("i", true)})
            notifier.Add(ending);
        QTest::qWait(static_cast<int>(EndingBatch::kWindow.count()) + 800);
        QCOMPARE(m_fake.calls,
                 QStringList{QStringLiteral("Tavolin | 3 tasks completed, 1 failed | f: Task "
                                            "Completed\ng: Download Failed\nh: Task Completed\ni: "
                                            "Task Completed | ")});
        emit m_fake.ActionInvoked(m_fake.lastId, QStringLiteral("default"));  // a summary shows nothing
        QTest::qWait(200);
        QVERIFY(m_shell.m_calls.isEmpty());
    }
};

QTEST_MAIN(DesktopNotifierTest)
#include "DesktopNotifierTest.moc"
