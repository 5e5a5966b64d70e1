#include "tasks/TaskReport.h"

#include <algorithm>
#include <array>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <utility>

#include "tasks/MessagePoster.h"

namespace {

constexpr std::array<const char*, 10> kStatusTexts = {
    "Parsing URL",  "Pending",    "Downloading",    "Download Completed", "Download Failed",
    "Task Stopped", "Converting", "Task Completed", "Conversion Failed",  "Queued",
};

// Each figure one above itself in its own 32 bits, so 0 stands for unknown.
constexpr int kFigureBits = 32;
constexpr std::int64_t kFigureMask = (std::int64_t{1} << kFigureBits) - 1;

std::int64_t PackFigure(std::optional<int> figure)
{
    return figure && *figure >= 0 ? std::int64_t{*figure} + 1 : 0;
}

std::optional<std::int64_t> UnpackFigure(std::int64_t packed)
{
    return packed > 0 ? std::optional<std::int64_t>(packed - 1) : std::nullopt;
}

// The fields of a packed retry report: seconds above, then the retry, then the most.
constexpr std::int64_t kRetryField = 0x10000;

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
    case REPORT_ELAPSED:
        // A clock that went backwards must not show a negative time.
        return FormatClockText(value / 1000);
    case REPORT_CONVERT_PROGRESS:
        return FormatConvertProgress(value);
    case REPORT_PROGRESS:
        std::snprintf(text, sizeof text, "Downloading - %.2f%%", static_cast<double>(value) * 0.01);
        return text;
    case REPORT_SPEED:
        return FormatSpeedText(value);
    case REPORT_RETRY:
        return FormatRetryText(value);
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
    case REPORT_CONVERT_PROGRESS:
    case REPORT_SPEED:
    case REPORT_RETRY:
        return COLUMN_STATUS;
    case REPORT_ELAPSED:
        return COLUMN_ELAPSED;
    default:
        return -1;
    }
}

std::int64_t PackConvertProgress(std::optional<int> percent, std::optional<int> secondsLeft)
{
    return (PackFigure(percent) << kFigureBits) | (PackFigure(secondsLeft) & kFigureMask);
}

std::string FormatConvertProgress(std::int64_t value)
{
    std::string text = StatusText(STATUS_CONVERTING);
    const auto percent = UnpackFigure((value >> kFigureBits) & kFigureMask);
    if (!percent || value < 0)
        return text;
    text += " - " + std::to_string(*percent) + "%";
    if (const auto left = UnpackFigure(value & kFigureMask))
        text += " - " + FormatClockText(*left) + " left";
    return text;
}

std::string FormatClockText(std::int64_t seconds)
{
    const std::int64_t s = std::max<std::int64_t>(seconds, 0);
    char text[96];
    std::snprintf(text, sizeof text, "%" PRId64 ":%" PRId64 ":%" PRId64, s / 3600, (s % 3600) / 60, s % 60);
    return text;
}

std::string FormatSpeedText(std::int64_t bytesPerSecond)
{
    char text[64];
    const std::int64_t kilobytes = std::max<std::int64_t>(bytesPerSecond, 0) / 1024;
    if (kilobytes < 1024)
        std::snprintf(text, sizeof text, "%" PRId64 "KB/s", kilobytes);
    else
        std::snprintf(text, sizeof text, "%.2fMB/s", static_cast<double>(kilobytes) * (1.0 / 1024));
    return text;
}

std::int64_t SecondsLeft(std::int64_t size, std::int64_t progress, std::int64_t bytesPerSecond)
{
    if (bytesPerSecond <= 0 || size <= 0)
        return 0;
    const double left = static_cast<double>(size) *
                        static_cast<double>(10000 - std::min<std::int64_t>(progress, 10000)) / 10000.0;
    // Rounded up: "0:0:0 left" only once nothing is left.
    return static_cast<std::int64_t>(std::ceil(left / static_cast<double>(bytesPerSecond)));
}

std::string FormatProgressText(std::int64_t progress, const TransferRate& rate)
{
    std::string text = FormatReportText(REPORT_PROGRESS, progress);
    if (rate.bytesPerSecond > 0)
        text += " - " + FormatSpeedText(rate.bytesPerSecond) + " - " + FormatClockText(rate.secondsLeft) +
                " left";
    return text;
}

std::int64_t PackRetry(std::int64_t seconds, std::int32_t retry, std::int32_t maxRetries)
{
    const auto field = [](std::int64_t v) { return std::clamp<std::int64_t>(v, 0, kRetryField - 1); };
    return std::clamp<std::int64_t>(seconds, 0, INT32_MAX) * kRetryField * kRetryField +
           field(retry) * kRetryField + field(maxRetries);
}

std::string FormatRetryText(std::int64_t packed)
{
    const std::int64_t value = std::max<std::int64_t>(packed, 0);
    char text[96];
    std::snprintf(text, sizeof text, "Retrying in %" PRId64 " s (%" PRId64 "/%" PRId64 ")",
                  value / (kRetryField * kRetryField), value / kRetryField % kRetryField,
                  value % kRetryField);
    return text;
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
