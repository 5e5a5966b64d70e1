#include "desktop/DisplayPlatform.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

// Session type, WAYLAND_DISPLAY, DISPLAY and the user's QT_QPA_PLATFORM, and what follows.
TEST(DisplayPlatform, WaylandSessionsWithAnXServerRunThroughItUnlessTheUserChose)
{
    const struct {
        DisplayEnvironment environment;
        std::optional<std::string> platform;
        WindowControl control;  // when the platform is not Wayland's own
    } cases[] = {
        {{"wayland", "wayland-0", ":0", ""}, "xcb", WindowControl::Unmanaged},
        {{"", "wayland-1", ":1", ""}, "xcb", WindowControl::Unmanaged},
        {{"wayland", "wayland-0", "", ""}, std::nullopt, WindowControl::Unmanaged},  // native
        {{"wayland", "wayland-0", ":0", "wayland"}, std::nullopt, WindowControl::Unmanaged},
        {{"x11", "", ":0", ""}, std::nullopt, WindowControl::Full},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ChooseDisplayPlatform(c.environment), c.platform) << c.environment.sessionType;
        EXPECT_EQ(ChooseWindowControl(c.environment, false), c.control) << c.environment.sessionType;
        EXPECT_EQ(ChooseWindowControl(c.environment, true), WindowControl::None);
    }
}
