#pragma once
#include <optional>
#include <string>
#include <vector>

// Which of Qt's platform plugins the programs run on. In a Wayland session a client may
// neither place its windows nor keep them on top, and hears of clipboard changes only
// while it has the focus: the drop window and the clipboard watcher need the X11 platform,
// which XWayland offers in most Wayland sessions. Decided before the application object
// exists, from the environment.
struct DisplayEnvironment {
    std::string sessionType;     // XDG_SESSION_TYPE
    std::string waylandDisplay;  // WAYLAND_DISPLAY
    std::string display;         // DISPLAY: an X server, XWayland in a Wayland session
    std::string chosen;          // QT_QPA_PLATFORM: the user's own choice
};

DisplayEnvironment CurrentDisplayEnvironment();

// "xcb" in a Wayland session that has an X server, unless the user chose a platform;
// nothing where Qt's own choice stands (an X11 session, Wayland alone, no display).
std::optional<std::string> ChooseDisplayPlatform(const DisplayEnvironment& environment);

// The arguments for the application object: the program's own, with "-platform" and the
// chosen platform put right after the program's name (a "-platform" the user gives on
// the command line comes later and wins). Null-terminated; the count excludes the null.
std::vector<char*> ApplicationArguments(int argc, char** argv, const std::optional<std::string>& platform);

// How far a program may place its windows and keep them on top.
enum class WindowControl {
    Full,       // an X11 session: the window manager honours a window's type and hints
    Unmanaged,  // XWayland in a Wayland session: the compositor's X11 window manager may
                // place a tool window where it likes and rank it as it likes, so a window
                // that must stay put and on top keeps clear of it
    None,       // native Wayland: the compositor places every window and ranks it
};

WindowControl ChooseWindowControl(const DisplayEnvironment& environment, bool nativeWayland);

// For this run; asked once the application object exists.
WindowControl CurrentWindowControl();
