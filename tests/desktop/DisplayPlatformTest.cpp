#include "desktop/DisplayPlatform.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

TEST(DisplayPlatform, WaylandSessionsWithAnXServerRunTheProgramsThroughIt)
{
    const struct {
        DisplayEnvironment environment;
        std::optional<std::string> platform;
    } cases[] = {
        {{"wayland", "wayland-0", ":0", ""}, "xcb"},                // XWayland is there
        {{"wayland", "wayland-0", "", ""}, std::nullopt},           // Wayland alone: native
        {{"wayland", "wayland-0", ":0", "wayland"}, std::nullopt},  // the user's choice stands
        {{"wayland", "wayland-0", ":0", "xcb"}, std::nullopt},
        {{"", "wayland-1", ":1", ""}, "xcb"},  // no session type, yet Wayland
        {{"wayland", "", ":0", ""}, "xcb"},
        {{"x11", "", ":0", ""}, std::nullopt},  // X11 sessions as ever
        {{"tty", "", "", ""}, std::nullopt},    // no display: Qt says why
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChooseDisplayPlatform(c.environment), c.platform)
            << c.environment.sessionType << " '" << c.environment.waylandDisplay << "' '"
            << c.environment.display << "' '" << c.environment.chosen << "'";
}

TEST(DisplayPlatform, ChoiceGoesRightAfterTheProgramNameSoTheUsersOwnOptionWins)
{
    char program[] = "pellux";
    char option[] = "-platform";
    char users[] = "wayland";
    char* argv[] = {program, option, users, nullptr};
    const std::vector<char*> chosen = ApplicationArguments(3, argv, std::string("xcb"));
    ASSERT_EQ(chosen.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(chosen.begin(), chosen.end() - 1),
              (std::vector<std::string>{"pellux", "-platform", "xcb", "-platform", "wayland"}));
    EXPECT_EQ(chosen.back(), nullptr);
    EXPECT_EQ(ApplicationArguments(3, argv, std::nullopt),
              (std::vector<char*>{program, option, users, nullptr}));
}

TEST(DisplayPlatform, WindowsAreOursToPlaceOnlyWhereTheDisplayLetsUs)
{
    const DisplayEnvironment x11{"x11", "", ":0", ""};
    const DisplayEnvironment wayland{"wayland", "wayland-0", ":0", ""};
    EXPECT_EQ(ChooseWindowControl(x11, false), WindowControl::Full);
    EXPECT_EQ(ChooseWindowControl(wayland, false), WindowControl::Unmanaged);  // through XWayland
    EXPECT_EQ(ChooseWindowControl({"", "wayland-1", ":1", "xcb"}, false), WindowControl::Unmanaged);
    EXPECT_EQ(ChooseWindowControl(wayland, true), WindowControl::None);
}
