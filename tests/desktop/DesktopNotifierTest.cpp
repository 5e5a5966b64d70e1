// Notifications of ended tasks through a stand-in notification service on the private
// message bus that CTest runs this test on (TAVOLIN_PRIVATE_BUS).
#include <QDBusConnection>
#include <QVariantMap>
#include <QtTest>

#include "desktop/DesktopNotifier.h"
#include "desktop/DesktopShell.h"
#include "support/BoxRecorder.h"

namespace {

// Records every Notify and answers with a new identifier; its signals are the service's.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public slots:
    uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap&, int timeout)
    {
        calls << QStringList{app,
                             QString::number(replaces),
                             icon,
                             summary,
                             body,
                             actions.join(u'|'),
                             QString::number(timeout)};
        return ++m_lastId;
    }

signals:
    void ActionInvoked(uint id, const QString& action);
    void NotificationClosed(uint id, uint reason);

public:
    QList<QStringList> calls;
    uint m_lastId = 40;
};

class ShellRecorder : public DesktopShell {
public:
    ShellRecorder() { DesktopShell::Install(this); }
    ~ShellRecorder() override { DesktopShell::Install(nullptr); }
    void ShowInFolder(const QString& path, QWidget*) override { shown << path; }
    void OpenFolder(const QString&, QWidget*) override {}
    bool StartProgram(const QString&, const QStringList&) override { return true; }
    QStringList shown;
};

TaskEnding Completed(const QString& name)
{
    return {name, QStringLiteral("Task Completed"), QStringLiteral("/v/") + name, true};
}

TaskEnding Failed(const QString& name)
{
    return {name, QStringLiteral("Download Failed"), QString(), false};
}

}  // namespace

class DesktopNotifierTest : public QObject {
    Q_OBJECT

    const bool m_bus = qEnvironmentVariableIsSet("TAVOLIN_PRIVATE_BUS");
    FakeNotifications m_fake;
    QDBusConnection m_service{QString()};

    // Long enough for a batch to be told and anything after it to arrive.
    static void WaitPastTheBatch() { QTest::qWait(static_cast<int>(EndingBatch::kWindow.count()) + 700); }

private slots:
    void initTestCase()
    {
        if (!m_bus)
            QSKIP("no private message bus");
        m_service = QDBusConnection::connectToBus(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"),
                                                  QStringLiteral("notifications"));
        QVERIFY(
            m_service.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &m_fake,
                                     QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
        QVERIFY(m_service.registerService(QStringLiteral("org.freedesktop.Notifications")));
    }

    void init() { m_fake.calls.clear(); }

    void oneEndingIsOneNotificationAndItsClickShowsTheFile()
    {
        ShellRecorder shell;
        DesktopNotifier notifier;
        notifier.Add(Completed(QStringLiteral("a<b> & c.mp4")));
        QTRY_COMPARE_WITH_TIMEOUT(m_fake.calls.size(), 1, 10000);
        QCOMPARE(m_fake.calls.front(),
                 (QStringList{QStringLiteral("Tavolin"), QStringLiteral("0"), QStringLiteral("tavolin"),
                              QStringLiteral("Task Completed"), QStringLiteral("a&lt;b&gt; &amp; c.mp4"),
                              QStringLiteral("default|Show in Folder"), QStringLiteral("-1")}));
        const uint id = m_fake.m_lastId;
        QTest::qWait(200);  // the answer with the identifier reaches the notifier

        emit m_fake.ActionInvoked(id + 1, QStringLiteral("default"));  // somebody else's
        emit m_fake.ActionInvoked(id, QStringLiteral("other"));
        emit m_fake.ActionInvoked(id, QStringLiteral("default"));
        QTRY_COMPARE_WITH_TIMEOUT(shell.shown, QStringList{QStringLiteral("/v/a<b> & c.mp4")}, 10000);
        // Once closed, its identifier means nothing any more.
        emit m_fake.NotificationClosed(id, 2);
        emit m_fake.ActionInvoked(id, QStringLiteral("default"));
        QTest::qWait(300);
        QCOMPARE(shell.shown.size(), 1);
        QCOMPARE(m_fake.calls.size(), 1);
    }

    void severalEndingsWithinTwoSecondsAreOneSummaryWithoutAClick()
    {
        ShellRecorder shell;
        DesktopNotifier notifier;
        for (const TaskEnding& ending : {Completed(QStringLiteral("a")), Failed(QStringLiteral("b")),
                                         Completed(QStringLiteral("c")), Completed(QStringLiteral("d"))})
            notifier.Add(ending);
        WaitPastTheBatch();
        QCOMPARE(m_fake.calls.size(), 1);
        QCOMPARE(m_fake.calls.front().at(3), QStringLiteral("3 tasks completed, 1 failed"));
        QCOMPARE(m_fake.calls.front().at(5), QString());  // no action: nothing to show
        emit m_fake.ActionInvoked(m_fake.m_lastId, QStringLiteral("default"));
        QTest::qWait(300);
        QVERIFY(shell.shown.isEmpty());
    }

    void switchedOffTellsNothingNotEvenWhatWasWaiting()
    {
        DesktopNotifier notifier;
        notifier.Add(Completed(QStringLiteral("a")));
        notifier.SetEnabled(false);
        notifier.Add(Failed(QStringLiteral("b")));
        QCOMPARE(notifier.Waiting(), std::size_t{0});
        WaitPastTheBatch();
        QVERIFY(m_fake.calls.isEmpty());

        notifier.SetEnabled(true);
        notifier.Add(Failed(QStringLiteral("c")));
        QTRY_COMPARE_WITH_TIMEOUT(m_fake.calls.size(), 1, 10000);
        QCOMPARE(m_fake.calls.front().at(4), QStringLiteral("c"));
    }

    void withoutAServiceNothingIsShownAndNothingWaits()
    {
        QVERIFY(m_service.unregisterService(QStringLiteral("org.freedesktop.Notifications")));
        BoxRecorder boxes;
        DesktopNotifier notifier;
        notifier.Add(Completed(QStringLiteral("a")));
        QTRY_COMPARE_WITH_TIMEOUT(notifier.Waiting(), std::size_t{0}, 10000);
        // The call went to nobody; the notifier answers the next ending as before.
        notifier.Add(Completed(QStringLiteral("b")));
        QCOMPARE(notifier.Waiting(), std::size_t{1});
        QVERIFY(m_service.registerService(QStringLiteral("org.freedesktop.Notifications")));
        QTRY_COMPARE_WITH_TIMEOUT(m_fake.calls.size(), 1, 10000);
        QCOMPARE(m_fake.calls.front().at(4), QStringLiteral("b"));
        QVERIFY(boxes.m_boxes.isEmpty());
    }
};

QTEST_MAIN(DesktopNotifierTest)
#include "DesktopNotifierTest.moc"
