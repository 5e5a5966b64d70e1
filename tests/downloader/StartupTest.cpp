// Tavolin's start and end: the data folder check, one instance per user, the exit
// sequence on a termination signal, and the file-error prompt between a worker and the
// UI thread. The last tests start the real program.
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
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "WindowTestSupport.h"
#include "downloader/CMainApp.h"
#include "downloader/CMainDlg.h"
#include "downloader/ExitSignals.h"
#include "downloader/SingleInstance.h"
#include "downloader/UiFilePrompt.h"

namespace {

int g_nSuffix = 0;

// A socket name of the test's own, so no test meets another's instance or the user's.
QString UniqueServer()
{
    return TestHome() + QStringLiteral("/runtime/BrevantTavgrab10-test-%1-%2").arg(::getpid()).arg(++g_nSuffix);
}

// What a crashed run leaves behind: a bound socket file that nobody listens on.
bool LeaveStaleSocket(const QString& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray bytes = path.toLocal8Bit();
    std::memcpy(address.sun_path, bytes.constData(), std::min<std::size_t>(bytes.size(), sizeof address.sun_path - 1));
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound && QFileInfo::exists(path);
}

CMainApp::Options AppOptions(const std::string& dataFolder)
{
    CMainApp::Options options;
    options.m_csInstanceServer = UniqueServer();
    options.m_csDataFolder = dataFolder;
    options.m_trayAvailable = false;
    options.m_bDropWindow = false;
    return options;
}

QProcessEnvironment ProgramEnvironment(const QString& home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home + QStringLiteral("/runtime"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return environment;
}

}  // namespace

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void missingDataFolderIsReportedAndEndsTheRun()
    {
        BoxRecorder boxes;
        QTemporaryDir parent;
        const std::string missing = parent.path().toStdString() + "/Tavolin Data";
        QApplication& app = *qApp;
        QCOMPARE(CMainApp::Run(app, AppOptions(missing)), 1);
        QCOMPARE(boxes.m_boxes,
                 QStringList{QStringLiteral("Tavolin | Can not find the application data directory \"") +
                             QString::fromStdString(missing) + QStringLiteral("\" for Tavolin, Please reinstall this program.")});
        QVERIFY(!std::filesystem::exists(missing));  // never created
        for (QWidget* widget : QApplication::topLevelWidgets())
            QVERIFY(!qobject_cast<CMainDlg*>(widget));
    }

    void defaultDataFolderFollowsXdgDataHome()
    {
        QCOMPARE(QString::fromStdString(CMainApp::StandardDataFolder()),
                 TestHome() + QStringLiteral("/data/Tavolin Data"));
        BoxRecorder boxes;
        CMainApp::Options options = AppOptions("");
        options.m_csDataFolder.reset();
        QCOMPARE(CMainApp::Run(*qApp, options), 1);
        QCOMPARE(boxes.m_boxes.size(), 1);
        QVERIFY(boxes.m_boxes.first().contains(TestHome() + QStringLiteral("/data/Tavolin Data")));
    }

    void startLoadsTheStoreAndExitSavesIt()
    {
        BoxRecorder boxes;
        QTemporaryDir parent;
        const std::string folder = parent.path().toStdString() + "/Tavolin Data";
        std::filesystem::create_directory(folder);
        WriteText(folder + "/tasks.ini", StoreText({TaskNamed("kept")}));
        // Exit as soon as the window is up, the way the Exit button does.
        QTimer::singleShot(100, [] {
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* window = qobject_cast<CMainDlg*>(widget)) {
                    QCOMPARE(window->Model().rowCount(), 1);
                    window->ExitApp();
                }
        });
        QCOMPARE(CMainApp::Run(*qApp, AppOptions(folder)), 0);
        QVERIFY(ReadText(folder + "/tasks.ini").find("m_csVideoSize0=") != std::string::npos);

        // Any entry at the path passes the check; the store then simply cannot be kept.
        const std::string file = parent.path().toStdString() + "/plain file";
        WriteText(file, "");
        QTimer::singleShot(100, [] {
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* window = qobject_cast<CMainDlg*>(widget))
                    window->ExitApp();
        });
        QCOMPARE(CMainApp::Run(*qApp, AppOptions(file)), 0);
        QVERIFY(boxes.m_boxes.isEmpty());
    }

    void secondInstanceAsksTheFirstToShow()
    {
        const QString server = UniqueServer();
        SingleInstance first(server);
        QCOMPARE(first.Claim(1000), SingleInstance::Outcome::Listening);
        QSignalSpy asked(&first, &SingleInstance::activationRequested);

        SingleInstance second(server);
        // The first runs on this thread too, so it answers only once events flow again;
        // the second counts it as running as soon as it accepts.
        QCOMPARE(second.Claim(300), SingleInstance::Outcome::Answered);
        QVERIFY(asked.wait(5000));
        QCOMPARE(asked.size(), 1);
    }

    void socketLeftByACrashDoesNotBlockAStart()
    {
        const QString server = UniqueServer();
        QVERIFY(LeaveStaleSocket(server));
        SingleInstance instance(server);
        QCOMPARE(instance.Claim(1000), SingleInstance::Outcome::Listening);
        SingleInstance later(server);
        QCOMPARE(later.Claim(300), SingleInstance::Outcome::Answered);
    }

    void terminationSignalsReachTheUiThread()
    {
        struct sigaction before {};
        struct sigaction mine {};
        mine.sa_handler = SIG_IGN;
        ::sigaction(SIGHUP, &mine, &before);
        {
            ExitSignals handler;
            QVERIFY(handler.IsInstalled());
            ExitSignals second;  // one holder at a time
            QVERIFY(!second.IsInstalled());
            QSignalSpy requested(&handler, &ExitSignals::exitRequested);
            for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
                ::raise(number);
                QVERIFY(requested.wait(2000));
                QCOMPARE(requested.takeFirst().at(0).toInt(), number);
            }
        }
        struct sigaction after {};
        ::sigaction(SIGHUP, nullptr, &after);
        QVERIFY(after.sa_handler == SIG_IGN);  // the previous handler is back
        ::sigaction(SIGHUP, &before, nullptr);
    }

    void fileErrorPromptWaitsForTheUserAndLetsGoAtExit()
    {
        BoxRecorder boxes;
        QWidget owner;
        UiFilePrompt prompt(&owner);
        std::atomic<bool> returned{false};
        std::thread worker([&] {
            prompt.ShowFileError("Can not create file /x.flv");
            returned = true;
        });
        QTRY_VERIFY(returned.load());  // the box is shown on this thread, then the worker goes on
        worker.join();
        QCOMPARE(boxes.m_boxes, QStringList{QStringLiteral("Tavolin | Can not create file /x.flv")});

        // No events flow, so no box can be answered: only closing lets the worker go.
        returned = false;
        std::thread waiting([&] {
            prompt.ShowFileError("second");
            returned = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        QVERIFY(!returned.load());
        prompt.Close();
        waiting.join();
        QCoreApplication::processEvents();
        QCOMPARE(boxes.m_boxes.size(), 1);  // the late box is never shown
        prompt.ShowFileError("after close");
        QCOMPARE(boxes.m_boxes.size(), 1);
    }

    void programEndsOnSigtermWithTheStoreSavedAndStaysSingle()
    {
        QTemporaryDir home;
        for (const char* sub : {"data/Tavolin Data", "config", "runtime"})
            QVERIFY(QDir(home.path()).mkpath(QString::fromLatin1(sub)));
        QFile::setPermissions(home.path() + QStringLiteral("/runtime"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        const std::string store = home.path().toStdString() + "/data/Tavolin Data/tasks.ini";
        std::vector<StoredTask> tasks{TaskNamed("one"), TaskNamed("two")};
        tasks[1].finished = true;
        WriteText(store, StoreText(tasks));

        const QString program = QStringLiteral(TAVOLIN_BIN_DIR "/tavolin");
        const QString socket = home.path() + QStringLiteral("/runtime/BrevantTavgrab10-%1").arg(::getuid());
        QProcess first;
        first.setProcessEnvironment(ProgramEnvironment(home.path()));
        first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        first.start(program, {});
        QVERIFY(first.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(socket), 20000);

        QProcess second;
        second.setProcessEnvironment(ProgramEnvironment(home.path()));
        second.start(program, {});
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.state(), QProcess::Running);

        ::kill(static_cast<pid_t>(first.processId()), SIGTERM);
        QVERIFY(first.waitForFinished(20000));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        QCOMPARE(first.exitCode(), 0);
        const std::string saved = ReadText(store);
        QVERIFY(saved.find("TASKS_NUMBER=2\r\n") != std::string::npos);
        QVERIFY(saved.find("m_csAudioCodec1=") != std::string::npos);  // rewritten whole
        QVERIFY(saved.find("TASKFINISHED_1=TRUE") != std::string::npos);
        QVERIFY(!QFileInfo::exists(socket));
    }
};

static RegisterWindowTest g_register([] { return new StartupTest; });

#include "StartupTest.moc"
