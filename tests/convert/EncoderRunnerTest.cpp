#include "convert/EncoderRunner.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>

#include "ConvertTestSupport.h"
#include "convert/EncoderCommandLine.h"

namespace {

using namespace convert_test;
using Posts = std::vector<std::string>;

ConvertJob Job(std::int32_t id, const std::string& target) {
    ConvertJob job;
    job.m_nTaskId = id;
    job.m_csSourceFile = "/videos/in clip.flv";
    job.m_csTargetFile = target;
    job.m_csTargetName = "PSP - PSP MPEG-4 Video (*.mp4)";
    job.m_csTargetType = ".mp4";
    job.m_csVideoSize = "320x240";
    job.m_csVideoCodec = "Auto";
    job.m_csVideoBitRate = "512";
    job.m_csAudioCodec = "Auto";
    job.m_csAudioBitRate = "64";
    job.m_csAudioSampleRate = "24000";
    job.m_csAudioChannel = "2";
    return job;
}

// The UI's part after a run: it sees convert-next (1) and reaps the runner.
void FinishRun(EncoderRunner& runner, RecordingPoster& poster, int runs = 1) {
    ASSERT_TRUE(poster.WaitFor("next1", runs));
    EXPECT_EQ(runner.ReapRunner(), 0);
    EXPECT_FALSE(runner.m_bRunning);
}

TEST(EncoderRunner, ACompletedRunReportsConvertingThenCompletedThenNext) {
    ScratchFolder dir;
    RecordingPoster poster;
    EncoderRunner runner(FakeEncoder(), poster, 20ms);
    EXPECT_FALSE(runner.m_bRunning);
    runner.m_job = Job(70000, dir.Path("ok.mp4"));  // identifiers travel whole
    runner.StartRunner();
    EXPECT_TRUE(runner.m_bRunning);
    FinishRun(runner, poster);
    EXPECT_EQ(poster.Posts(), (Posts{"70000:6", "70000:7", "next1"}));
    EXPECT_EQ(ReadFile(dir.Path("ok.mp4")), "converted\n");
    EXPECT_EQ(ReadRunReport(dir.Path("ok.mp4")).args,
              BuildEncoderArguments(runner.m_job, FakeEncoder()));
}

TEST(EncoderRunner, AFailedRunIsNoSuccess) {
    ScratchFolder dir;
    const struct {
        const char* what;
        std::string encoder;
        const char* target;
    } cases[] = {
        {"non-zero exit", FakeEncoder(), "fail.mp4"},
        {"exit 127", FakeEncoder(), "exit127.mp4"},
        {"ended by a signal not ours", FakeEncoder(), "signal.mp4"},
        {"encoder missing", dir.Path("no-such-encoder"), "ok.mp4"},
    };
    for (const auto& c : cases) {
        RecordingPoster poster;
        EncoderRunner runner(c.encoder, poster, 20ms);
        runner.m_job = Job(3, dir.Path(c.target));
        runner.StartRunner();
        FinishRun(runner, poster);
        EXPECT_EQ(poster.Posts(), (Posts{"3:6", "3:8", "next1"})) << c.what;
    }
}

TEST(EncoderRunner, AJobThatWouldOverwriteItsOwnSourceNeverStartsTheEncoder) {
    ScratchFolder dir;
    const std::string download = dir.Path("ok.flv");
    std::ofstream(download) << "download";
    std::filesystem::create_symlink(download, dir.Path("link-ok.flv"));
    const struct {
        const char* what;
        std::string source, target;
    } cases[] = {
        {"the same path", download, download},
        {"another name of the same file", dir.Path("link-ok.flv"), download},
        {"no paths at all", "", ""},
    };
    for (const auto& c : cases) {
        RecordingPoster poster;
        EncoderRunner runner(FakeEncoder(), poster, 20ms);
        runner.m_job = Job(6, c.target);
        runner.m_job.m_csSourceFile = c.source;
        runner.StartRunner();
        FinishRun(runner, poster);
        EXPECT_EQ(poster.Posts(), (Posts{"6:6", "6:8", "next1"})) << c.what;
        EXPECT_EQ(ReadFile(download), "download") << c.what;
        EXPECT_FALSE(std::filesystem::exists(download + ".run")) << c.what;
    }
}

TEST(EncoderRunner, AStopBeforeTheFirstTestEndsTheEncoderWithoutWaitingAPoll) {
    ScratchFolder dir;
    RecordingPoster poster;
    // A poll far longer than the test may take: only the test before the first sleep
    // can see the stop in time.
    EncoderRunner runner(FakeEncoder(), poster, 20s);
    poster.onPost = [&runner](const std::string& post) {
        if (post == "5:6")
            runner.m_evStop.Set();
    };
    runner.m_job = Job(5, dir.Path("sleep.mp4"));
    const auto start = Clock::now();
    runner.StartRunner();
    FinishRun(runner, poster);
    EXPECT_LT(Clock::now() - start, 10s);
    EXPECT_EQ(poster.Posts(), (Posts{"5:6", "5:5", "next1"}));
    // Had the encoder written its report before it was ended, it is gone now.
    if (std::filesystem::exists(dir.Path("sleep.mp4.run"))) {
        EXPECT_TRUE(IsGone(ReadRunReport(dir.Path("sleep.mp4")).pid));
    }
}

TEST(EncoderRunner, AStopWhileRunningEndsTheEncoderWithinAboutAPoll) {
    ScratchFolder dir;
    RecordingPoster poster;
    const auto poll = 100ms;
    EncoderRunner runner(FakeEncoder(), poster, poll);
    runner.m_job = Job(8, dir.Path("sleep.mp4"));
    runner.StartRunner();
    const pid_t pid = WaitForStart(dir.Path("sleep.mp4"));
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(3 * poll);
    EXPECT_EQ(poster.Posts(), (Posts{"8:6"}));

    const auto stop = Clock::now();
    runner.m_evStop.Set();
    ASSERT_TRUE(poster.WaitFor("8:5"));
    EXPECT_LT(Clock::now() - stop, poll + 1500ms);
    FinishRun(runner, poster);
    EXPECT_EQ(poster.Posts(), (Posts{"8:6", "8:5", "next1"}));
    EXPECT_TRUE(IsGone(pid));
}

TEST(EncoderRunner, QuietAtExitStopsTheEncoderAndPostsNothingMore) {
    ScratchFolder dir;
    RecordingPoster poster;
    const auto poll = 100ms;
    EncoderRunner runner(FakeEncoder(), poster, poll);
    runner.m_job = Job(2, dir.Path("sleep.mp4"));
    runner.StartRunner();
    const pid_t pid = WaitForStart(dir.Path("sleep.mp4"));
    ASSERT_GT(pid, 0);

    // The exit sequence: silence, stop, reap.
    const auto exit = Clock::now();
    runner.m_bQuiet = true;
    runner.m_evStop.Set();
    EXPECT_EQ(runner.ReapRunner(), 0);
    EXPECT_LT(Clock::now() - exit, poll + 1500ms);
    EXPECT_FALSE(runner.m_bRunning);
    EXPECT_TRUE(IsGone(pid));
    std::this_thread::sleep_for(3 * poll);
    EXPECT_EQ(poster.Posts(), (Posts{"2:6"}));
}

TEST(EncoderRunner, AStopLeftFromAnEarlierRunIsDropped) {
    ScratchFolder dir;
    RecordingPoster poster;
    EncoderRunner runner(FakeEncoder(), poster, 20ms);
    runner.m_evStop.Set();  // Stop on a row while the runner is idle
    runner.m_job = Job(1, dir.Path("slow.mp4"));
    runner.StartRunner();
    FinishRun(runner, poster);
    EXPECT_EQ(poster.Posts(), (Posts{"1:6", "1:7", "next1"}));
}

// Driven the way the scheduler drives it: each convert-next (1) reaps the runner and
// hands it the front of the queue.
TEST(EncoderRunner, QueuedJobsRunOneAfterAnotherInQueueOrder) {
    ScratchFolder dir;
    RecordingPoster poster;
    EncoderRunner runner(FakeEncoder(), poster, 20ms);
    std::deque<ConvertJob> queue = {Job(10, dir.Path("a-slow.mp4")), Job(11, dir.Path("b-fail.mp4")),
                                    Job(12, dir.Path("c-slow.mp4"))};
    runner.m_job = queue.front();
    queue.pop_front();
    runner.StartRunner();
    for (int run = 1; run <= 3; ++run) {
        FinishRun(runner, poster, run);
        if (!queue.empty()) {
            runner.m_job = queue.front();
            queue.pop_front();
            runner.StartRunner();
        }
    }
    EXPECT_EQ(poster.Posts(), (Posts{"10:6", "10:7", "next1", "11:6", "11:8", "next1", "12:6",
                                     "12:7", "next1"}));
    // One at a time: each encoder had finished before the next one was started.
    const auto written = [&](const char* name) {
        return std::filesystem::last_write_time(dir.Path(name));
    };
    EXPECT_LE(written("a-slow.mp4"), written("b-fail.mp4.run"));
    EXPECT_LE(written("b-fail.mp4.run"), written("c-slow.mp4.run"));
}

// A thread that outlives the reap wait is let go: it may not take the next run's stop
// request, report anything, or keep its encoder running.
TEST(EncoderRunner, AThreadLetGoAfterTheReapWaitCannotDisturbTheNextRun) {
    ScratchFolder dir;
    RecordingPoster poster;
    const auto poll = 600ms;
    EncoderRunner runner(FakeEncoder(), poster, poll, 100ms);
    runner.m_job = Job(1, dir.Path("first-sleep.mp4"));
    runner.StartRunner();
    const pid_t first = WaitForStart(dir.Path("first-sleep.mp4"));
    ASSERT_GT(first, 0);

    // The first thread is asleep in its poll: the wait runs out.
    runner.ReapRunner();
    EXPECT_FALSE(runner.m_bRunning);
    runner.m_job = Job(2, dir.Path("second-sleep.mp4"));
    runner.StartRunner();
    const pid_t second = WaitForStart(dir.Path("second-sleep.mp4"));
    ASSERT_GT(second, 0);

    // The first thread wakes, finds itself let go and ends its encoder.
    EXPECT_TRUE(Eventually([&] { return IsGone(first); }));
    EXPECT_FALSE(IsGone(second));
    runner.m_evStop.Set();
    ASSERT_TRUE(poster.WaitFor("2:5"));
    FinishRun(runner, poster);
    EXPECT_EQ(poster.Posts(), (Posts{"1:6", "2:6", "2:5", "next1"}));
    EXPECT_TRUE(IsGone(second));
}

TEST(EncoderRunner, DestroyingTheRunnerDuringARunIsSafe) {
    ScratchFolder dir;
    RecordingPoster poster;
    pid_t pid = -1;
    {
        EncoderRunner runner(FakeEncoder(), poster, 50ms);
        runner.m_job = Job(4, dir.Path("sleep.mp4"));
        runner.StartRunner();
        pid = WaitForStart(dir.Path("sleep.mp4"));
        ASSERT_GT(pid, 0);
    }
    EXPECT_TRUE(Eventually([&] { return IsGone(pid); }));
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(poster.Posts(), (Posts{"4:6"}));
}

}  // namespace
