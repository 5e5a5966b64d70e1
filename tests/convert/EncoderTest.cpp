// The child process layer, the program folder and the encoder runner, all driven through
// the stand-in encoder (fake_encoder.cpp).

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <thread>

#include "convert/EncoderCommandLine.h"
#include "convert/EncoderRunner.h"
#include "platform/Process.h"
#include "platform/ProgramFolder.h"
#include "tasks/TaskReport.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Lines = std::vector<std::string>;
using namespace platform;

const std::string kFakeEncoder = std::string(TAVOLIN_BIN_DIR) + "/fake_encoder";

// A fresh path in this test run's scratch folder, which goes when the run ends.
std::string Scratch(const std::string& name)
{
    static struct Folder {
        std::string root = ::mkdtemp((fs::temp_directory_path() / "convert-test-XXXXXX").string().data());
        int count = 0;
        ~Folder()
        {
            std::error_code ec;
            fs::remove_all(root, ec);
        }
    } folder;
    return folder.root + "/" + std::to_string(++folder.count) + "-" + name;
}

// What the stand-in wrote about itself: its pid, its setup, then its arguments.
Lines RunReport(const std::string& target)
{
    std::ifstream in(target + ".run");
    Lines lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

bool Eventually(const std::function<bool()>& condition)
{
    for (const auto deadline = std::chrono::steady_clock::now() + 10s; !condition();
         std::this_thread::sleep_for(5ms))
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
    return true;
}

// The stand-in's pid once it has started, else -1.
pid_t WaitForStart(const std::string& target)
{
    return Eventually([&] { return fs::exists(target + ".run"); }) ? std::stoi(RunReport(target)[0]) : -1;
}

// Ended and reaped: not even a zombie is left.
bool IsGone(pid_t pid)
{
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

Lines StandIn(const std::string& name)
{
    return {kFakeEncoder, "converter.exe", "-i", "in.flv", Scratch(name)};
}

TEST(Process, OneChildAtATimeUntilItIsKilledOrHasEndedUnnoticed)
{
    pid_t pid = -1;
    {
        Process child;
        ASSERT_TRUE(child.Start(StandIn("sleep.mp4")));
        EXPECT_FALSE(child.Start(StandIn("ok.mp4")));
        child.Kill();
        child.Kill();  // signals nothing: the number may be someone else's now
        EXPECT_EQ(child.Exit(), (ProcessExit{-1, SIGKILL}));
        EXPECT_TRUE(IsGone(child.Pid()));

        // A child that ended without being polled does not block the next start.
        ASSERT_TRUE(child.Start(StandIn("ok.mp4")));
        siginfo_t info{};
        ASSERT_EQ(::waitid(P_PID, static_cast<id_t>(child.Pid()), &info, WEXITED | WNOWAIT), 0);
        ASSERT_TRUE(child.Start(StandIn("fail.mp4")));
        ASSERT_TRUE(child.WaitFor(10s));
        EXPECT_EQ(child.Exit(), (ProcessExit{3, 0}));

        ASSERT_TRUE(child.Start(StandIn("sleep.mp4")));
        pid = child.Pid();
    }
    EXPECT_TRUE(IsGone(pid));  // destroying a running child ends and reaps it
}

TEST(Process, AProgramThatCannotStartIsToldApartFromOneThatEndsWith127)
{
    // No program, a missing one, one not executable.
    for (const Lines& argv :
         {Lines{}, Lines{Scratch("missing")}, Lines{TAVOLIN_TESTS_DIR "/CMakeLists.txt"}}) {
        Process child;
        std::string why;
        EXPECT_FALSE(child.Start(argv, &why)) << (argv.empty() ? "(none)" : argv[0]);
        EXPECT_FALSE(why.empty());
    }
    Process child;
    ASSERT_TRUE(child.Start({"/bin/sh", "-c", "exit 127"}));
    ASSERT_TRUE(child.WaitFor(10s));
    EXPECT_EQ(child.Exit(), (ProcessExit{127, 0}));
}

TEST(ProgramFolder, IsTheExecutablesFolderWhateverTheCurrentDirectory)
{
    const auto cwd = fs::current_path();
    fs::current_path("/");
    EXPECT_EQ(ProgramFolder(), fs::canonical(TAVOLIN_BIN_DIR).string());
    fs::current_path(cwd);
}

// Records "<id>:<status>" and "next<w>" for convert-next; sets the runner's stop on `stopOn`.
struct RecordingPoster : MessagePoster {
    void PostTaskReport(std::int32_t id, std::int32_t code, std::int64_t value) override
    {
        EXPECT_EQ(code, REPORT_STATUS);  // the runner reports nothing else
        Record(std::to_string(id) + ":" + std::to_string(value));
    }
    void PostConvertNext(int wParam) override { Record("next" + std::to_string(wParam)); }
    void Record(const std::string& text)
    {
        std::lock_guard<std::mutex> lock(mutex);
        posts.push_back(text);
        if (text == stopOn)
            runner->m_evStop.Set();
    }
    Lines Posts()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return posts;
    }
    std::mutex mutex;
    Lines posts;
    std::string stopOn;
    EncoderRunner* runner = nullptr;
};

// Options left empty reach the encoder as empty arguments of their own.
ConvertJob Job(std::int32_t id, const std::string& target, const std::string& source = "/videos/in clip.flv")
{
    ConvertJob job;
    job.m_nTaskId = id;
    job.m_csSourceFile = source;
    job.m_csTargetFile = target;
    return job;
}

// The UI's part after a run: it sees convert-next (1) and reaps the runner.
void FinishRun(EncoderRunner& runner, RecordingPoster& poster, const Lines& posts)
{
    EXPECT_TRUE(runner.m_bRunning);
    ASSERT_TRUE(Eventually([&] { return std::ranges::count(poster.Posts(), "next1") > 0; }));
    EXPECT_EQ(runner.ReapRunner(), 0);
    EXPECT_FALSE(runner.m_bRunning);
    EXPECT_EQ(poster.Posts(), posts);
}

// Even from a careless parent (input from a file, descriptors without O_CLOEXEC, SIGPIPE
// ignored, SIGTERM blocked) the encoder gets exactly the job's arguments, no shell, /dev/null for input, no
// stray descriptor and default signal handling.
TEST(EncoderRunner, ACompletedRunStartsTheEncoderCleanlyAndReportsConvertingCompletedNext)
{
    RecordingPoster poster;
    EncoderRunner runner(kFakeEncoder, poster, 20ms);
    const std::string target = Scratch("ok \"quoted\" $(id) *;|.mp4");
    runner.m_job = Job(70000, target, " two  blanks 'single' back\\slash $HOME");  // identifiers travel whole
    runner.m_evStop.Set();  // a stop request left from before is dropped
    const int held = ::open(Scratch("held").c_str(), O_CREAT | O_RDWR, 0644);
    const int input = ::dup(STDIN_FILENO);
    ::dup2(held, STDIN_FILENO);
    struct sigaction ignore {
    }, oldPipe{};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &oldPipe);
    sigset_t term, oldMask;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    ::pthread_sigmask(SIG_BLOCK, &term, &oldMask);  // the runner's thread inherits it
    runner.StartRunner();
    ::pthread_sigmask(SIG_SETMASK, &oldMask, nullptr);
    FinishRun(runner, poster, {"70000:6", "70000:7", "next1"});
    ::sigaction(SIGPIPE, &oldPipe, nullptr);
    ::dup2(input, STDIN_FILENO);
    ::close(input);
    ::close(held);
    const Lines report = RunReport(target);
    EXPECT_EQ(report.at(1), "/dev/null 0 1 2 default open");
    EXPECT_EQ(Lines(report.begin() + 2, report.end()), BuildEncoderArguments(runner.m_job, kFakeEncoder));
}

TEST(EncoderRunner, FailuresAndJobsThatWouldOverwriteTheirSourceAreNoSuccess)
{
    const std::string download = Scratch("ok.flv");
    const std::string link = Scratch("link.flv");
    std::ofstream(download) << "download";
    fs::create_symlink(download, link);
    const struct {
        std::string encoder, source, target;
    } cases[] = {
        {kFakeEncoder, "in.flv", Scratch("fail.mp4")},
        {kFakeEncoder, "in.flv", Scratch("signal.mp4")},  // ended, but not by us
        {Scratch("no-such-encoder"), "in.flv", Scratch("ok.mp4")},
        {kFakeEncoder, download, download},  // these two must never start the encoder
        {kFakeEncoder, link, download},
    };
    for (const auto& c : cases) {
        RecordingPoster poster;
        EncoderRunner runner(c.encoder, poster, 20ms);
        runner.m_job = Job(3, c.target, c.source);
        runner.StartRunner();
        FinishRun(runner, poster, {"3:6", "3:8", "next1"});
        EXPECT_EQ(fs::file_size(download), 8u) << c.source << " -> " << c.target;
    }
}

TEST(EncoderRunner, AStopBeforeTheEncoderStartsEndsItWithoutWaitingAPoll)
{
    RecordingPoster poster;
    EncoderRunner runner(kFakeEncoder, poster, 20s);  // only the look before the first sleep is in time
    poster.stopOn = "5:6";
    poster.runner = &runner;
    runner.m_job = Job(5, Scratch("sleep.mp4"));
    runner.StartRunner();
    FinishRun(runner, poster, {"5:6", "5:5", "next1"});
}

// The UI stops a run, or at exit silences it first; it may reuse the runner after either.
TEST(EncoderRunner, AStopWhileRunningEndsTheEncoderWithinAboutAPollAndQuietPostsNothingMore)
{
    RecordingPoster poster;
    EncoderRunner runner(kFakeEncoder, poster, 100ms);
    for (const bool quiet : {false, true}) {
        runner.m_job = Job(quiet ? 2 : 8, Scratch("sleep.mp4"));
        runner.StartRunner();
        const pid_t pid = WaitForStart(runner.m_job.m_csTargetFile);
        std::this_thread::sleep_for(300ms);
        const auto stop = std::chrono::steady_clock::now();
        runner.m_bQuiet = quiet;
        runner.m_evStop.Set();
        EXPECT_EQ(runner.ReapRunner(), 0);
        EXPECT_LT(std::chrono::steady_clock::now() - stop, 1600ms);
        EXPECT_TRUE(IsGone(pid));
    }
    runner.m_job = Job(3, Scratch("ok.mp4"));
    runner.StartRunner();
    FinishRun(runner, poster, {"8:6", "8:5", "next1", "2:6", "3:6", "3:7", "next1"});
}

// A thread that outlives the reap wait is let go: it ends its encoder and reports nothing,
// and the next run goes on undisturbed. Destroying the runner lets its run go the same way.
TEST(EncoderRunner, ALetGoThreadCannotDisturbTheNextRun)
{
    RecordingPoster poster;
    pid_t second = -1;
    {
        EncoderRunner runner(kFakeEncoder, poster, 600ms, 100ms);
        runner.m_job = Job(1, Scratch("sleep.mp4"));
        runner.StartRunner();
        const pid_t first = WaitForStart(runner.m_job.m_csTargetFile);
        runner.ReapRunner();  // the thread is asleep in its poll: the wait runs out
        runner.m_job = Job(2, Scratch("sleep.mp4"));
        runner.StartRunner();
        second = WaitForStart(runner.m_job.m_csTargetFile);
        EXPECT_TRUE(Eventually([&] { return IsGone(first); }));
        EXPECT_FALSE(IsGone(second));
    }
    EXPECT_TRUE(Eventually([&] { return IsGone(second); }));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(poster.Posts(), (Lines{"1:6", "2:6"}));
}

}  // namespace
