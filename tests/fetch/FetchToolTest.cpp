#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "VideoService.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;

struct ToolRun {
    int exitCode = -1;
    std::vector<std::string> lines;  // standard output
    std::string errors;              // standard error
};

class FetchToolTest : public ::testing::Test {
protected:
    // Starts tavolin-fetch with its output in files of the service's folder.
    // `environment` entries NAME=VALUE replace or add variables.
    pid_t Start(const std::vector<std::string>& arguments,
                const std::vector<std::string>& environment = {})
    {
        std::vector<std::string> args = {std::string(TAVOLIN_BIN_DIR) + "/tavolin-fetch"};
        args.insert(args.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);

        m_environment.clear();
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            bool replaced = false;
            for (const std::string& extra : environment)
                replaced |= entry.substr(0, entry.find('=') + 1) == extra.substr(0, extra.find('=') + 1);
            if (!replaced)
                m_environment.push_back(entry);
        }
        m_environment.insert(m_environment.end(), environment.begin(), environment.end());
        std::vector<char*> envp;
        for (auto& e : m_environment)
            envp.push_back(e.data());
        envp.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, OutPath().c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, ErrPath().c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t pid = -1;
        const int rc = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_EQ(rc, 0) << "cannot start " << argv[0];
        return rc == 0 ? pid : -1;
    }

    ToolRun Finish(pid_t pid)
    {
        ToolRun run;
        int status = 0;
        if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status))
            run.exitCode = WEXITSTATUS(status);
        std::istringstream out(ReadFileText(OutPath()));
        for (std::string line; std::getline(out, line);)
            run.lines.push_back(line);
        run.errors = ReadFileText(ErrPath());
        return run;
    }

    ToolRun Run(const std::vector<std::string>& arguments,
                const std::vector<std::string>& environment = {})
    {
        return Finish(Start(arguments, environment));
    }

    std::vector<std::string> ServiceOptions() const
    {
        return {"--service-host", m_service.Host(), "--cdn-domain", "cdn.test"};
    }

    std::string OutPath() const { return m_service.Folder() + "/stdout"; }
    std::string ErrPath() const { return m_service.Folder() + "/stderr"; }
    std::string VideoPath() const { return m_service.Folder() + "/video.flv"; }

    VideoService m_service;
    std::vector<std::string> m_environment;
};

TEST_F(FetchToolTest, CompletedDownloadPrintsItsReportsAndExitsZero)
{
    std::vector<std::string> args = ServiceOptions();
    args.push_back(m_service.WatchUrl("cdn-10000"));
    args.push_back(VideoPath());
    const ToolRun run = Run(args);

    EXPECT_EQ(run.exitCode, 0) << run.errors;
    ASSERT_GE(run.lines.size(), 6u);
    EXPECT_EQ(run.lines[0], "2 0 Parsing URL");
    EXPECT_EQ(run.lines[1], "2 0 Parsing URL");
    EXPECT_EQ(run.lines[2], "2 1 Pending");
    EXPECT_EQ(run.lines[3], "1 10000 0.01MB");
    EXPECT_EQ(run.lines[4], "2 2 Downloading");
    EXPECT_EQ(run.lines.back(), "2 3 Download Completed");
    // Merged progress reports may be left out; what is printed only grows, up to
    // the final value, which is never lost.
    std::vector<std::string> progress;
    for (const std::string& line : run.lines)
        if (line.starts_with("6 "))
            progress.push_back(line);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), "6 10000 Downloading - 100.00%");
    for (std::size_t i = 1; i < progress.size(); ++i)
        EXPECT_LT(std::stoi(progress[i - 1].substr(2)), std::stoi(progress[i].substr(2)));
    for (const std::string& line : run.lines) {
        if (line.starts_with("3 ")) {
            EXPECT_TRUE(line.ends_with(" 0:0:0")) << line;
        }
    }
    EXPECT_EQ(ReadFileText(VideoPath()), VideoService::Body(10000));
    EXPECT_TRUE(run.errors.empty()) << run.errors;
}

TEST_F(FetchToolTest, ExitCodesForFailureAndUsage)
{
    std::vector<std::string> args = ServiceOptions();
    args.push_back(m_service.WatchUrl("r1s200"));
    args.push_back(VideoPath());
    ToolRun run = Run(args);
    EXPECT_EQ(run.exitCode, 1);
    ASSERT_FALSE(run.lines.empty());
    EXPECT_EQ(run.lines.back(), "2 4 Download Failed");

    // The folder of the output file is missing: the message goes to standard error.
    args = ServiceOptions();
    args.push_back(m_service.WatchUrl("ok-100"));
    args.push_back(m_service.Folder() + "/missing/video.flv");
    run = Run(args);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.errors, "Can not create the file \"" + m_service.Folder() +
                              "/missing/video.flv\", file may be used by another thread.\n");
    ASSERT_FALSE(run.lines.empty());
    EXPECT_EQ(run.lines.back(), "2 4 Download Failed");

    const std::vector<std::vector<std::string>> usageErrors = {
        {},
        {m_service.WatchUrl("ok")},
        {m_service.WatchUrl("ok"), VideoPath(), "extra"},
        {"--service-host"},
        {"--bogus", m_service.WatchUrl("ok"), VideoPath()},
        {"--service-host", "a host", m_service.WatchUrl("ok"), VideoPath()},
    };
    const std::size_t requestsBefore = m_service.Requests().size();
    for (const auto& usage : usageErrors) {
        run = Run(usage);
        EXPECT_EQ(run.exitCode, 64) << ::testing::PrintToString(usage);
        EXPECT_NE(run.errors.find("usage: tavolin-fetch"), std::string::npos);
        EXPECT_TRUE(run.lines.empty());
    }
    EXPECT_EQ(m_service.Requests().size(), requestsBefore);
}

TEST_F(FetchToolTest, SignalsStopTheDownload)
{
    for (const int signal : {SIGINT, SIGTERM}) {
        std::vector<std::string> args = ServiceOptions();
        args.push_back(m_service.WatchUrl("stallbody-100000"));
        args.push_back(VideoPath());
        const pid_t pid = Start(args);
        ASSERT_GT(pid, 0);
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (ReadFileText(OutPath()).find("2 2 Downloading") == std::string::npos &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(20ms);
        std::this_thread::sleep_for(200ms);

        const auto stopAt = std::chrono::steady_clock::now();
        ::kill(pid, signal);
        const ToolRun run = Finish(pid);
        EXPECT_LT(std::chrono::steady_clock::now() - stopAt, 1500ms);
        EXPECT_EQ(run.exitCode, 2) << signal;
        ASSERT_FALSE(run.lines.empty());
        EXPECT_EQ(run.lines.back(), "2 5 Task Stopped");
        EXPECT_EQ(ReadFileText(VideoPath()), VideoService::Body(50000));
    }
}

TEST_F(FetchToolTest, ServiceComesFromTheSettingsWithoutOptions)
{
    const std::string dataHome = m_service.Folder() + "/data";
    std::filesystem::create_directories(dataHome + "/Tavolin Data");
    std::ofstream(dataHome + "/Tavolin Data/settings.ini")
        << "[TASKSINFO]\r\nSERVICE_HOST=" << m_service.Host() << "\r\nCDN_DOMAIN=cdn.test\r\n";

    ToolRun run = Run({m_service.WatchUrl("cdn-2000"), VideoPath()}, {"XDG_DATA_HOME=" + dataHome});
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(ReadFileText(VideoPath()), VideoService::Body(2000));
    ASSERT_FALSE(m_service.RequestLines().empty());
    EXPECT_EQ(m_service.RequestLines().back(), "GET /get_video?video_id=cdn-2000 HTTP/1.1");

    // An option overrides its key; the other key still comes from the settings.
    std::ofstream(dataHome + "/Tavolin Data/settings.ini")
        << "[TASKSINFO]\r\nSERVICE_HOST=127.0.0.1:1\r\nCDN_DOMAIN=cdn.test\r\n";
    std::filesystem::remove(VideoPath());
    run = Run({"--service-host", m_service.Host(), m_service.WatchUrl("cdn-3000"), VideoPath()},
              {"XDG_DATA_HOME=" + dataHome});
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(ReadFileText(VideoPath()), VideoService::Body(3000));
    EXPECT_EQ(m_service.RequestLines().back(), "GET /get_video?video_id=cdn-3000 HTTP/1.1");

    // No data folder: the defaults, which do not name this service.
    run = Run({m_service.WatchUrl("ok-100"), VideoPath()},
              {"XDG_DATA_HOME=" + m_service.Folder() + "/none"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.lines, std::vector<std::string>{"2 4 Download Failed"});
}

}  // namespace
