#include "desktop/CTrayIcon.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>

using std::chrono::milliseconds;

// Trays tell a double click as a trigger and a double click, or as two triggers: one
// toggle either way. A click on its own toggles too.
TEST(TrayIcon, AClickOrADoubleClickTogglesTheWindowOnce)
{
    const milliseconds interval(400);
    const struct {
        QSystemTrayIcon::ActivationReason reason;
        std::optional<milliseconds> sinceLastToggle;
        bool toggles;
    } cases[] = {
        {QSystemTrayIcon::Trigger, std::nullopt, true},
        {QSystemTrayIcon::DoubleClick, std::nullopt, true},        // a tray that sends only this
        {QSystemTrayIcon::DoubleClick, milliseconds(120), false},  // after its own first click
        {QSystemTrayIcon::Trigger, milliseconds(120), false},      // the second of two triggers
        {QSystemTrayIcon::Trigger, milliseconds(401), true},       // a click of its own
        {QSystemTrayIcon::DoubleClick, milliseconds(5000), true},
        {QSystemTrayIcon::Context, std::nullopt, false},  // the menu's business
        {QSystemTrayIcon::MiddleClick, std::nullopt, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CTrayIcon::TogglesWindow(c.reason, c.sinceLastToggle, interval), c.toggles)
            << c.reason << " after " << (c.sinceLastToggle ? c.sinceLastToggle->count() : -1) << " ms";
}
