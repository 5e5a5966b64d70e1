#include "skin/DesktopShell.h"

#include <atomic>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace {

constexpr const char* kFileManagerService = "org.freedesktop.FileManager1";
constexpr const char* kFileManagerPath = "/org/freedesktop/FileManager1";
constexpr const char* kFileManagerInterface = "org.freedesktop.FileManager1";
// A file manager that is being started on demand may take a moment; one that takes
// longer than this is treated as absent and the folder is opened instead.
constexpr int kShowItemsTimeoutMs = 10000;

bool OpenWithDesktop(const QString& path)
{
    return QProcess::startDetached(QStringLiteral("xdg-open"), {path});
}

class FreedesktopShell final : public DesktopShell {
public:
    void ShowInFolder(const QString& path) override
    {
        const QFileInfo file(path);
        const QString folder = file.absolutePath();
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected()) {
            OpenWithDesktop(folder);
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
                         [folder](QDBusPendingCallWatcher* finished) {
                             if (finished->isError())
                                 OpenWithDesktop(folder);
                             finished->deleteLater();
                         });
    }

    void OpenFolder(const QString& path) override { OpenWithDesktop(path); }

    void OpenDocument(const QString& path) override { OpenWithDesktop(path); }

    bool StartProgram(const QString& program, const QStringList& arguments) override
    {
        return QProcess::startDetached(program, arguments);
    }
};

std::atomic<DesktopShell*> g_pInstalled{nullptr};

}  // namespace

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
