// The one encoder run, on the test's own thread, through the fake encoder.

#include "convert/EncoderRun.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <thread>

#include "convert/EncoderCommandLine.h"
#include "platform/AutoResetEvent.h"
#include "support/Files.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

const std::string kFakeEncoder = TAVOLIN_BIN_DIR "/fake_encoder";

// A fresh path in this test run's scratch folder, which goes when the run ends.
std::string Scratch(const std::string& name)
{
    static TempFolder folder;
    static int count = 0;
    return folder.Path(std::to_string(++count) + "-" + name);
}

// A job for the fake encoder, told what to do by its source file.
ConvertJob Job(const std::string& word)
{
    ConvertJob job;
    job.m_csSourceFile = Scratch(word + " two  blanks 'single' back\\slash $HOME.flv");
    job.m_csTargetFile = Scratch(word + " \"quoted\" $(id) *;|.mp4");
    WriteText(job.m_csSourceFile, word);
    return job;
}

// What the fake wrote about itself: its pid, its setup, then its arguments. Waits for it.
Lines RunReport(const std::string& target)
{
    while (!fs::exists(target + ".run"))
        std::this_thread::sleep_for(2ms);
    std::ifstream in(target + ".run");
    Lines lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

enum class Stop { Never, AtStart, OnceRunning, OnceEnded };

// What the run told, polls in a row as one. The stop is given from inside the calls,
// on the run's thread, which is the test's.
struct Recorder : EncoderRunObserver {
    Recorder(const ConvertJob& job, Stop when) : job(job), when(when) {}
    void RunStarted() override
    {
        log = "started";
        if (when == Stop::AtStart)
            stop.Set();
    }
    void RunPolled() override
    {
        if (!log.ends_with("polled"))
            log += ", polled";
        if (pid > 0 || when == Stop::Never || when == Stop::AtStart)
            return;
        pid = std::stoi(RunReport(job.m_csTargetFile).at(0));
        siginfo_t info{};
        // Ended, not yet reaped.
        if (when == Stop::OnceEnded)
            ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT);
        stop.Set();
    }
    void RunProgress(const EncoderProgress&) override {}
    void RunEnded(const EncoderRunOutcome& outcome) override
    {
        using Kind = EncoderRunOutcome::Kind;
        log += outcome.kind == Kind::Stopped     ? ", stopped"
               : outcome.kind == Kind::Completed ? ", completed"
                                                 : ", failed";
        if (!outcome.why.empty())
            log += ": " + outcome.why;
    }
    const ConvertJob& job;
    const Stop when;
    platform::AutoResetEvent stop;
    pid_t pid = -1;
    std::string log;
};

std::string RunLog(const ConvertJob& job, Stop when = Stop::Never, const std::string& encoder = kFakeEncoder)
{
    Recorder recorder(job, when);
    RunEncoder(job, encoder, recorder.stop, 20ms, recorder);
    EXPECT_FALSE(recorder.stop.TryWait()) << "a stop left behind";
    // Ended and reaped: not even a zombie is left.
    EXPECT_TRUE(recorder.pid < 0 || (::kill(recorder.pid, 0) != 0 && errno == ESRCH));
    return recorder.log;
}

// Every run starts from a careless parent (input from a file, descriptors without
// O_CLOEXEC, SIGPIPE ignored, SIGTERM blocked); the encoder still gets exactly the job's
// arguments, no shell, /dev/null for input, no stray descriptor and default signal handling.
TEST(EncoderRun, EachWayARunEnds)
{
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
    ::pthread_sigmask(SIG_BLOCK, &term, &oldMask);

    ConvertJob job = Job("ok");
    EXPECT_EQ(RunLog(job), "started, polled, completed");
    const Lines report = RunReport(job.m_csTargetFile);
    // Its progress channel is the one descriptor it gets beyond the usual three.
    EXPECT_EQ(report.at(1), "/dev/null 0 1 2 3 default open");
    EXPECT_EQ(Lines(report.begin() + 2, report.end()), BuildEncoderArguments(job, kFakeEncoder, 3));
    EXPECT_EQ(RunLog(Job("fail")), "started, polled, failed: the encoder exited with status 3");
    EXPECT_EQ(RunLog(Job("signal")), "started, polled, failed: the encoder was ended by signal 15");
    const std::string missing = Scratch("no-such-encoder");
    EXPECT_EQ(RunLog(Job("ok"), Stop::Never, missing),
              "started, failed: " + missing + ": No such file or directory");

    // A stop given before the encoder starts, while it works, and as it finishes.
    EXPECT_EQ(RunLog(Job("sleep"), Stop::AtStart), "started, polled, stopped");
    EXPECT_EQ(RunLog(Job("sleep"), Stop::OnceRunning), "started, polled, stopped");
    EXPECT_EQ(RunLog(Job("ok"), Stop::OnceEnded), "started, polled, stopped");

    // The download itself as the target, by its name or through a link, never starts the encoder.
    job = Job("ok");
    const std::string link = Scratch("link.flv");
    fs::create_symlink(job.m_csSourceFile, link);
    for (const std::string& source : {job.m_csSourceFile, link}) {
        job.m_csTargetFile = job.m_csSourceFile;
        job.m_csSourceFile = source;
        EXPECT_EQ(RunLog(job), "started, failed: the source and the target are one file");
    }
    EXPECT_FALSE(fs::exists(job.m_csTargetFile + ".run"));

    ::pthread_sigmask(SIG_SETMASK, &oldMask, nullptr);
    ::sigaction(SIGPIPE, &oldPipe, nullptr);
    ::dup2(input, STDIN_FILENO);
    ::close(input);
    ::close(held);
}

}  // namespace
