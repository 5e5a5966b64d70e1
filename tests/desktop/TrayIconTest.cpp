#include "desktop/CTrayIcon.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>

using std::chrono::milliseconds;

// Trays tell a double click as a trigger and a double click, or as two triggers: one
// toggle either way. A click on its own toggles too.
TEST(TrayIcon, AClickOrADoubleClickTogglesTheWindowOnce)
{
    const struct {
        QSystemTrayIcon::ActivationReason reason;
        std::optional<milliseconds> sinceLastToggle;
        bool toggles;
    } cases[] = {
        {QSystemTrayIcon::Trigger, std::nullopt, true},
        {QSystemTrayIcon::DoubleClick, std::nullopt, true},
        {QSystemTrayIcon::DoubleClick, milliseconds(120), false},
        {QSystemTrayIcon::Trigger, milliseconds(120), false},
        {QSystemTrayIcon::Trigger, milliseconds(401), true},
        {QSystemTrayIcon::Context, std::nullopt, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CTrayIcon::TogglesWindow(c.reason, c.sinceLastToggle, milliseconds(400)), c.toggles)
            << c.reason;
}
