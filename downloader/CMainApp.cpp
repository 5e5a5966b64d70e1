#include "downloader/CMainApp.h"

#include <cstdio>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QStandardPaths>
#include <QTimer>

#include "desktop/FileNames.h"
#include "desktop/MessageBoxes.h"
#include "downloader/CMainDlg.h"
#include "downloader/ExitSignals.h"
#include "downloader/MainWindowRules.h"
#include "downloader/SingleInstance.h"
#include "fetch/ServiceConfig.h"
#include "platform/CommandLine.h"
#include "platform/FileSystem.h"

namespace {

const QString kCaption = QStringLiteral("Tavolin");

// TAVOLIN_SCREENSHOT=<file.png>: shortly after the start, save the main window as it
// looks (outside its rounded shape transparent) and run the exit sequence. Used to make
// the picture in the documentation.
void ScheduleScreenshot(CMainDlg& window)
{
    const QString path = qEnvironmentVariable("TAVOLIN_SCREENSHOT");
    if (path.isEmpty())
        return;
    QTimer::singleShot(1500, &window, [&window, path] {
        const QPixmap pixels = window.grab();
        QImage shaped(pixels.size(), QImage::Format_ARGB32_Premultiplied);
        shaped.setDevicePixelRatio(pixels.devicePixelRatio());
        shaped.fill(Qt::transparent);
        QPainter painter(&shaped);
        painter.setClipRegion(window.mask().isEmpty() ? QRegion(window.rect()) : window.mask());
        painter.drawPixmap(0, 0, pixels);
        painter.end();
        shaped.save(path);
        window.ExitApp();
    });
}

}  // namespace

std::string CMainApp::StandardDataFolder()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        return {};
    return ToFileName(base + QStringLiteral("/Tavolin Data"));
}

int CMainApp::Run(QApplication& app, Options options)
{
    // The window hides into the tray and message boxes come and go while it is hidden:
    // only the exit sequence ends the run.
    app.setQuitOnLastWindowClosed(false);
    QGuiApplication::setDesktopFileName(QStringLiteral("tavolin"));

    const std::string dataFolder = options.dataFolder ? *options.dataFolder : StandardDataFolder();
    const QString server = options.instanceServer.isEmpty()
                               ? SingleInstance::ServerNameFor(QLatin1String(kInstanceMarker), dataFolder)
                               : options.instanceServer;
    // Taken before the instance listens: a termination signal during the start waits in
    // its pipe for an event loop. Until the window exists it ends the run at once (a
    // start-up message box included); from then on through the exit sequence.
    ExitSignals exitSignals;
    const QMetaObject::Connection earlyExit =
        QObject::connect(&exitSignals, &ExitSignals::exitRequested, &app, [] { QCoreApplication::exit(1); });
    SingleInstance instance(server);
    if (instance.Claim(3000, options.addresses) == SingleInstance::Outcome::Answered)
        return 0;

    if (dataFolder.empty()) {
        MessageBoxes::Current().Exclaim(nullptr, kCaption, DataFolderUnknownText());
        return 1;
    }
    // Never created here: a missing folder means a broken installation.
    if (!platform::AnythingAt(dataFolder)) {
        // Before the box, which waits for the user: someone who started the program from a
        // terminal reads there how to make the folder.
        std::fputs(platform::MissingFolderAdvice("tavolin", dataFolder).c_str(), stderr);
        MessageBoxes::Current().Exclaim(nullptr, kCaption, DataFolderMissingText(FromFileName(dataFolder)));
        return 1;
    }
    ServiceConfig::Install(ServiceConfig::Load(dataFolder + "/settings.ini"));

    CMainDlg::Options windowOptions;
    windowOptions.dataFolder = dataFolder;
    windowOptions.paths = options.paths;
    windowOptions.trayAvailable = options.trayAvailable;
    windowOptions.dropWindow = options.dropWindow;
    CMainDlg window(std::move(windowOptions));

    QObject::disconnect(earlyExit);
    QObject::connect(&exitSignals, &ExitSignals::exitRequested, &window, [&window] { window.ExitApp(); });
    QObject::connect(
        &app, &QGuiApplication::commitDataRequest, &window, [&window] { window.ExitApp(); },
        Qt::DirectConnection);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &window, [&window] { window.ExitApp(); });
    // Every event loop ends, a dialog's too, should the exit have come while one was open.
    QObject::connect(&window, &CMainDlg::exited, &app, [] { QCoreApplication::exit(0); });
    QObject::connect(&instance, &SingleInstance::activationRequested, &window, &CMainDlg::RestoreWindow);
    QObject::connect(&window, &CMainDlg::exiting, &instance, &SingleInstance::StopListening);
    QObject::connect(&instance, &SingleInstance::addressesReceived, &window, &CMainDlg::OfferAddresses);

    window.Start();
    window.OfferAddresses(options.addresses);
    ScheduleScreenshot(window);
    return app.exec();
}
