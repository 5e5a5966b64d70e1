// Runs every main-window test object in one offscreen application whose home, runtime
// and XDG folders are fresh temporary folders, and without a message bus, so no test
// sees or touches the user's files, desktop or a Tavolin the user is running.
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include "WindowTestSupport.h"

static QString g_home;

QString TestHome()
{
    return g_home;
}

int main(int argc, char** argv)
{
    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    g_home = home.path();
    for (const char* sub : {"config", "data", "cache", "runtime"})
        QDir(g_home).mkpath(QString::fromLatin1(sub));
    QFile::setPermissions(g_home + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("HOME", g_home.toUtf8());
    qputenv("XDG_CONFIG_HOME", (g_home + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_DATA_HOME", (g_home + QStringLiteral("/data")).toUtf8());
    qputenv("XDG_CACHE_HOME", (g_home + QStringLiteral("/cache")).toUtf8());
    qputenv("XDG_RUNTIME_DIR", (g_home + QStringLiteral("/runtime")).toUtf8());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // No message bus: the user's file manager is never asked to show a test's file.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + QFile::encodeName(g_home) + "/runtime/no-bus");

    QApplication app(argc, argv);
    return RunRegisteredTests(argc, argv);
}
