#include "desktop/DesktopShell.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QPointer>
#include <QProcess>
#include <QTimer>
#include <QWidget>

#include "desktop/FileNames.h"
#include "desktop/MessageBoxes.h"

namespace {

constexpr QLatin1String kFileManagerService("org.freedesktop.FileManager1");
constexpr QLatin1String kFileManagerPath("/org/freedesktop/FileManager1");
constexpr QLatin1String kFileManagerInterface("org.freedesktop.FileManager1");
// A file manager that is being started on demand may take a moment; one that takes
// longer than this is treated as absent and the folder is opened instead.
constexpr int kShowItemsTimeoutMs = 10000;

// Never from inside the caller's own call: a box there would run an event loop in the
// middle of a command. A box for a window that closed meanwhile is not shown.
std::function<void()> ReportFailure(QWidget* owner, const QString& text)
{
    return [owner = QPointer<QWidget>(owner), hadOwner = owner != nullptr, text] {
        QTimer::singleShot(0, QCoreApplication::instance(), [owner, hadOwner, text] {
            if (hadOwner && !owner)
                return;
            MessageBoxes::Current().Exclaim(owner, QStringLiteral("Tavolin"), text);
        });
    };
}

// The file's address made from its bytes, whatever their encoding, so that the file
// manager and the opener are told exactly the name on disk.
QString FileUri(const std::string& path)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::error_code ignored;
    const std::string absolute = std::filesystem::absolute(path, ignored).string();
    QString uri = QStringLiteral("file://");
    for (const char c : absolute) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                           (byte >= '0' && byte <= '9') || byte == '/' || byte == '-' || byte == '.' ||
                           byte == '_' || byte == '~';
        if (plain) {
            uri += QLatin1Char(c);
        } else {
            uri += QLatin1Char('%');
            uri += QLatin1Char(kHex[byte >> 4]);
            uri += QLatin1Char(kHex[byte & 0xF]);
        }
    }
    return uri;
}

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Started in a session of its own through a short-lived middle process, so nothing waits
// for the program and no zombie stays behind; the arguments are handed over byte for
// byte. False when the program could not be started at all.
bool StartDetached(const std::vector<std::string>& argv)
{
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return false;
    const pid_t middle = ::fork();
    if (middle == 0) {
        ::setsid();
        if (::fork() == 0) {
            // Our blocked and ignored signals are no business of the program's.
            sigset_t none;
            sigemptyset(&none);
            ::sigprocmask(SIG_SETMASK, &none, nullptr);
            ::signal(SIGPIPE, SIG_DFL);
            ::execv(args[0], args.data());
            const int error = errno;
            (void)!::write(report[1], &error, sizeof error);
            ::_exit(127);
        }
        ::_exit(0);
    }
    ::close(report[1]);
    if (middle < 0) {
        ::close(report[0]);
        return false;
    }
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    // Nothing to read once the program has replaced the child: the pipe closed on exec.
    int error = 0;
    ssize_t got = 0;
    while ((got = ::read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    ::close(report[0]);
    return got == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// xdg-open, watched to its end: it fails when it is missing, finds nothing to open
// with, or the program it chose fails. An opener still running when the program ends
// is left alone (never deleted), so the window it opened is not taken down with it.
void OpenWithDesktop(const QString& target, const std::function<void()>& failed)
{
    auto* opener = new QProcess;
    opener->setProgram(QStringLiteral("xdg-open"));
    opener->setArguments({target});
    opener->setStandardOutputFile(QProcess::nullDevice());
    opener->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QObject::connect(opener, &QProcess::errorOccurred, opener,
                     [opener, failed](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart)
                             return;  // the end comes through finished
                         failed();
                         opener->deleteLater();
                     });
    QObject::connect(opener, &QProcess::finished, opener,
                     [opener, failed](int exitCode, QProcess::ExitStatus status) {
                         if (status != QProcess::NormalExit || exitCode != 0)
                             failed();
                         opener->deleteLater();
                     });
    opener->start();
}

class FreedesktopShell final : public DesktopShell {
public:
    void ShowInFolder(const QString& path, QWidget* owner) override
    {
        const std::string file = ToFileName(path);
        const QString folder = FileUri(FolderOf(file));
        const std::function<void()> failed = ReportFailure(owner, CannotShowText(path));
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected()) {
            OpenWithDesktop(folder, failed);
            return;
        }
        QDBusMessage call = QDBusMessage::createMethodCall(
            kFileManagerService, kFileManagerPath, kFileManagerInterface, QStringLiteral("ShowItems"));
        call << QStringList{FileUri(file)} << QString();
        // Asynchronous, so a slow or hung file manager never freezes the window.
        auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kShowItemsTimeoutMs),
                                                    QCoreApplication::instance());
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                         [folder, failed](QDBusPendingCallWatcher* finished) {
                             if (finished->isError())
                                 OpenWithDesktop(folder, failed);
                             finished->deleteLater();
                         });
    }

    void OpenFolder(const QString& path, QWidget* owner) override
    {
        OpenWithDesktop(FileUri(ToFileName(path)), ReportFailure(owner, CannotOpenFolderText(path)));
    }

    bool StartProgram(const QString& program, const QStringList& arguments) override
    {
        std::vector<std::string> argv{ToFileName(program)};
        for (const QString& argument : arguments)
            argv.push_back(ToFileName(argument));
        return StartDetached(argv);
    }
};

std::atomic<DesktopShell*> g_pInstalled{nullptr};

}  // namespace

QString DesktopShell::CannotShowText(const QString& path)
{
    return QStringLiteral("Can not show \"%1\": no file manager answered.").arg(path);
}

QString DesktopShell::CannotOpenFolderText(const QString& path)
{
    return QStringLiteral("Can not open the folder \"%1\": no file manager answered.").arg(path);
}

DesktopShell& DesktopShell::Current()
{
    if (DesktopShell* installed = g_pInstalled.load())
        return *installed;
    static FreedesktopShell desktop;
    return desktop;
}

void DesktopShell::Install(DesktopShell* shell)
{
    g_pInstalled.store(shell);
}
