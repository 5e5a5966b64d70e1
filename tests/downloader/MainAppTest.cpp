// Tavolin's start and end: the data folder check, one instance per user, the exit
// on a termination signal, and the file-error prompt between a worker and the
// UI thread. The last test starts the real program.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <thread>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "WindowTestSupport.h"
#include "downloader/CAddTaskDlg.h"
#include "downloader/CMainApp.h"
#include "downloader/CMainDlg.h"
#include "downloader/SingleInstance.h"
#include "downloader/UiFilePrompt.h"
#include "support/CapturedStandardError.h"
#include "support/Files.h"

namespace {

int g_nSuffix = 0;

// A socket name of the test's own, so no test meets another's instance or the user's.
QString UniqueServer()
{
    return TestHome() +
           QStringLiteral("/runtime/BrevantTavgrab10-test-%1-%2").arg(::getpid()).arg(++g_nSuffix);
}

// The default data folder, made for one test, which removes it.
std::filesystem::path MakeDataFolder()
{
    const std::filesystem::path folder = (TestHome() + QStringLiteral("/data/Tavolin Data")).toStdString();
    std::filesystem::create_directory(folder);
    return folder;
}

}  // namespace

class MainAppTest : public QObject {
    Q_OBJECT

private slots:
    void missingDataFolderIsReportedAndEndsTheRun()
    {
        BoxRecorder boxes;
        const QString missing =
            TestHome() + QStringLiteral("/data/Tavolin Data");  // the default, under XDG_DATA_HOME
        CMainApp::Options options;                              // the data folder left to the default
        options.instanceServer = UniqueServer();
        options.trayAvailable = false;
        options.dropWindow = false;
        CapturedStandardError errors;
        QCOMPARE(CMainApp::Run(*qApp, options), 1);
        // A start from a terminal also learns there how to make the folder.
        const std::string printed = errors.Text();
        QVERIFY2(printed.find("\n    mkdir -p \"" + missing.toStdString() + "\"\n") != std::string::npos,
                 printed.c_str());
        QCOMPARE(boxes.m_boxes,
                 QStringList{QStringLiteral("Tavolin | Can not find the application data directory \"") +
                             missing + QStringLiteral("\" for Tavolin, Please reinstall this program.")});
        QVERIFY(!QFileInfo::exists(missing));  // never created
        for (QWidget* widget : QApplication::topLevelWidgets())
            QVERIFY(!qobject_cast<CMainDlg*>(widget));
    }

    void aStartDuringAnExitWaitsForItToEndThenBecomesTheInstance()
    {
        // A socket left by a crash, bound and abandoned unlistened, blocks no start.
        const QString server = UniqueServer();
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, server.toLocal8Bit().constData(), sizeof address.sun_path - 1);
        QVERIFY(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
        ::close(fd);
        auto ending = std::make_unique<SingleInstance>(server);
        QCOMPARE(ending->Claim(1000), SingleInstance::Outcome::Listening);
        ending->StopListening();

        // The later start runs on a thread of its own, since it blocks while it waits.
        std::atomic<bool> claimed{false};
        SingleInstance::Outcome outcome = SingleInstance::Outcome::Alone;
        SingleInstance::Outcome thirdOutcome = SingleInstance::Outcome::Alone;
        std::thread start([&] {
            SingleInstance later(server);
            outcome = later.Claim(300, {}, 30000);
            claimed = true;
            // Listening now: a third start asks this one, which counts as running once it accepts.
            SingleInstance third(server);
            thirdOutcome = third.Claim(300, {}, 0);
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        QVERIFY(!claimed);  // neither answered by the ending run nor beside it
        ending.reset();     // its process ends
        start.join();
        QCOMPARE(outcome, SingleInstance::Outcome::Listening);
        QCOMPARE(thirdOutcome, SingleInstance::Outcome::Answered);

        // An exit that never ends is waited for only so long.
        SingleInstance hung(server);
        QCOMPARE(hung.Claim(1000), SingleInstance::Outcome::Listening);
        hung.StopListening();
        SingleInstance after(server);
        QCOMPARE(after.Claim(300, {}, 200), SingleInstance::Outcome::Listening);
    }

    void fileErrorPromptWaitsForTheUserAndLetsGoAtExit()
    {
        BoxRecorder boxes;
        QWidget owner;
        UiFilePrompt prompt(&owner);
        std::atomic<int> returned{0};
        const auto show = [&](const char* text) {
            return std::thread([&, text] {
                prompt.ShowFileError(text);
                ++returned;
            });
        };
        std::thread worker = show("Can not create file /x.flv");
        QTRY_COMPARE(returned.load(), 1);  // the box is shown on this thread, then the worker goes on
        worker.join();
        QCOMPARE(boxes.m_boxes, QStringList{QStringLiteral("Tavolin | Can not create file /x.flv")});

        // No events flow, so no box can be answered: only closing lets the worker go.
        std::thread waiting = show("second");
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        QCOMPARE(returned.load(), 1);
        prompt.Close();
        waiting.join();
        QCoreApplication::processEvents();
        QCOMPARE(boxes.m_boxes.size(), 1);  // the late box is never shown
    }

    void commandLineAddressesAreOfferedOneAfterAnother()
    {
        // This run starts with one address; a later start hands two more to it while the
        // first dialog is open. Each dialog opens only when the one before has closed.
        const std::filesystem::path folder = MakeDataFolder();
        const QString first = QStringLiteral("https://cdn.example/first.mp4");
        const QStringList later = {QStringLiteral("http://cdn.example/a b.webm"),
                                   QStringLiteral("-not an option")};
        QStringList offered;
        QProcess second;
        QPointer<QDialog> open;
        QTimer script;
        QObject::connect(&script, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<CAddTaskDlg*>(QApplication::activeModalWidget());
            if (dialog == nullptr || !dialog->isVisible())
                return;
            if (dialog != open) {
                QVERIFY(!open);  // the dialog before has closed
                open = dialog;
                offered << dialog->findChild<QLineEdit*>(QStringLiteral("url"))->text();
                if (offered.size() == 1)
                    second.start(QStringLiteral(TAVOLIN_BIN_DIR "/tavolin"),
                                 QStringList{QStringLiteral("--")} + later);
            }
            // The first dialog stays open until the later start has handed its addresses
            // over and ended.
            if (offered.size() == 1 && second.state() != QProcess::NotRunning)
                return;
            dialog->reject();
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* window = qobject_cast<CMainDlg*>(widget); window && offered.size() == 3)
                    window->ExitApp();
        });
        script.start(50);
        QTimer::singleShot(60000, &script, [] { QCoreApplication::exit(3); });  // whatever happens

        CMainApp::Options options;
        options.trayAvailable = false;
        options.dropWindow = false;
        options.addresses = {first};
        QCOMPARE(CMainApp::Run(*qApp, options), 0);
        QCOMPARE(offered, QStringList{first} + later);
        QVERIFY(second.exitStatus() == QProcess::NormalExit && second.exitCode() == 0);
        std::filesystem::remove_all(folder);
    }

    void programEndsOnSigtermWithTheStoreSavedAndItsSocketGone()
    {
        // The program inherits this one's home and XDG folders; its data folder lives only
        // for this test.
        const std::filesystem::path folder = MakeDataFolder();
        const std::filesystem::path store = folder / "tasks.ini";
        std::vector<StoredTask> tasks = Named({"one", "two"});
        tasks[1].finished = true;
        WriteText(store, StoreText(tasks));

        const QString program = QStringLiteral(TAVOLIN_BIN_DIR "/tavolin");
        const QString socket =
            SingleInstance::ServerNameFor(QStringLiteral("BrevantTavgrab10"), folder.string());
        QVERIFY(socket.startsWith(TestHome() + QStringLiteral("/runtime/")));
        QProcess first;
        first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        first.start(program, {});
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(socket), 20000);
        ::kill(static_cast<pid_t>(first.processId()), SIGTERM);
        QVERIFY(first.waitForFinished(20000));
        QVERIFY(first.exitStatus() == QProcess::NormalExit && first.exitCode() == 0);
        const std::string saved = ReadText(store);
        for (const char* key :
             {"TASKS_NUMBER=2\r\n", "TASKFINISHED_1=TRUE", "m_csAudioCodec1="})  // rewritten whole
            QVERIFY2(saved.find(key) != std::string::npos, key);
        QVERIFY(!QFileInfo::exists(socket));
        std::filesystem::remove_all(folder);
    }
};

static RegisterTest g_register([] { return new MainAppTest; });

#include "MainAppTest.moc"
