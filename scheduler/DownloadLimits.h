#pragma once
#include <string>

// How hard and how many downloads Tavolin runs: keys "MAX_RETRIES" (default 5) and
// "MAX_DOWNLOADS" (default 0, no limit) of section "TASKSINFO" in settings.ini.
struct DownloadLimits {
    static constexpr int kDefaultRetries = 5;
    static constexpr int kMostDownloads = 1000;

    int maxRetries = kDefaultRetries;
    int maxDownloads = 0;

    // A missing file or key, or a value that is not a plain number, keeps the default;
    // a number beyond the most is cut to it.
    static DownloadLimits Load(const std::string& settingsPath);

    bool operator==(const DownloadLimits&) const = default;
};
