#include "tasks/ReportQueue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <thread>
#include <tuple>
#include <vector>

void PrintTo(const TaskReport& m, std::ostream* os)
{
    *os << "{" << m.taskId << "," << m.code << "," << m.value << "}";
}

namespace {

// A convert-next message is written as code 0 with its wParam as the value.
using Msgs = std::vector<TaskReport>;
constexpr std::int32_t CN = 0, SZ = REPORT_SIZE, ST = REPORT_STATUS, EL = REPORT_ELAPSED,
                       PR = REPORT_PROGRESS, CP = REPORT_CONVERT_PROGRESS;

Msgs Flatten(const std::vector<QueuedMessage>& taken)
{
    Msgs out;
    for (const QueuedMessage& q : taken)
        out.push_back(q.kind == QueuedMessage::Kind::ConvertNext ? TaskReport{0, CN, q.wParam} : q.report);
    return out;
}

TEST(TaskReport, TextAndColumnOfEveryReport)
{
    const std::tuple<std::int32_t, std::int64_t, const char*, int> cases[] = {
        {SZ, 1029 * 1024 + 1023, "1.00MB", COLUMN_SIZE},  // whole kilobytes first
        {SZ, 5LL * 1024 * 1024 * 1024, "5120.00MB", COLUMN_SIZE},
        {EL, 363725999, "101:2:5", COLUMN_ELAPSED},  // whole seconds; hours do not wrap
        {EL, -5000, "0:0:0", COLUMN_ELAPSED},        // a clock that went backwards
        {PR, 1505, "Downloading - 15.05%", COLUMN_STATUS},
        // A conversion's figures, packed as the runner sends them; either may be unknown.
        {CP, PackConvertProgress(42, 31), "Converting - 42% - 0:0:31 left", COLUMN_STATUS},
        {CP, PackConvertProgress(0, std::nullopt), "Converting - 0%", COLUMN_STATUS},
        {CP, PackConvertProgress(std::nullopt, 12), "Converting", COLUMN_STATUS},
        {ST, STATUS_TASK_COMPLETED, "Task Completed", COLUMN_STATUS},
        {REPORT_SPEED, 1310720, "1.25MB/s", COLUMN_STATUS},
        {REPORT_SPEED, 1048575, "1023KB/s", COLUMN_STATUS},
        {REPORT_RETRY, PackRetry(4, 2, 5), "Retrying in 4 s (2/5)", COLUMN_STATUS},
        // Each part is kept in its own field, whatever comes.
        {REPORT_RETRY, PackRetry(300, 70000, -1), "Retrying in 300 s (65535/0)", COLUMN_STATUS},
        {4, 7, "", -1},
    };
    for (const auto& [code, value, text, column] : cases) {
        SCOPED_TRACE(::testing::Message() << "code " << code << " value " << value);
        EXPECT_EQ(FormatReportText(code, value), text);
        EXPECT_EQ(ReportColumn(code), column);
    }
    // No text outside the statuses: 2^32 would alias 0 if cut.
    EXPECT_EQ(StatusText(-1) + StatusText(0x100000000LL) + StatusText(STATUS_QUEUED + 1), "");
}

TEST(TaskReport, ProgressWithSpeedAndTimeLeft)
{
    // progress, size, bytes per second -> the row's text
    const std::tuple<std::int64_t, std::int64_t, std::int64_t, const char*> cases[] = {
        {8192, 10000LL << 20, 0, "Downloading - 81.92%"},  // no speed known yet
        {8192, 80LL << 20, 1310720, "Downloading - 81.92% - 1.25MB/s - 0:0:12 left"},
        {9999, 1000, 1, "Downloading - 99.99% - 0KB/s - 0:0:1 left"},  // a part of a second is a second
        {10000, 1000, 5000, "Downloading - 100.00% - 4KB/s - 0:0:0 left"},
    };
    for (const auto& [progress, size, speed, text] : cases) {
        const TransferRate rate{speed, SecondsLeft(size, progress, speed)};
        EXPECT_EQ(FormatProgressText(progress, rate), text);
    }
}

TEST(TaskReport, SilentFlagStopsPostingAndADetailKeepsItsPlace)
{
    ReportQueue queue;
    std::atomic<bool> silent{false};
    PostTaskReport(nullptr, silent, 1, ST, STATUS_STOPPED);
    PostTaskReport(&queue, silent, 70000, PR, 10);
    PostTaskDetail(&queue, silent, 70000, "connection refused");
    PostTaskReport(&queue, silent, 70000, ST, STATUS_DOWNLOAD_FAILED);
    silent = true;
    PostTaskDetail(&queue, silent, 70000, "late");
    PostTaskReport(&queue, silent, 70000, ST, STATUS_STOPPED);
    const auto taken = queue.TakeAll();
    ASSERT_EQ(taken.size(), 3u);
    EXPECT_EQ(std::to_string(taken[1].report.taskId) + " " + taken[1].detail, "70000 connection refused");
    EXPECT_EQ(taken[2].report, (TaskReport{70000, ST, STATUS_DOWNLOAD_FAILED}));
}

TEST(ReportQueue, MergesOnlyWhereNoStatusStandsBehind)
{
    const Msgs kept = {{1, ST, 2}, {1, ST, 2}, {0, CN, 0}, {0, CN, 1}, {1, 4, 1}, {1, 4, 1}};
    const std::pair<Msgs, Msgs> cases[] = {
        // posted, then taken
        // Newest wins; size, progress and elapsed keep one slot each in first-post order.
        {{{1, SZ, 100}, {1, PR, 1}, {1, EL, 5}, {1, SZ, 200}, {1, PR, 2}, {1, EL, 6}, {1, PR, 3}},
         {{1, SZ, 200}, {1, PR, 3}, {1, EL, 6}}},
        // A status stops every merge of its task across it.
        {{{1, PR, 10}, {1, EL, 5}, {1, ST, 2}, {1, PR, 20}, {1, EL, 6}, {1, PR, 30}},
         {{1, PR, 10}, {1, EL, 5}, {1, ST, 2}, {1, PR, 30}, {1, EL, 6}}},
        // Tasks merge apart, 65536 is not 0, another task's status does not block.
        {{{0, PR, 10}, {65536, PR, 20}, {65536, ST, 2}, {0, PR, 30}},
         {{0, PR, 30}, {65536, PR, 20}, {65536, ST, 2}}},
        // A conversion's figures merge the same way, never across its final status.
        {{{1, ST, 6}, {1, CP, 1}, {1, CP, 2}, {1, ST, 7}, {1, CP, 3}},
         {{1, ST, 6}, {1, CP, 2}, {1, ST, 7}, {1, CP, 3}}},
        // Status, convert-next and other codes are kept whole and in order.
        {kept, kept},
    };
    for (const auto& [posted, taken] : cases) {
        ReportQueue queue;
        for (const TaskReport& m : posted)
            m.code == CN ? queue.PostConvertNext(static_cast<int>(m.value))
                         : queue.PostTaskReport(m.taskId, m.code, m.value);
        EXPECT_EQ(Flatten(queue.TakeAll()), taken);
    }
}

// The descriptor stays rung from a post until the take after it, whatever is asked
// between; a merged report keeps the time it first waited; a take starts a fresh round.
TEST(ReportQueue, RingsUntilTakenAndKeepsTheFirstPostTime)
{
    ReportQueue queue;
    EXPECT_FALSE(queue.WaitForPost(std::chrono::milliseconds(0)));

    const auto before = ReportQueue::Clock::now();
    queue.PostTaskReport(1, PR, 10);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const auto middle = ReportQueue::Clock::now();
    queue.PostTaskReport(1, PR, 20);
    queue.PostConvertNext(1);
    EXPECT_EQ(queue.Size(), 2u);
    EXPECT_TRUE(queue.WaitForPost(std::chrono::milliseconds(0)));
    const auto taken = queue.TakeAll();
    ASSERT_EQ(Flatten(taken), (Msgs{{1, PR, 20}, {0, CN, 1}}));
    EXPECT_GE(taken[0].postedAt, before);
    EXPECT_LT(taken[0].postedAt, middle);
    EXPECT_GE(taken[1].postedAt, middle);
    EXPECT_FALSE(queue.WaitForPost(std::chrono::milliseconds(0)));

    std::thread poster([&] {
        queue.PostTaskReport(1, PR, 30);
        queue.PostTaskReport(1, PR, 40);
    });
    EXPECT_TRUE(queue.WaitForPost(std::chrono::seconds(10)));
    poster.join();
    EXPECT_EQ(Flatten(queue.TakeAll()), (Msgs{{1, PR, 40}}));
}

// Workers post as fast as they can while a consumer drains only when rung, as the
// window does. Per task: both statuses arrive in order, progress strictly rises between
// them and reaches its last value before the final status; no ring is lost.
TEST(ReportQueue, ConcurrentProducersAndARungConsumer)
{
    constexpr std::int64_t kSteps = 20000;
    ReportQueue queue;
    std::map<std::int32_t, std::vector<std::int64_t>> traces;  // status s as -s, progress as is
    bool lost = false;
    std::thread consumer([&] {
        for (int ended = 0; ended < 4;) {
            if (!queue.WaitForPost(std::chrono::seconds(20))) {
                lost = true;
                return;
            }
            for (const TaskReport& m : Flatten(queue.TakeAll())) {
                traces[m.taskId].push_back(m.code == ST ? -m.value : m.value);
                ended += m.code == ST && m.value == STATUS_DOWNLOAD_COMPLETED ? 1 : 0;
            }
        }
    });
    std::vector<std::thread> producers;
    for (const std::int32_t id : {7, 65543, 131079, 196615})
        producers.emplace_back([&queue, id] {
            queue.PostTaskReport(id, ST, STATUS_DOWNLOADING);
            for (std::int64_t i = 1; i <= kSteps; ++i)
                queue.PostTaskReport(id, PR, i);
            queue.PostTaskReport(id, ST, STATUS_DOWNLOAD_COMPLETED);
        });
    for (auto& t : producers)
        t.join();
    consumer.join();
    EXPECT_FALSE(lost) << "a ring was lost";

    ASSERT_EQ(traces.size(), 4u);
    for (const auto& [id, trace] : traces) {
        SCOPED_TRACE(id);
        ASSERT_GE(trace.size(), 3u);
        EXPECT_EQ(trace.front(), -STATUS_DOWNLOADING);
        EXPECT_EQ(trace.back(), -STATUS_DOWNLOAD_COMPLETED);
        EXPECT_EQ(trace[trace.size() - 2], kSteps);
        EXPECT_EQ(std::adjacent_find(trace.begin() + 1, trace.end() - 1, std::greater_equal<>()),
                  trace.end() - 1)
            << "progress went backwards or a status came between";
    }
}

}  // namespace
