// The child process layer and the program folder.

#include "platform/Process.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "platform/Pipe.h"
#include "platform/ProgramFolder.h"

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
using platform::Process;
using platform::ProcessExit;

TEST(Process, OneChildAtATimeUntilItIsKilledOrHasEndedUnnoticed)
{
    pid_t pid = -1;
    {
        Process child;
        ASSERT_TRUE(child.Start({"/bin/sh", "-c", "exec sleep 60"}));
        EXPECT_FALSE(child.Start({"/bin/sh", "-c", "true"}));
        child.Kill();
        child.Kill();  // signals nothing: the number may be someone else's now
        EXPECT_EQ(child.Exit(), (ProcessExit{-1, SIGKILL}));
        EXPECT_TRUE(::kill(child.Pid(), 0) != 0 && errno == ESRCH);  // reaped: not even a zombie is left

        // A child that ended without being polled does not block the next start.
        ASSERT_TRUE(child.Start({"/bin/sh", "-c", "true"}));
        siginfo_t info{};
        ASSERT_EQ(::waitid(P_PID, static_cast<id_t>(child.Pid()), &info, WEXITED | WNOWAIT), 0);
        ASSERT_TRUE(child.Start({"/bin/sh", "-c", "exit 3"}));
        ASSERT_TRUE(child.WaitFor(std::chrono::seconds(10)));
        EXPECT_EQ(child.Exit(), (ProcessExit{3, 0}));

        ASSERT_TRUE(child.Start({"/bin/sh", "-c", "exec sleep 60"}));
        pid = child.Pid();
    }
    EXPECT_TRUE(::kill(pid, 0) != 0 && errno == ESRCH);  // destroying a running child ends and reaps it
}

TEST(Process, AProgramThatCannotStartIsToldApartFromOneThatEndsWith127)
{
    // No program, a missing one, one not executable.
    for (const Lines& argv :
         {Lines{}, Lines{"/nonexistent/program"}, Lines{TAVOLIN_TESTS_DIR "/CMakeLists.txt"}}) {
        Process child;
        std::string why;
        EXPECT_FALSE(child.Start(argv, &why)) << (argv.empty() ? "(none)" : argv[0]);
        EXPECT_FALSE(why.empty());
    }
    Process child;
    ASSERT_TRUE(child.Start({"/bin/sh", "-c", "exit 127"}));
    ASSERT_TRUE(child.WaitFor(std::chrono::seconds(10)));
    EXPECT_EQ(child.Exit(), (ProcessExit{127, 0}));
}

TEST(Process, HandsOverItsDescriptorsAndNoOthers)
{
    platform::Pipe channel, output;
    ASSERT_TRUE(channel.Open(nullptr) && output.Open(nullptr));
    Process child;
    // A stray descriptor left open by a careless parent is the encoder run's test.
    ASSERT_TRUE(child.Start(
        {"/bin/sh", "-c", "echo channel >&3; echo output; [ -e /proc/$$/fd/4 ] && echo leaked; exit 0"},
        nullptr, {{channel.WriteEnd(), 3}, {output.WriteEnd(), 1}}));
    channel.CloseWriteEnd();
    output.CloseWriteEnd();
    ASSERT_TRUE(child.WaitFor(std::chrono::seconds(10)));
    std::string fromChannel, fromOutput;
    channel.Read(fromChannel);
    output.Read(fromOutput);
    EXPECT_EQ(fromChannel, "channel\n");
    EXPECT_EQ(fromOutput, "output\n");
    EXPECT_EQ(child.Exit(), (ProcessExit{0, 0}));
}

TEST(ProgramFolder, IsTheExecutablesFolderWhateverTheCurrentDirectory)
{
    const auto cwd = fs::current_path();
    fs::current_path("/");
    EXPECT_EQ(platform::ProgramFolder(), fs::canonical(TAVOLIN_BIN_DIR).string());
    fs::current_path(cwd);
}

}  // namespace
