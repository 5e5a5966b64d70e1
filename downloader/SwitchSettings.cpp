#include "downloader/SwitchSettings.h"

#include <strings.h>

#include <array>
#include <optional>

#include "platform/PrivateProfile.h"
#include "platform/Text.h"

namespace {

constexpr char kSection[] = "TASKSINFO";
constexpr std::size_t kBuffer = 64;

bool IsOneOf(const std::string& text, const std::array<const char*, 4>& words)
{
    for (const char* word : words)
        if (::strcasecmp(text.c_str(), word) == 0)
            return true;
    return false;
}

std::optional<bool> ParseSwitch(std::string_view stored)
{
    const std::string value(platform::TrimWhiteSpace(stored));
    if (IsOneOf(value, {"1", "true", "yes", "on"}))
        return true;
    if (IsOneOf(value, {"0", "false", "no", "off"}))
        return false;
    return std::nullopt;
}

}  // namespace

bool ReadSwitch(const std::string& settingsPath, std::string_view key, bool otherwise)
{
    return ParseSwitch(platform::GetPrivateProfileString(kSection, key, "", kBuffer, settingsPath))
        .value_or(otherwise);
}

bool WriteSwitch(const std::string& settingsPath, std::string_view key, bool on)
{
    return platform::WritePrivateProfileString(kSection, key, on ? "1" : "0", settingsPath);
}
