#include "platform/Process.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "ConvertTestSupport.h"
#include "platform/ProgramFolder.h"

namespace {

using namespace convert_test;
using platform::Process;
using platform::ProcessExit;

std::vector<std::string> StandIn(const std::string& target) {
    return {FakeEncoder(), "converter.exe", "-i", "in.flv", target};
}

TEST(Process, ReportsHowTheChildEnded) {
    ScratchFolder dir;
    const struct {
        const char* name;
        ProcessExit exit;
    } cases[] = {
        {"ok.mp4", {0, 0}},
        {"fail.mp4", {3, 0}},
        {"exit127.mp4", {127, 0}},
        {"signal.mp4", {-1, SIGTERM}},
    };
    for (const auto& c : cases) {
        Process child;
        std::string why;
        ASSERT_TRUE(child.Start(StandIn(dir.Path(c.name)), &why)) << why;
        EXPECT_TRUE(child.IsStarted());
        ASSERT_TRUE(child.WaitFor(10s)) << c.name;
        ASSERT_TRUE(child.Exit()) << c.name;
        EXPECT_EQ(*child.Exit(), c.exit) << c.name;
        EXPECT_EQ(child.Exit()->Succeeded(), c.exit.code == 0) << c.name;
        EXPECT_TRUE(IsGone(child.Pid())) << c.name;
    }
    // A program that refuses its arguments ends with its own status.
    Process refusing;
    ASSERT_TRUE(refusing.Start({FakeEncoder(), "-i", "x", "y"}));
    ASSERT_TRUE(refusing.WaitFor(10s));
    EXPECT_EQ(refusing.Exit()->code, 2);
}

TEST(Process, PollDoesNotWaitAndKillEndsAtOnce) {
    ScratchFolder dir;
    const std::string target = dir.Path("sleep.mp4");
    Process child;
    ASSERT_TRUE(child.Start(StandIn(target)));
    ASSERT_GT(WaitForStart(target), 0);
    const auto before = Clock::now();
    for (int i = 0; i < 20; ++i)
        EXPECT_FALSE(child.HasEnded());
    EXPECT_LT(Clock::now() - before, 500ms);
    EXPECT_FALSE(child.Exit());
    EXPECT_FALSE(child.WaitFor(50ms));
    std::string why;
    EXPECT_FALSE(child.Start(StandIn(dir.Path("ok.mp4")), &why));  // one child at a time
    EXPECT_FALSE(why.empty());

    child.Kill();
    EXPECT_LT(Clock::now() - before, 5s);
    ASSERT_TRUE(child.Exit());
    EXPECT_EQ(child.Exit()->signal, SIGKILL);
    EXPECT_FALSE(child.Exit()->Succeeded());
    EXPECT_TRUE(child.HasEnded());
    EXPECT_TRUE(IsGone(child.Pid()));
    child.Kill();  // a second end signals nothing: the number may be someone else's now
    EXPECT_EQ(child.Exit()->signal, SIGKILL);
    // Once it has ended the same object runs the next child.
    ASSERT_TRUE(child.Start(StandIn(dir.Path("fail.mp4"))));
    ASSERT_TRUE(child.WaitFor(10s));
    EXPECT_EQ(child.Exit()->code, 3);
}

TEST(Process, AProgramThatCannotStartIsToldApartFromOneThatEndsWith127) {
    ScratchFolder dir;
    const std::string plain = dir.Path("not-executable");
    std::ofstream(plain) << "#!/bin/sh\nexit 0\n";
    ::chmod(plain.c_str(), 0644);
    std::filesystem::create_directory(dir.Path("folder"));
    const std::vector<std::vector<std::string>> cannot = {
        {},
        {""},
        {dir.Path("missing"), "converter.exe"},
        {plain},
        {dir.Path("folder")},
    };
    for (const auto& argv : cannot) {
        Process child;
        std::string why;
        EXPECT_FALSE(child.Start(argv, &why)) << (argv.empty() ? "(none)" : argv[0]);
        EXPECT_FALSE(why.empty());
        EXPECT_FALSE(child.IsStarted());
        EXPECT_FALSE(child.Exit());
        EXPECT_TRUE(child.HasEnded());
        child.Kill();  // harmless
    }
}

TEST(Process, ArgumentsArriveUnchangedWithoutAShell) {
    ScratchFolder dir;
    const std::string target = dir.Path("ok \"quoted\" $(id) *;|.mp4");
    const std::vector<std::string> argv = {FakeEncoder(), "converter.exe", "", "  two  blanks ",
                                           "back\\slash", "'single'", "$HOME", target};
    Process child;
    ASSERT_TRUE(child.Start(argv));
    ASSERT_TRUE(child.WaitFor(10s));
    EXPECT_EQ(child.Exit()->code, 0);
    EXPECT_EQ(ReadRunReport(target).args, argv);
    EXPECT_EQ(ReadFile(target), "converted\n");
}

TEST(Process, ChildGetsNullInputNoStrayDescriptorsAndDefaultSignals) {
    ScratchFolder dir;
    const std::string target = dir.Path("ok.mp4");
    // Descriptors opened without O_CLOEXEC, as a careless library might.
    const int file = ::open(dir.Path("held").c_str(), O_CREAT | O_RDWR, 0644);
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    ASSERT_GE(file, 0);
    // A parent that ignores SIGPIPE and blocks SIGTERM in the starting thread.
    struct sigaction ignore {}, oldPipe {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &oldPipe);
    sigset_t term, oldMask;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    ::pthread_sigmask(SIG_BLOCK, &term, &oldMask);

    Process child;
    const bool started = child.Start(StandIn(target));

    ::pthread_sigmask(SIG_SETMASK, &oldMask, nullptr);
    ::sigaction(SIGPIPE, &oldPipe, nullptr);
    ::close(file);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);

    ASSERT_TRUE(started);
    ASSERT_TRUE(child.WaitFor(10s));
    const RunReport report = ReadRunReport(target);
    EXPECT_EQ(report.stdinPath, "/dev/null");
    EXPECT_EQ(report.fds, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(report.sigpipe, "default");
    EXPECT_EQ(report.sigterm, "open");
}

TEST(Process, DestroyingARunningChildEndsAndReapsIt) {
    ScratchFolder dir;
    const std::string target = dir.Path("sleep.mp4");
    pid_t pid = -1;
    {
        Process child;
        ASSERT_TRUE(child.Start(StandIn(target)));
        pid = WaitForStart(target);
        ASSERT_GT(pid, 0);
        EXPECT_EQ(pid, child.Pid());
    }
    EXPECT_TRUE(IsGone(pid));
}

TEST(ProgramFolder, IsTheFolderOfTheRunningExecutableWhateverTheCurrentDirectory) {
    const auto expected = std::filesystem::canonical(TAVOLIN_BIN_DIR).string();
    EXPECT_EQ(platform::ProgramFolder(), expected);
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path("/");
    const std::string fromRoot = platform::ProgramFolder();
    std::filesystem::current_path(cwd);
    EXPECT_EQ(fromRoot, expected);
    EXPECT_TRUE(std::filesystem::exists(platform::ProgramFolder() + "/fake_encoder"));
}

}  // namespace
