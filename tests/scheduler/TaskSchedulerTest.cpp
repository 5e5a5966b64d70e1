// The scheduler's state rules, driven with a stand-in encoder and a mailbox drained
// by hand, the way the window drains it.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "convert/EncoderRunner.h"
#include "scheduler/SchedulerTestSupport.h"
#include "tasks/TaskScheduler.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class TaskSchedulerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/scheduler-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_folder = pattern;
    }
    void TearDown() override
    {
        m_scheduler.reset();
        fs::remove_all(m_folder);
    }

    fs::path Store() const { return m_folder / "tasks.ini"; }

    // Tasks whose download is complete and whose conversion is outstanding; the
    // target's name tells the stand-in encoder how to behave.
    void WriteFinishedTasks(const std::vector<std::string>& targets, bool allFinished = false)
    {
        std::string text = "[TASKSINFO]\r\nTASKS_NUMBER=" + std::to_string(targets.size()) + "\r\n";
        for (std::size_t i = 0; i < targets.size(); ++i) {
            const std::string n = std::to_string(i);
            const std::string source = (m_folder / ("video" + n + ".flv")).string();
            std::ofstream(source) << "flv";
            text += "TASKURL_" + n + "=http://example.test/watch?v=v" + n + "\r\n";
            text += "TASKFILENAME_" + n + "=video" + n + ".flv\r\n";
            text += "TASKFILEPATH_" + n + "=" + source + "\r\n";
            text += "m_csSourceFile" + n + "=" + source + "\r\n";
            text += "m_csTargetFile" + n + "=" + (m_folder / targets[i]).string() + "\r\n";
            text += "m_csTargetName" + n + "=MP4 - MPEG-4 Video (*.mp4)\r\n";
            text += "m_csTargetType" + n + "=.mp4\r\n";
            text += "TASKFILESIZE_" + n + "=1048576\r\nTASKFINISHED_" + n + "=TRUE\r\n";
            if (allFinished)
                text += "ALLFINISHED_" + n + "=TRUE\r\n";
        }
        std::ofstream(Store(), std::ios::binary) << text;
    }

    TaskScheduler& Make()
    {
        TaskScheduler::Settings settings;
        settings.m_csStorePath = Store().string();
        settings.m_csEncoderPath = std::string(TAVOLIN_BIN_DIR) + "/fake_encoder";
        settings.m_encoderPoll = 20ms;
        settings.m_storeFailed = [this](const std::string& error) { m_storeErrors.push_back(error); };
        m_scheduler = std::make_unique<TaskScheduler>(m_rows, m_queue, m_prompt, settings);
        m_scheduler->LoadTasks();
        return *m_scheduler;
    }

    bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s)
    {
        return ::PumpUntil(*m_scheduler, done, limit);
    }

    bool StatusIs(int row, const std::string& text) const { return ::StatusIs(m_rows, row, text); }

    // Rows in the order they were set to `text`.
    std::vector<int> RowsSetTo(const std::string& text) const
    {
        std::vector<int> rows;
        for (const std::string& entry : m_rows.log) {
            const std::string suffix = ",2 " + text;
            if (entry.rfind("set ", 0) == 0 && entry.size() > suffix.size() &&
                entry.compare(entry.size() - suffix.size(), suffix.size(), suffix) == 0)
                rows.push_back(std::stoi(entry.substr(4)));
        }
        return rows;
    }

    fs::path m_folder;
    RecordingRowView m_rows;
    ReportQueue m_queue;
    NoPrompt m_prompt;
    std::vector<std::string> m_storeErrors;
    std::unique_ptr<TaskScheduler> m_scheduler;
};

TEST_F(TaskSchedulerTest, DoFinishedDownloadsConvertOneAfterAnotherInCompletionOrder)
{
    WriteFinishedTasks({"slow-a.mp4", "b.mp4", "c.mp4"});
    TaskScheduler& scheduler = Make();
    ASSERT_TRUE(StatusIs(0, "Task Stopped"));

    scheduler.StartSelectedTasks({0, 1, 2});
    ASSERT_TRUE(PumpUntil([&] { return StatusIs(0, "Converting"); }));
    EXPECT_TRUE(StatusIs(1, "Waiting"));
    EXPECT_TRUE(StatusIs(2, "Waiting"));
    EXPECT_EQ(scheduler.QueuedConversions(), 2u);

    ASSERT_TRUE(PumpUntil([&] {
        return StatusIs(0, "Task Completed") && StatusIs(1, "Task Completed") &&
               StatusIs(2, "Task Completed");
    }));
    EXPECT_EQ(RowsSetTo("Converting"), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(ReadText(m_folder / "c.mp4"), "converted\n");
    for (int row = 0; row < 3; ++row)
        EXPECT_TRUE(scheduler.Tasks().At(row).m_bAllFinished);

    // The store follows every finished conversion, not only the exit.
    const std::string stored = ReadText(Store());
    for (const char* key : {"ALLFINISHED_0=TRUE", "ALLFINISHED_1=TRUE", "ALLFINISHED_2=TRUE"})
        EXPECT_NE(stored.find(key), std::string::npos) << key;

    // A complete task is left alone by Start.
    scheduler.StartSelectedTasks({1});
    scheduler.DispatchPending();
    EXPECT_EQ(scheduler.QueuedConversions(), 0u);
    EXPECT_TRUE(StatusIs(1, "Task Completed"));
}

TEST_F(TaskSchedulerTest, DoesStopTakeWaitingAndRunningConversionsAndStartQueueThemAgain)
{
    WriteFinishedTasks({"sleep.mp4", "b.mp4", "c.mp4"});
    TaskScheduler& scheduler = Make();
    scheduler.StartSelectedTasks({0, 1, 2});
    ASSERT_TRUE(PumpUntil([&] { return StatusIs(0, "Converting") && StatusIs(2, "Waiting"); }));

    // A waiting conversion leaves the queue and the row says so.
    scheduler.StopSelectedTasks({1});
    ASSERT_TRUE(PumpUntil([&] { return StatusIs(1, "Task Stopped"); }));
    EXPECT_EQ(scheduler.QueuedConversions(), 1u);

    // A running one is ended within a poll, and the next queued job starts.
    scheduler.StopSelectedTasks({0});
    ASSERT_TRUE(PumpUntil([&] { return StatusIs(0, "Task Stopped"); }, 3s));
    ASSERT_TRUE(PumpUntil([&] { return StatusIs(2, "Task Completed"); }));
    EXPECT_FALSE(scheduler.Tasks().At(0).m_bAllFinished);
    EXPECT_FALSE(scheduler.Tasks().At(1).m_bAllFinished);

    // Start queues the stopped conversion again without downloading.
    scheduler.StartSelectedTasks({1});
    ASSERT_TRUE(PumpUntil([&] { return StatusIs(1, "Task Completed"); }));
    EXPECT_EQ(ReadText(m_folder / "b.mp4"), "converted\n");
}

TEST_F(TaskSchedulerTest, IsAFailedConversionReportedAndRetriedRatherThanCompleted)
{
    WriteFinishedTasks({"fail.mp4"});
    TaskScheduler& scheduler = Make();
    scheduler.StartSelectedTasks({0});
    ASSERT_TRUE(PumpUntil([&] { return StatusIs(0, "Conversion Failed"); }));
    EXPECT_FALSE(scheduler.Tasks().At(0).m_bAllFinished);
    EXPECT_EQ(ReadText(Store()).find("ALLFINISHED_0"), std::string::npos);

    scheduler.StartSelectedTasks({0});
    scheduler.DispatchPending();
    EXPECT_TRUE(StatusIs(0, "Waiting"));
    ASSERT_TRUE(PumpUntil([&] { return StatusIs(0, "Conversion Failed"); }));
}

TEST_F(TaskSchedulerTest, DoesAnEncoderThatCannotStartFailTheConversion)
{
    WriteFinishedTasks({"b.mp4"});
    TaskScheduler::Settings settings;
    settings.m_csStorePath = Store().string();
    settings.m_csEncoderPath = (m_folder / "no-such-encoder").string();
    settings.m_encoderPoll = 20ms;
    m_scheduler = std::make_unique<TaskScheduler>(m_rows, m_queue, m_prompt, settings);
    m_scheduler->LoadTasks();
    m_scheduler->StartSelectedTasks({0});
    ASSERT_TRUE(PumpUntil([&] { return StatusIs(0, "Conversion Failed"); }));
}

TEST_F(TaskSchedulerTest, DoesClearCompletedRemoveOnlyCompleteTasksAndRewriteTheStore)
{
    WriteFinishedTasks({"a.mp4", "b.mp4", "c.mp4"}, true);
    // Row 1 still wants its conversion.
    std::string text = ReadText(Store());
    text.erase(text.find("ALLFINISHED_1=TRUE\r\n"), 20);
    std::ofstream(Store(), std::ios::binary) << text;

    TaskScheduler& scheduler = Make();
    ASSERT_TRUE(StatusIs(0, "Task Completed"));
    ASSERT_TRUE(StatusIs(1, "Task Stopped"));
    scheduler.ClearCompletedTasks();

    EXPECT_EQ(m_rows.Names(), (std::vector<std::string>{"video1.flv"}));
    EXPECT_EQ(scheduler.Tasks().Count(), 1);
    const std::string stored = ReadText(Store());
    EXPECT_NE(stored.find("TASKS_NUMBER=1\r\n"), std::string::npos);
    EXPECT_NE(stored.find("TASKFILENAME_0=video1.flv"), std::string::npos);
    EXPECT_EQ(stored.find("video0.flv"), std::string::npos);
    EXPECT_TRUE(fs::exists(m_folder / "video0.flv")) << "clearing deletes no file";

    // Reports for a cleared task's identifier change nothing.
    m_queue.PostTaskReport(0, REPORT_STATUS, STATUS_TASK_COMPLETED);
    scheduler.DispatchPending();
    EXPECT_TRUE(StatusIs(0, "Task Stopped"));
}

TEST_F(TaskSchedulerTest, DoesRemoveDropQueuedJobsAndDeleteFilesOnlyWhenAsked)
{
    WriteFinishedTasks({"sleep.mp4", "b.mp4", "c.mp4"});
    TaskScheduler& scheduler = Make();
    scheduler.StartSelectedTasks({0, 1, 2});
    ASSERT_TRUE(PumpUntil([&] { return StatusIs(0, "Converting") && StatusIs(2, "Waiting"); }));
    std::ofstream(m_folder / "b.mp4") << "reserved";

    // Row 1 (waiting) with its files, row 0 (converting) without.
    scheduler.RemoveSelectedTasks({1}, true);
    EXPECT_EQ(scheduler.QueuedConversions(), 1u);
    scheduler.RemoveSelectedTasks({0}, false);
    EXPECT_EQ(m_rows.Names(), (std::vector<std::string>{"video2.flv"}));

    ASSERT_TRUE(PumpUntil([&] { return !fs::exists(m_folder / "video1.flv"); }));
    EXPECT_FALSE(fs::exists(m_folder / "b.mp4"));
    EXPECT_TRUE(fs::exists(m_folder / "video0.flv"));

    // The removed conversion's encoder is stopped and the remaining job runs.
    ASSERT_TRUE(PumpUntil([&] { return StatusIs(0, "Task Completed"); }));
    EXPECT_NE(ReadText(Store()).find("TASKS_NUMBER=1\r\n"), std::string::npos);
}

TEST_F(TaskSchedulerTest, DoesExitSaveStopTheEncoderAndPostNothingMore)
{
    WriteFinishedTasks({"sleep.mp4", "b.mp4"});
    TaskScheduler& scheduler = Make();
    scheduler.StartSelectedTasks({0, 1});
    ASSERT_TRUE(PumpUntil([&] { return StatusIs(0, "Converting"); }));
    scheduler.DispatchPending();

    const auto before = std::chrono::steady_clock::now();
    scheduler.ExitApp();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);
    std::this_thread::sleep_for(100ms);
    for (const QueuedMessage& message : m_queue.TakeAll())
        EXPECT_NE(message.kind, QueuedMessage::Kind::TaskReport) << "report after exit";

    // The store holds the tasks as they were before the threads were told to stop.
    const std::string stored = ReadText(Store());
    EXPECT_NE(stored.find("TASKFINISHED_0=TRUE"), std::string::npos);
    EXPECT_EQ(stored.find("ALLFINISHED_0"), std::string::npos);
    EXPECT_TRUE(m_storeErrors.empty());
}

TEST_F(TaskSchedulerTest, DoesExitWithNothingStartedReturnAtOnce)
{
    WriteFinishedTasks({"a.mp4", "b.mp4"});
    TaskScheduler& scheduler = Make();
    const auto before = std::chrono::steady_clock::now();
    scheduler.ExitApp();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 200ms);
    EXPECT_TRUE(scheduler.IsExiting());

    // Once exiting, the pump starts nothing.
    m_queue.PostConvertNext(0);
    scheduler.DispatchPending();
    EXPECT_FALSE(scheduler.Runner().m_bRunning);
}

TEST_F(TaskSchedulerTest, DoesAnUnwritableStoreGetReported)
{
    WriteFinishedTasks({"a.mp4"}, true);
    TaskScheduler& scheduler = Make();
    fs::remove(Store());
    fs::create_directory(Store());  // a folder where the file should be
    scheduler.ClearCompletedTasks();
    EXPECT_EQ(m_storeErrors.size(), 1u);
}

}  // namespace
