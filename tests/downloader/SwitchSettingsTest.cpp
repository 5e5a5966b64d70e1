#include <QTemporaryDir>
#include <QtTest>

#include "DialogsTestSupport.h"
#include "downloader/SwitchSettings.h"
#include "platform/PrivateProfile.h"

class SwitchSettingsTest : public QObject {
    Q_OBJECT

private slots:
    void storedAnswerOrTheDefault()
    {
        QTemporaryDir dir;
        const std::string settings = (dir.path() + QStringLiteral("/settings.ini")).toStdString();
        QVERIFY(ReadSwitch(settings, kWatchClipboardKey) && !ReadSwitch(settings, kWatchClipboardKey, false));
        // Stored, what the switch reads, then with the default off.
        const struct {
            const char* stored;
            bool on;
            bool onWithDefaultOff;
        } rows[] = {
            {"0", false, false}, {" Off ", false, false}, {"FALSE", false, false}, {"1", true, true},
            {"yes", true, true}, {"", true, false},       {"2", true, false},
        };
        for (const auto& row : rows) {
            QVERIFY(
                platform::WritePrivateProfileString("TASKSINFO", kNotificationsKey, row.stored, settings));
            QVERIFY2(ReadSwitch(settings, kNotificationsKey) == row.on, row.stored);
            QVERIFY2(ReadSwitch(settings, kNotificationsKey, false) == row.onWithDefaultOff, row.stored);
        }
        QVERIFY(WriteSwitch(settings, kWatchClipboardKey, false));
        QCOMPARE(platform::GetPrivateProfileString("TASKSINFO", "WATCH_CLIPBOARD", "", 64, settings),
                 std::string("0"));
        QVERIFY(!ReadSwitch(settings, kWatchClipboardKey));
    }
};

static RegisterTest registerSwitchSettingsTest([] { return new SwitchSettingsTest; });

#include "SwitchSettingsTest.moc"
