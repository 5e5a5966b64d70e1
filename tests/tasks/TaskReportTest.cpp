#include "tasks/TaskReport.h"

#include <gtest/gtest.h>

#include <vector>

#include "tasks/MessagePoster.h"
#include "tasks/Task.h"

namespace {

TEST(TaskReport, TextAndColumnOfEveryReport)
{
    struct Case {
        std::int32_t code;
        std::int64_t value;
        const char* text;
        int column;
    };
    const Case cases[] = {
        {REPORT_SIZE, 1024 * 1024, "1.00MB", COLUMN_SIZE},
        {REPORT_SIZE, 1023, "0.00MB", COLUMN_SIZE},
        {REPORT_SIZE, 1024 * 1024 + 1023, "1.00MB", COLUMN_SIZE},  // whole kilobytes first
        {REPORT_SIZE, 1024 * 1535, "1.50MB", COLUMN_SIZE},
        {REPORT_SIZE, 1029 * 1024 + 1023, "1.00MB", COLUMN_SIZE},  // 1.0059 if bytes were kept
        {REPORT_SIZE, 5LL * 1024 * 1024 * 1024, "5120.00MB", COLUMN_SIZE},  // beyond 32 bits
        {REPORT_ELAPSED, 3725000, "1:2:5", COLUMN_ELAPSED},
        {REPORT_ELAPSED, 999, "0:0:0", COLUMN_ELAPSED},
        {REPORT_ELAPSED, 360000000, "100:0:0", COLUMN_ELAPSED},
        {REPORT_ELAPSED, -5000, "0:0:0", COLUMN_ELAPSED},
        {REPORT_PROGRESS, 1500, "Downloading - 15.00%", COLUMN_STATUS},
        {REPORT_PROGRESS, 10000, "Downloading - 100.00%", COLUMN_STATUS},
        {REPORT_STATUS, STATUS_PARSING_URL, "Parsing URL", COLUMN_STATUS},
        {REPORT_STATUS, STATUS_PENDING, "Pending", COLUMN_STATUS},
        {REPORT_STATUS, STATUS_DOWNLOADING, "Downloading", COLUMN_STATUS},
        {REPORT_STATUS, STATUS_DOWNLOAD_COMPLETED, "Download Completed", COLUMN_STATUS},
        {REPORT_STATUS, STATUS_DOWNLOAD_FAILED, "Download Failed", COLUMN_STATUS},
        {REPORT_STATUS, STATUS_STOPPED, "Task Stopped", COLUMN_STATUS},
        {REPORT_STATUS, STATUS_CONVERTING, "Converting", COLUMN_STATUS},
        {REPORT_STATUS, STATUS_TASK_COMPLETED, "Task Completed", COLUMN_STATUS},
        {REPORT_STATUS, STATUS_CONVERSION_FAILED, "Conversion Failed", COLUMN_STATUS},
        {REPORT_STATUS, 9, "", COLUMN_STATUS},
        {REPORT_STATUS, -1, "", COLUMN_STATUS},
        {REPORT_STATUS, 0x100000000LL, "", COLUMN_STATUS},  // would alias 0 if cut to 32 bits
        {4, 7, "", -1},
        {0, 7, "", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "code " << c.code << " value " << c.value);
        EXPECT_EQ(FormatReportText(c.code, c.value), c.text);
        EXPECT_EQ(ReportColumn(c.code), c.column);
    }
}

class RecordingPoster : public MessagePoster {
public:
    void PostTaskReport(std::int32_t taskId, std::int32_t code, std::int64_t value) override
    {
        reports.push_back({taskId, code, value});
    }
    void PostConvertNext(int) override {}
    std::vector<TaskReport> reports;
};

TEST(TaskReport, SilentFlagStopsPosting)
{
    RecordingPoster poster;
    std::atomic<bool> silent{false};
    PostTaskReport(&poster, silent, 70000, REPORT_STATUS, STATUS_PENDING);
    silent = true;
    PostTaskReport(&poster, silent, 70000, REPORT_STATUS, STATUS_STOPPED);
    PostTaskReport(nullptr, silent, 1, REPORT_STATUS, STATUS_STOPPED);
    ASSERT_EQ(poster.reports.size(), 1u);
    EXPECT_EQ(poster.reports[0], (TaskReport{70000, REPORT_STATUS, STATUS_PENDING}));
}

TEST(Task, IdleAndFinishedFollowTheLockedState)
{
    struct Case {
        std::int32_t status;
        bool idle;
    };
    const Case cases[] = {
        {STATUS_PARSING_URL, false},      {STATUS_PENDING, false}, {STATUS_DOWNLOADING, false},
        {STATUS_DOWNLOAD_COMPLETED, false}, {STATUS_DOWNLOAD_FAILED, true}, {STATUS_STOPPED, true},
    };
    CTask task;
    EXPECT_TRUE(task.IsIdle()) << "a new task is stopped";
    EXPECT_FALSE(task.IsFinished());
    for (const Case& c : cases) {
        task.m_nStatus = c.status;
        EXPECT_EQ(task.IsIdle(), c.idle) << c.status;
    }
    task.m_bFinished = true;
    EXPECT_TRUE(task.IsFinished());
}

}  // namespace
