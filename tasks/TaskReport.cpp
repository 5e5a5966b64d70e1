#include "tasks/TaskReport.h"

#include <array>
#include <cinttypes>
#include <cstdio>
#include <utility>

#include "tasks/MessagePoster.h"

namespace {

constexpr std::array<const char*, 9> kStatusTexts = {
    "Parsing URL",  "Pending",    "Downloading",    "Download Completed", "Download Failed",
    "Task Stopped", "Converting", "Task Completed", "Conversion Failed",
};

}  // namespace

std::string StatusText(std::int64_t status)
{
    if (status < 0 || status >= static_cast<std::int64_t>(kStatusTexts.size()))
        return {};
    return kStatusTexts[static_cast<std::size_t>(status)];
}

std::string FormatSizeText(std::int64_t bytes)
{
    // Whole kilobytes first, as the row has always shown it: 1023 bytes reads 0.00MB.
    const double megabytes = static_cast<double>(bytes / 1024) * (1.0 / 1024);
    char text[64];
    std::snprintf(text, sizeof text, "%.2fMB", megabytes);
    return text;
}

std::string FormatReportText(std::int32_t code, std::int64_t value)
{
    char text[96];
    switch (code) {
    case REPORT_SIZE:
        return FormatSizeText(value);
    case REPORT_STATUS:
        return StatusText(value);
    case REPORT_ELAPSED: {
        // A clock that went backwards must not show a negative time.
        const std::int64_t s = value > 0 ? value / 1000 : 0;
        std::snprintf(text, sizeof text, "%" PRId64 ":%" PRId64 ":%" PRId64, s / 3600, (s % 3600) / 60,
                      s % 60);
        return text;
    }
    case REPORT_PROGRESS:
        std::snprintf(text, sizeof text, "Downloading - %.2f%%", static_cast<double>(value) * 0.01);
        return text;
    default:
        return {};
    }
}

int ReportColumn(std::int32_t code)
{
    switch (code) {
    case REPORT_SIZE:
        return COLUMN_SIZE;
    case REPORT_STATUS:
    case REPORT_PROGRESS:
        return COLUMN_STATUS;
    case REPORT_ELAPSED:
        return COLUMN_ELAPSED;
    default:
        return -1;
    }
}

bool IsFailureStatus(std::int64_t status)
{
    return status == STATUS_DOWNLOAD_FAILED || status == STATUS_CONVERSION_FAILED;
}

void PostTaskReport(MessagePoster* poster, const std::atomic<bool>& silent, std::int32_t taskId,
                    std::int32_t code, std::int64_t value)
{
    if (poster == nullptr || silent.load())
        return;
    poster->PostTaskReport(taskId, code, value);
}

void PostTaskDetail(MessagePoster* poster, const std::atomic<bool>& silent, std::int32_t taskId,
                    std::string text)
{
    if (poster == nullptr || silent.load())
        return;
    poster->PostTaskDetail(taskId, std::move(text));
}
