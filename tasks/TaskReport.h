#pragma once
// The protocol between worker threads and the UI thread: report codes, status
// codes and the text each one puts into a task's row.

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

class MessagePoster;

enum ReportCode : std::int32_t {
    REPORT_SIZE = 1,              // value: announced size in bytes -> column 1
    REPORT_STATUS = 2,            // value: a status code -> column 2
    REPORT_ELAPSED = 3,           // value: elapsed milliseconds -> column 3
    REPORT_PROGRESS = 6,          // value: hundredths of a percent -> column 2
    REPORT_SPEED = 7,             // value: bytes per second over the last few seconds -> column 2
    REPORT_RETRY = 8,             // value: PackRetry of the wait before a retry -> column 2
    REPORT_CONVERT_PROGRESS = 9,  // value: PackConvertProgress -> column 2
};

enum StatusCode : std::int32_t {
    STATUS_PARSING_URL = 0,
    STATUS_PENDING = 1,
    STATUS_DOWNLOADING = 2,
    STATUS_DOWNLOAD_COMPLETED = 3,
    STATUS_DOWNLOAD_FAILED = 4,
    STATUS_STOPPED = 5,
    STATUS_CONVERTING = 6,
    STATUS_TASK_COMPLETED = 7,
    STATUS_CONVERSION_FAILED = 8,
    STATUS_QUEUED = 9,  // waits for a free download slot
};

// Columns of a task's row.
enum TaskColumn : int {
    COLUMN_NAME = 0,
    COLUMN_SIZE = 1,
    COLUMN_STATUS = 2,
    COLUMN_ELAPSED = 3,
    COLUMN_TARGET = 4,
};

// One report as it travels. The whole identifier travels: only the low 16 bits would
// make identifier 65536 indistinguishable from 0.
struct TaskReport {
    std::int32_t taskId = 0;
    std::int32_t code = 0;
    std::int64_t value = 0;

    bool operator==(const TaskReport&) const = default;
};

// A running download's rate as its row shows it: unknown (0) until the worker's first
// speed report.
struct TransferRate {
    std::int64_t bytesPerSecond = 0;
    std::int64_t secondsLeft = 0;
};

// How long the rest of `size` takes at `bytesPerSecond`, from progress in hundredths of
// a percent; 0 when the rate is unknown.
std::int64_t SecondsLeft(std::int64_t size, std::int64_t progress, std::int64_t bytesPerSecond);
// "Downloading - 81.92% - 1.25MB/s - 0:0:12 left"; without a known rate only the first part.
std::string FormatProgressText(std::int64_t progress, const TransferRate& rate);
std::string FormatSpeedText(std::int64_t bytesPerSecond);  // "1.25MB/s", below 1MB/s "850KB/s"
std::string FormatClockText(std::int64_t seconds);         // "%d:%d:%d", no leading zeros

// The wait before retry `retry` of `maxRetries`, in whole seconds, as one report value;
// each part is kept within its field.
std::int64_t PackRetry(std::int64_t seconds, std::int32_t retry, std::int32_t maxRetries);
// "Retrying in 4 s (2/5)"
std::string FormatRetryText(std::int64_t packed);

// "Download Failed" and "Conversion Failed": the statuses a reason comes with.
bool IsFailureStatus(std::int64_t status);

// The text of a status code; empty for a code that has none.
std::string StatusText(std::int64_t status);
std::string FormatSizeText(std::int64_t bytes);  // "%.2fMB" of (bytes / 1024) / 1024.0
// The row text of a report; empty for an unknown code.
std::string FormatReportText(std::int32_t code, std::int64_t value);
int ReportColumn(std::int32_t code);  // the column a report's text goes to, -1 for none

// A conversion's whole percent and seconds left in one report value, either unknown.
std::int64_t PackConvertProgress(std::optional<int> percent, std::optional<int> secondsLeft);
// "Converting - 42% - 0:0:31 left"; without the time while it is unknown, and just
// "Converting" while the percent is.
std::string FormatConvertProgress(std::int64_t value);

// A failure's reason, under the same silence rule.
void PostTaskDetail(MessagePoster* poster, const std::atomic<bool>& silent, std::int32_t taskId,
                    std::string text);

// Every worker reports through this: once its silent flag is set (exit has begun)
// it posts nothing, so nothing reaches a window that is going away.
void PostTaskReport(MessagePoster* poster, const std::atomic<bool>& silent, std::int32_t taskId,
                    std::int32_t code, std::int64_t value);
