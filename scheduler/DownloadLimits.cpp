#include "scheduler/DownloadLimits.h"

#include <algorithm>
#include <optional>

#include "fetch/RetryRules.h"
#include "platform/PrivateProfile.h"
#include "platform/Text.h"

namespace {

std::optional<int> ReadCount(const std::string& path, const char* key, int most)
{
    const std::string value = platform::GetPrivateProfileString("TASKSINFO", key, "", 64, path);
    if (value.empty() ||
        !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return static_cast<int>(std::min<std::int64_t>(platform::ParseLeadingDecimal(value), most));
}

}  // namespace

DownloadLimits DownloadLimits::Load(const std::string& settingsPath)
{
    DownloadLimits limits;
    limits.maxRetries = ReadCount(settingsPath, "MAX_RETRIES", kMostRetries).value_or(kDefaultRetries);
    limits.maxDownloads = ReadCount(settingsPath, "MAX_DOWNLOADS", kMostDownloads).value_or(0);
    return limits;
}
