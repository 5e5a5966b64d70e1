#pragma once
// The tray menu's switches, kept in settings.ini (section "TASKSINFO") as "1" or "0".

#include <string>
#include <string_view>

inline constexpr char kWatchClipboardKey[] = "WATCH_CLIPBOARD";
inline constexpr char kNotificationsKey[] = "NOTIFICATIONS";

// The stored switch: "1", "true", "yes", "on" are on; "0", "false", "no", "off" off (any
// case, blanks around ignored); `otherwise` when the key is missing or holds anything else.
bool ReadSwitch(const std::string& settingsPath, std::string_view key, bool otherwise = true);
// False when the file cannot be written: the choice then lasts for this run only.
bool WriteSwitch(const std::string& settingsPath, std::string_view key, bool on);
