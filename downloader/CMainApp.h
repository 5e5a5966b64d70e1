#pragma once
#include <optional>
#include <string>

#include <QString>
#include <QStringList>

#include "downloader/ProgramPaths.h"

class QApplication;

// Tavolin's start and end: one instance per user and data folder, the data folder, the service
// settings, the main window, and the exit sequence on Exit, on a termination signal or
// at the end of the desktop session.
class CMainApp {
public:
    struct Options {
        QString instanceServer;                 // empty: the user's own
        std::optional<std::string> dataFolder;  // unset: the standard place
        ProgramPaths paths = ProgramPaths::ForRunningProgram();
        std::optional<bool> trayAvailable;  // unset: ask the desktop
        bool dropWindow = true;
        // From the command line: offered in Add Task one after another, by the instance
        // that already runs when there is one.
        QStringList addresses;
    };

    // The exit code: 0 after a normal end or when an instance already ran, 1 when the
    // data folder is missing.
    static int Run(QApplication& app, Options options);

    // "Tavolin Data" in the user's data folder; empty when there is no such folder.
    static std::string StandardDataFolder();
};
