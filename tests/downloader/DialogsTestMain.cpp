// Runs every dialog test object in one offscreen application whose home, configuration
// and data folders are fresh temporary folders, so no test sees or touches the user's.
#include <QApplication>
#include <QTemporaryDir>

#include "TestRegistry.h"

int main(int argc, char** argv)
{
    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    for (const char* variable :
         {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"})
        qputenv(variable, home.path().toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    return RunRegisteredTests(argc, argv);
}
