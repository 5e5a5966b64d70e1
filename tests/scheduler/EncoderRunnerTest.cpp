// The scheduler's encoder runner: its thread, its reports and its let-go runs, through
// the fake encoder.

#include "scheduler/EncoderRunner.h"

#include <signal.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "support/Eventually.h"
#include "support/Files.h"
#include "support/TempFolder.h"
#include "tasks/ReportQueue.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

class EncoderRunnerTest : public ::testing::Test {
protected:
    // A job for the fake encoder, told what to do by its source file.
    ConvertJob Job(std::int32_t id, const std::string& word)
    {
        ConvertJob job;
        job.m_nTaskId = id;
        job.m_csSourceFile = (m_folder / (std::to_string(id) + ".flv")).string();
        job.m_csTargetFile = (m_folder / (std::to_string(id) + ".mp4")).string();
        WriteText(job.m_csSourceFile, word);
        return job;
    }
    // The fake's pid once it has started.
    static pid_t Started(const ConvertJob& job)
    {
        int pid = -1;
        EXPECT_TRUE(Eventually([&] { return fs::exists(job.m_csTargetFile + ".run"); }));
        std::ifstream(job.m_csTargetFile + ".run") >> pid;
        return pid;
    }
    static bool IsGone(pid_t pid) { return ::kill(pid, 0) != 0 && errno == ESRCH; }
    // "<id>:<status>", "<id> <progress text>", "<id> why: <detail>" and "next<w>", as
    // posted until now.
    Lines Posts()
    {
        for (const QueuedMessage& message : m_mailbox.TakeAll()) {
            const std::string id = std::to_string(message.report.taskId);
            if (message.kind == QueuedMessage::Kind::ConvertNext)
                m_posts.push_back("next" + std::to_string(message.wParam));
            else if (message.kind == QueuedMessage::Kind::TaskDetail)
                m_posts.push_back(id + " why: " + message.detail);
            else if (message.report.code == REPORT_CONVERT_PROGRESS)
                m_posts.push_back(id + " " + FormatReportText(message.report.code, message.report.value));
            else
                m_posts.push_back(id + ":" + std::to_string(message.report.value));
        }
        return m_posts;
    }

    TempFolder m_temp;
    const fs::path m_folder = m_temp.Root();
    ReportQueue m_mailbox;
    Lines m_posts;
};

// One runner for every run, as the scheduler keeps one. A thread that outlives the reap
// wait is let go: its encoder is ended and it reports nothing, and the next run goes on
// undisturbed. Destroying the runner lets its run go the same way.
TEST_F(EncoderRunnerTest, OutcomesReachTheMailboxBeforeConvertNextAndLetGoRunsNothing)
{
    pid_t last = -1;
    {
        EncoderRunner runner(TAVOLIN_BIN_DIR "/fake_encoder", m_mailbox, 20ms, 100ms);
        auto run = [&](const ConvertJob& job, bool stop, bool quiet) {
            m_posts.clear();
            runner.StartRunner(job);
            EXPECT_TRUE(runner.IsRunning());
            EXPECT_EQ(runner.Job(), job);
            if (stop) {
                Started(job);
                if (quiet)
                    runner.QuietRunner();
                runner.StopRunner();
            }
            EXPECT_TRUE(Eventually([&] { return quiet || std::ranges::count(Posts(), "next1") > 0; }));
            EXPECT_EQ(runner.ReapRunner(), 0);
            EXPECT_FALSE(runner.IsRunning());
            return Posts();
        };
        // Identifiers travel whole.
        EXPECT_EQ(run(Job(70000, "ok"), false, false), (Lines{"70000:6", "70000:7", "next1"}));
        EXPECT_EQ(run(Job(3, "fail"), false, false),
                  (Lines{"3:6", "3 why: the encoder exited with status 3", "3:8", "next1"}));
        // What the encoder tells on its channel: how far it got, and why it failed.
        EXPECT_EQ(
            run(Job(8, "channel 0\nprogress 50 2 1.0\nfailed needs AMR-NB support\n"), false, false),
            (Lines{"8:6", "8 Converting - 50% - 0:0:2 left", "8 why: needs AMR-NB support", "8:8", "next1"}));
        EXPECT_EQ(run(Job(5, "sleep"), true, false), (Lines{"5:6", "5:5", "next1"}));
        EXPECT_EQ(run(Job(2, "sleep"), true, true), (Lines{"2:6"}));
        // A stop given while no run is in hand is dropped by the next start.
        runner.StopRunner();
        EXPECT_EQ(run(Job(4, "ok"), false, false), (Lines{"4:6", "4:7", "next1"}));

        m_posts.clear();
        runner.StartRunner(Job(1, "sleep"));
        const pid_t first = Started(runner.Job());
        runner.ReapRunner();  // the encoder sleeps on: the wait runs out
        runner.StartRunner(Job(6, "sleep"));
        last = Started(runner.Job());
        EXPECT_TRUE(Eventually([&] { return IsGone(first); }));
        EXPECT_FALSE(IsGone(last));
    }
    EXPECT_TRUE(Eventually([&] { return IsGone(last); }));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(Posts(), (Lines{"1:6", "6:6"}));
}

}  // namespace
