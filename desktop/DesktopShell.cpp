#include "desktop/DesktopShell.h"

#include <atomic>
#include <functional>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QTimer>
#include <QUrl>
#include <QWidget>

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
        const QFileInfo file(path);
        const QString folder = file.absolutePath();
        const std::function<void()> failed = ReportFailure(owner, CannotShowText(path));
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected()) {
            OpenWithDesktop(folder, failed);
            return;
        }
        QDBusMessage call = QDBusMessage::createMethodCall(
            kFileManagerService, kFileManagerPath, kFileManagerInterface, QStringLiteral("ShowItems"));
        call << QStringList{QString::fromLatin1(QUrl::fromLocalFile(file.absoluteFilePath()).toEncoded())}
             << QString();
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
        OpenWithDesktop(path, ReportFailure(owner, CannotOpenFolderText(path)));
    }

    bool StartProgram(const QString& program, const QStringList& arguments) override
    {
        return QProcess::startDetached(program, arguments);
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
