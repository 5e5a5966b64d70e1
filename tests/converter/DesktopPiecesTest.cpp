// The real message boxes and the real desktop shell. The file manager is a stand-in
// service on a private message bus that this test starts and stops; the desktop's
// opener is a stand-in script found first on PATH.
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "skin/DesktopShell.h"
#include "skin/MessageBoxes.h"

namespace {

constexpr const char* kService = "org.freedesktop.FileManager1";
constexpr const char* kPath = "/org/freedesktop/FileManager1";

QStringList ReadLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

class NullBoxes : public MessageBoxes {
public:
    void Exclaim(QWidget*, const QString&, const QString&) override { ++count; }
    int count = 0;
};

}  // namespace

class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public slots:
    void ShowItems(const QStringList& uris, const QString& startupId)
    {
        shown << uris;
        startup = startupId;
        ++calls;
    }

public:
    QStringList shown;
    QString startup;
    int calls = 0;
};

class DesktopPiecesTest : public QObject {
    Q_OBJECT

public:
    explicit DesktopPiecesTest(QString busAddress) : m_busAddress(std::move(busAddress)) {}

private slots:
    void initTestCase();
    void init();
    void MessageBoxesShowAWarningWithOneButton();
    void ShowInFolderAsksTheFileManager();
    void ShowInFolderFallsBackToTheFolder();
    void OpenersAndProgramsGetTheirArgumentsWhole();

private:
    QString m_busAddress;
    QTemporaryDir m_root;
    QString m_log;
};

void DesktopPiecesTest::initTestCase()
{
    QVERIFY(m_root.isValid());
    QVERIFY(QDir().mkpath(m_root.path() + "/bin"));
    m_log = m_root.path() + "/opened.txt";
    const QString opener = m_root.path() + "/bin/xdg-open";
    QFile script(opener);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >> '" + m_log + "'\n").toUtf8());
    script.close();
    QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    qputenv("PATH", (m_root.path() + "/bin:" + qgetenv("PATH")).toUtf8());
}

void DesktopPiecesTest::init()
{
    QFile::remove(m_log);
}

void DesktopPiecesTest::MessageBoxesShowAWarningWithOneButton()
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QString caption;
    QString text;
    Qt::TextFormat format = Qt::AutoText;
    QTimer::singleShot(0, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr)
            return;
        icon = box->icon();
        buttons = box->standardButtons();
        caption = box->windowTitle();
        text = box->text();
        format = box->textFormat();
        box->accept();
    });
    MessageBoxes::Current().Exclaim(nullptr, "Information", "Folder <b>x</b> & more");
    QCOMPARE(icon, QMessageBox::Warning);
    QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(caption, QString("Information"));
    QCOMPARE(text, QString("Folder <b>x</b> & more"));
    QCOMPARE(format, Qt::PlainText);

    NullBoxes recorder;
    MessageBoxes& real = MessageBoxes::Current();
    MessageBoxes::Install(&recorder);
    QCOMPARE(&MessageBoxes::Current(), static_cast<MessageBoxes*>(&recorder));
    MessageBoxes::Current().Exclaim(nullptr, "Tavolin", "recorded");
    QCOMPARE(recorder.count, 1);
    MessageBoxes::Install(nullptr);
    QCOMPARE(&MessageBoxes::Current(), &real);
}

void DesktopPiecesTest::ShowInFolderAsksTheFileManager()
{
    if (m_busAddress.isEmpty())
        QSKIP("no private message bus");
    QDBusConnection manager = QDBusConnection::connectToBus(m_busAddress, "file-manager");
    QVERIFY(manager.isConnected());
    FakeFileManager fake;
    QVERIFY(manager.registerObject(kPath, &fake, QDBusConnection::ExportAllSlots));
    QVERIFY(manager.registerService(kService));

    const QString target = m_root.path() + "/out/My Clip #1.mp4";
    DesktopShell::Current().ShowInFolder(target);
    QTRY_COMPARE_WITH_TIMEOUT(fake.calls, 1, 10000);
    QCOMPARE(fake.shown, QStringList{QString::fromLatin1(QUrl::fromLocalFile(target).toEncoded())});
    QVERIFY(fake.shown.first().startsWith("file:///"));
    QVERIFY(fake.shown.first().endsWith("/out/My%20Clip%20%231.mp4"));
    QVERIFY(fake.startup.isEmpty());
    QTest::qWait(100);
    QVERIFY(!QFile::exists(m_log));  // the file manager answered: no folder opened

    manager.unregisterService(kService);
    manager.unregisterObject(kPath);
    QDBusConnection::disconnectFromBus("file-manager");
}

void DesktopPiecesTest::ShowInFolderFallsBackToTheFolder()
{
    if (m_busAddress.isEmpty())
        QSKIP("no private message bus");
    // Nobody owns the file manager's name on this bus, and nothing can be started for it.
    const QString target = m_root.path() + "/out/clip.mp4";
    DesktopShell::Current().ShowInFolder(target);
    QTRY_COMPARE_WITH_TIMEOUT(ReadLines(m_log), QStringList{m_root.path() + "/out"}, 10000);
}

void DesktopPiecesTest::OpenersAndProgramsGetTheirArgumentsWhole()
{
    const QString folder = m_root.path() + "/a folder; with $(signs) & 'quotes'";
    DesktopShell::Current().OpenFolder(folder);
    QTRY_COMPARE_WITH_TIMEOUT(ReadLines(m_log), QStringList{folder}, 10000);

    // No shell in between: every argument arrives as it was given.
    QFile::remove(m_log);
    const QStringList arguments = {"-source", "/v/a \"b\" $HOME.flv"};
    QVERIFY(DesktopShell::Current().StartProgram(m_root.path() + "/bin/xdg-open", arguments));
    QTRY_COMPARE_WITH_TIMEOUT(ReadLines(m_log), arguments, 10000);

    QVERIFY(!DesktopShell::Current().StartProgram(m_root.path() + "/bin/no-such-program", {}));
}

namespace {

// Starts the bus daemon with its output silenced; it dies with this process, even when
// a test crashes, so nothing of it outlives the run.
pid_t StartBusDaemon(const std::string& config)
{
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent)
        ::_exit(1);
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, STDIN_FILENO);
    ::dup2(null, STDOUT_FILENO);
    ::dup2(null, STDERR_FILENO);
    const std::string configArgument = "--config-file=" + config;
    ::execl("/usr/bin/dbus-daemon", "dbus-daemon", configArgument.c_str(), "--nofork", "--nopidfile",
            static_cast<char*>(nullptr));
    ::_exit(127);
}

}  // namespace

int main(int argc, char** argv)
{
    // A private bus, started before the application so that its session bus is this
    // one. It offers no services of its own and starts none on demand.
    std::string dir = (std::filesystem::temp_directory_path() / "pellux-bus-XXXXXX").string();
    pid_t daemon = -1;
    QString address;
    if (::mkdtemp(dir.data()) != nullptr && ::access("/usr/bin/dbus-daemon", X_OK) == 0) {
        const std::string socket = dir + "/bus";
        const std::string config = dir + "/bus.conf";
        {
            std::ofstream out(config);
            out << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
                   "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                   "<busconfig><type>session</type><listen>unix:path="
                << socket
                << "</listen><policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                   "<allow receive_sender=\"*\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/></policy>"
                   "</busconfig>\n";
        }
        daemon = StartBusDaemon(config);
        for (int i = 0; daemon > 0 && i < 500 && !std::filesystem::exists(socket); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (std::filesystem::exists(socket))
            address = QString::fromStdString("unix:path=" + socket);
    }
    // Never the user's own bus, whatever happens above.
    ::setenv("DBUS_SESSION_BUS_ADDRESS",
             address.isEmpty() ? "unix:path=/nonexistent/pellux-test-bus" : address.toUtf8().constData(), 1);

    int rc = 0;
    {
        QApplication app(argc, argv);
        DesktopPiecesTest test(address);
        rc = QTest::qExec(&test, argc, argv);
    }
    if (daemon > 0) {
        ::kill(daemon, SIGKILL);
        ::waitpid(daemon, nullptr, 0);
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return rc;
}

#include "DesktopPiecesTest.moc"
