#pragma once
// The main window's decisions, free of any window: which rows a command gets, what the
// converter is started with, what closing and toggling do, which icon each toolbar
// button loads, and the texts of the start-up failures.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <QIcon>
#include <QString>
#include <QStringList>

// The selected rows as the engine wants them: ascending, each once, none negative.
std::vector<std::int32_t> AscendingRows(std::vector<int> rows);

// Pellux's arguments: nothing without a selection, else "-source" and the first selected
// task's file as two arguments (no quoting: no shell reads them).
QStringList ConverterArguments(const std::optional<std::string>& firstSelectedFile);

enum class CloseAction { Hide, Minimise };
// Closing hides the window into the tray; without a tray it would be unreachable, so it
// only minimises.
CloseAction ActionForClose(bool trayAvailable);

enum class ToggleAction { Hide, Restore };
// A minimised window counts as out of sight: the toggle brings it back.
ToggleAction ActionForToggle(bool visible, bool minimised);

struct ToolbarIcon {
    const char* button;  // the button's text
    const char* file;    // fixed name in the icons folder
    int normalSize;      // pixels, square
    int hoverSize;
};
const std::array<ToolbarIcon, 6>& ToolbarIcons();

// The scales of screens that the icon files carry images for (scripts/make-icons.py).
inline constexpr std::array<qreal, 4> kIconScales{1.0, 1.25, 1.5, 2.0};

// A button's icon `size` pixels square from an icon file: the file's images of that size
// at each of kIconScales, so that it is drawn sharp on scaled screens. A file without an
// image of the size itself gives its image closest to it, scaled. Null when the file is
// missing or unreadable.
QIcon LoadToolbarIcon(const QString& path, int size);

// The local socket through which a second start reaches the first: per user and data
// folder, in the user's runtime folder when there is one. A run on a data folder of its
// own (a demo, a test) is an instance of its own beside the user's.
QString InstanceServerName(const QString& marker, unsigned uid, const QString& dataFolder,
                           const QString& runtimeFolder, const QString& tempFolder);

inline constexpr const char* kInstanceMarker = "BrevantTavgrab10";
inline constexpr const char* kProductName = "Tavolin";

QString DataFolderMissingText(const QString& path);
QString DataFolderUnknownText();
