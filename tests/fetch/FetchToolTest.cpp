#include <signal.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>
#include <tuple>

#include "support/Files.h"
#include "support/VideoService.h"

namespace {

using namespace std::chrono_literals;

class FetchToolTest : public ::testing::Test {
protected:
    // Starts tavolin-fetch with the service's folder as its data folder (without
    // settings until a test writes them); the shell prints its process id first.
    FILE* Start(const std::vector<std::string>& args, const std::string& redirect = "")
    {
        std::string command =
            "echo $$; XDG_DATA_HOME='" + Folder() + "/data' exec '" + TAVOLIN_BIN_DIR "/tavolin-fetch'";
        for (const std::string& argument : args)
            command += " '" + argument + "'";
        FILE* out = ::popen((command + redirect + " 2>'" + Folder() + "/stderr'").c_str(), "re");
        EXPECT_EQ(std::fscanf(out, "%d\n", &m_pid), 1);
        return out;
    }
    // The exit code; the lines printed since the last one read in m_lines.
    int Finish(FILE* out)
    {
        m_lines.clear();
        for (char line[256]; std::fgets(line, sizeof line, out);)
            m_lines.emplace_back(line, std::strcspn(line, "\n"));
        const int status = ::pclose(out);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    int Run(const std::vector<std::string>& args) { return Finish(Start(args)); }
    std::string LastLine() const { return m_lines.empty() ? "" : m_lines.back(); }
    std::string Errors() const { return ReadText(Folder() + "/stderr"); }
    const std::string& Folder() const { return m_service.Folder(); }
    std::string File() const { return Folder() + "/video.flv"; }

    VideoService m_service;
    pid_t m_pid = -1;
    std::vector<std::string> m_lines;
};

TEST_F(FetchToolTest, CompletedDownloadPrintsItsReportsAndExitsZero)
{
    // An option overrides its key of the settings; the other key still comes from them.
    std::filesystem::create_directories(Folder() + "/data/Tavolin Data");
    std::filesystem::copy_file(TestData("settings-unreachable-service.ini"),
                               Folder() + "/data/Tavolin Data/settings.ini");
    EXPECT_EQ(Run({"--service-host=" + m_service.Host(), m_service.WatchUrl("cdn-10000"), File()}), 0);
    EXPECT_EQ(m_service.RequestLines().back(), "GET /get_video?video_id=cdn-10000 HTTP/1.1");
    EXPECT_EQ(ReadText(File()), VideoService::Body(10000));

    ASSERT_GE(m_lines.size(), 6u);
    const std::vector<std::string> first = {"2 0 Parsing URL", "2 0 Parsing URL", "2 1 Pending",
                                            "1 10000 0.01MB", "2 2 Downloading"};
    EXPECT_EQ(std::vector<std::string>(m_lines.begin(), m_lines.begin() + 5), first);
    // Merged progress reports may be left out, but never the final one.
    const std::string done = "6 10000 Downloading - 100.00%";
    EXPECT_NE(std::find(m_lines.begin(), m_lines.end(), done), m_lines.end());
    EXPECT_EQ(LastLine(), "2 3 Download Completed");
}

TEST_F(FetchToolTest, FailureAndUsageExitCodes)
{
    // Every failure says why on standard error, a write that fails too; reports that cannot
    // be written are said once, and the download goes on.
    const std::string missing = Folder() + "/missing/video.flv";
    const std::tuple<std::string, std::string, std::string, int, std::string> failures[] = {
        {"ok", missing, "", 1,
         "Can not create the file \"" + missing +
             "\", file may be used by another thread.\ntavolin-fetch: cannot create \"" + missing +
             "\": no such file or directory\n"},
        {"r3s404", File(), "", 1, "tavolin-fetch: request 3: 404 Not Found\n"},
        {"ok", "/dev/full", "", 1, "tavolin-fetch: cannot write \"/dev/full\": disk full\n"},
        {"ok", File(), " >/dev/full", 0,
         "tavolin-fetch: cannot write the reports to standard output: No space left on device\n"},
    };
    for (const auto& [id, output, redirect, code, errors] : failures) {
        EXPECT_EQ(
            Finish(Start({"--service-host", m_service.Host(), m_service.WatchUrl(id), output}, redirect)),
            code)
            << output << redirect;
        EXPECT_EQ(Errors(), errors);
        EXPECT_EQ(LastLine(), code ? "2 4 Download Failed" : "");
    }

    const std::vector<std::vector<std::string>> usageErrors = {
        {m_service.WatchUrl("ok")},
        {"--bogus", m_service.WatchUrl("ok"), File()},
        {"--service-host", "a host", m_service.WatchUrl("ok"), File()},
        {"--retries=101", m_service.WatchUrl("ok"), File()},
    };
    for (const auto& usage : usageErrors) {
        EXPECT_EQ(Run(usage), 64) << ::testing::PrintToString(usage);
        EXPECT_NE(Errors().find("Usage: tavolin-fetch"), std::string::npos);
        EXPECT_TRUE(m_lines.empty());
    }
}

TEST_F(FetchToolTest, SignalsStopTheDownload)
{
    for (const int signal : {SIGINT, SIGTERM}) {
        FILE* out =
            Start({"--service-host", m_service.Host(), m_service.WatchUrl("stallbody-100000"), File()});
        char line[256] = {};
        while (std::strcmp(line, "2 2 Downloading\n") != 0 && std::fgets(line, sizeof line, out)) {
        }
        std::this_thread::sleep_for(200ms);
        ::kill(m_pid, signal);
        // Stopped, where the stall would have ended only at the idle limit, as failed.
        EXPECT_EQ(Finish(out), 2) << signal;
        EXPECT_EQ(LastLine(), "2 5 Task Stopped");
        EXPECT_EQ(ReadText(File()), VideoService::Body(50000));
    }
}

TEST_F(FetchToolTest, ContinuesAFileAfterAKillAndRetriesWhenAsked)
{
    FILE* out = Start({"--service-host", m_service.Host(), m_service.WatchUrl("stallonce-400000"), File()});
    char line[256] = {};
    while (std::strcmp(line, "2 2 Downloading\n") != 0 && std::fgets(line, sizeof line, out)) {
    }
    // Half the body comes, then nothing: killed there, the file keeps what was written.
    for (int i = 0; i < 500 && std::filesystem::file_size(File()) < 100000; ++i)
        std::this_thread::sleep_for(10ms);
    std::this_thread::sleep_for(100ms);
    ::kill(m_pid, SIGKILL);
    Finish(out);
    const std::size_t kept = std::filesystem::file_size(File());
    ASSERT_TRUE(kept >= 100000 && ReadText(File()) == VideoService::Body(kept)) << kept;

    // Without a stored size the rest is asked from the last byte on, and the answer's total
    // is taken as the size.
    EXPECT_EQ(Run({"--continue", "--service-host", m_service.Host(), m_service.WatchUrl("stallonce-400000"),
                   File()}),
              0);
    EXPECT_TRUE(ReadText(File()) == VideoService::Body(400000));
    EXPECT_NE(m_service.Requests().back().find("\r\nRange: bytes=" + std::to_string(kept - 1) + "-\r\n"),
              std::string::npos);
    EXPECT_EQ(LastLine(), "2 3 Download Completed");

    // A direct address; the service's Retry-After of 0 lets the retry come at once.
    EXPECT_EQ(Run({"--retries", "2", "http://" + m_service.Host() + "/media/s503x1ra0-3000.flv", File()}), 0);
    EXPECT_NE(std::find(m_lines.begin(), m_lines.end(), "8 65538 Retrying in 0 s (1/2)"), m_lines.end());
    EXPECT_TRUE(ReadText(File()) == VideoService::Body(3000));
    EXPECT_EQ(Errors(), "tavolin-fetch: request 1: 503 Service Unavailable\n");
}

}  // namespace
