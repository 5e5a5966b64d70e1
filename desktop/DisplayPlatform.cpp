#include "desktop/DisplayPlatform.h"

#include <cstdlib>

#include <QGuiApplication>

namespace {

std::string Variable(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

bool IsWaylandSession(const DisplayEnvironment& environment)
{
    return environment.sessionType == "wayland" || !environment.waylandDisplay.empty();
}

}  // namespace

DisplayEnvironment CurrentDisplayEnvironment()
{
    return {Variable("XDG_SESSION_TYPE"), Variable("WAYLAND_DISPLAY"), Variable("DISPLAY"),
            Variable("QT_QPA_PLATFORM")};
}

std::optional<std::string> ChooseDisplayPlatform(const DisplayEnvironment& environment)
{
    if (!environment.chosen.empty() || environment.display.empty() || !IsWaylandSession(environment))
        return std::nullopt;
    return std::string("xcb");
}

std::vector<char*> ApplicationArguments(int argc, char** argv, const std::optional<std::string>& platform)
{
    // Static: the application object keeps the pointers for the whole run.
    static std::string chosen;
    static char option[] = "-platform";
    std::vector<char*> arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.push_back(argv[i]);
        if (i == 0 && platform) {
            chosen = *platform;
            arguments.push_back(option);
            arguments.push_back(chosen.data());
        }
    }
    arguments.push_back(nullptr);
    return arguments;
}

WindowControl ChooseWindowControl(const DisplayEnvironment& environment, bool nativeWayland)
{
    if (nativeWayland)
        return WindowControl::None;
    return IsWaylandSession(environment) ? WindowControl::Unmanaged : WindowControl::Full;
}

WindowControl CurrentWindowControl()
{
    return ChooseWindowControl(CurrentDisplayEnvironment(),
                               QGuiApplication::platformName().startsWith(QLatin1String("wayland")));
}
