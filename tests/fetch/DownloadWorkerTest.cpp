#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <set>
#include <thread>

#include "RecordingPoster.h"
#include "VideoService.h"
#include "fetch/DownloadWorker.h"
#include "fetch/FileErrorPrompt.h"
#include "fetch/TaskOperations.h"
#include "tasks/Task.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

void WriteFile(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

class DownloadWorkerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_context.m_pPoster = &m_poster;
        m_context.m_service.m_csServiceHost = m_service.Host();
        m_context.m_service.m_csCdnDomain = "cdn.test";
        m_context.m_limits.connectTimeout = 5s;
        m_context.m_limits.idleTimeout = 10s;
        m_task.m_nTaskId = 7;
        m_task.m_csFilePath = m_service.Folder() + "/video.flv";
    }

    void TearDown() override
    {
        StopDownload(m_task);
        JoinDownload(m_task);
    }

    // Runs the worker on the test's thread.
    int RunWorker(const std::string& videoId)
    {
        m_task.m_csUrl = m_service.WatchUrl(videoId);
        return DownloadWorker(m_task, m_context).Run();
    }

    std::vector<std::int64_t> Statuses() const { return m_poster.Values(REPORT_STATUS); }

    std::size_t CountRequests(const std::string& prefix) const
    {
        std::size_t n = 0;
        for (const std::string& line : m_service.RequestLines())
            n += line.starts_with(prefix) ? 1 : 0;
        return n;
    }

    bool WaitForRequests(std::size_t count, std::chrono::milliseconds timeout = 10s)
    {
        const auto deadline = Clock::now() + timeout;
        while (m_service.Requests().size() < count) {
            if (Clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(10ms);
        }
        return true;
    }

    VideoService m_service;
    RecordingPoster m_poster;
    DownloadContext m_context;
    CTask m_task;
};

TEST_F(DownloadWorkerTest, CompletesWithEveryReportInOrder)
{
    ASSERT_EQ(RunWorker("ok-10000"), 1);

    std::vector<std::pair<std::int32_t, std::int64_t>> reports;
    for (const TaskReport& r : m_poster.Reports()) {
        EXPECT_EQ(r.taskId, 7);
        // Elapsed times vary; the first one is always 0.
        const bool timed = r.code == REPORT_ELAPSED && !reports.empty() &&
                           reports.back().first != REPORT_STATUS;
        reports.emplace_back(r.code, timed ? -1 : r.value);
    }
    const std::vector<std::pair<std::int32_t, std::int64_t>> expected = {
        {REPORT_STATUS, STATUS_PARSING_URL}, {REPORT_STATUS, STATUS_PARSING_URL},
        {REPORT_STATUS, STATUS_PENDING},     {REPORT_SIZE, 10000},
        {REPORT_STATUS, STATUS_DOWNLOADING}, {REPORT_ELAPSED, 0},
        {REPORT_PROGRESS, 0},                {REPORT_ELAPSED, -1},
        {REPORT_PROGRESS, 8192},             {REPORT_ELAPSED, -1},
        {REPORT_PROGRESS, 10000},            {REPORT_STATUS, STATUS_DOWNLOAD_COMPLETED},
    };
    EXPECT_EQ(reports, expected);

    EXPECT_EQ(ReadFileText(m_task.m_csFilePath), VideoService::Body(10000));
    EXPECT_TRUE(m_task.IsFinished());
    EXPECT_FALSE(m_task.IsIdle());
    EXPECT_EQ(m_task.m_nFileSize, 10000);
    EXPECT_EQ(m_task.m_fProgress.load(), 10000.0f);

    const std::vector<std::string> lines = {
        "GET /v/ok-10000&feature=dir HTTP/1.1",
        "GET /get_video?video_id=ok-10000&t=TOK8 HTTP/1.1",
        // Not on the CDN: the same address again, its redirect followed.
        "GET /get_video?video_id=ok-10000&t=TOK8 HTTP/1.1",
        "GET /file/ok-10000 HTTP/1.1",
    };
    EXPECT_EQ(m_service.RequestLines(), lines);
}

TEST_F(DownloadWorkerTest, ProgressSequences)
{
    const std::pair<const char*, std::vector<std::int64_t>> cases[] = {
        {"ok-16384", {0, 5000, 10000}},
        {"ok-1", {0, 10000}},
        {"ok-20000", {0, 4096, 8192, 10000}},
    };
    for (const auto& [id, progress] : cases) {
        RecordingPoster poster;
        m_context.m_pPoster = &poster;
        m_task.m_csUrl = m_service.WatchUrl(id);
        EXPECT_EQ(DownloadWorker(m_task, m_context).Run(), 1) << id;
        EXPECT_EQ(poster.Values(REPORT_PROGRESS), progress) << id;
    }
}

TEST_F(DownloadWorkerTest, EveryRequestCarriesExactlyTheFixedHeadersAndGoesDirect)
{
    // A proxy from the environment would be port 9 of this machine, where nothing
    // answers: the download only works when the variables are ignored.
    const char* proxyVariables[] = {"http_proxy", "HTTP_PROXY", "https_proxy", "ALL_PROXY", "all_proxy"};
    for (const char* name : proxyVariables)
        ::setenv(name, "http://127.0.0.1:9", 1);
    const int result = RunWorker("cdnrest-3000");
    for (const char* name : proxyVariables)
        ::unsetenv(name);
    ASSERT_EQ(result, 1);

    const std::vector<std::string> heads = m_service.Requests();
    ASSERT_EQ(heads.size(), 3u);
    for (const std::string& head : heads) {
        const std::string expected =
            "\r\nHost: " + m_service.Host() +
            "\r\nAccept: */*"
            "\r\nUser-Agent:Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n\r\n";
        ASSERT_GT(head.size(), expected.size());
        EXPECT_EQ(head.substr(head.find("\r\n")), expected) << head;
    }
}

TEST_F(DownloadWorkerTest, CdnAddressesLeadToTheOrigin)
{
    const std::pair<std::string, std::string> cases[] = {
        {"cdn-5000", "GET /get_video?video_id=cdn-5000 HTTP/1.1"},
        {"cdnrest-5000", "GET /get_video?video_id=cdnrest-5000&rest=1&more=2 HTTP/1.1"},
        {"cdnpadded-5000", "GET /get_video?video_id=cdnpadded-5000 HTTP/1.1"},
    };
    for (const auto& [id, third] : cases) {
        std::remove(m_task.m_csFilePath.c_str());
        EXPECT_EQ(RunWorker(id), 1) << id;
        const std::vector<std::string> lines = m_service.RequestLines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), third);
        EXPECT_EQ(ReadFileText(m_task.m_csFilePath), VideoService::Body(5000)) << id;
    }
    EXPECT_EQ(m_service.RequestLines().size(), 9u);  // the CDN itself is never asked
}

TEST_F(DownloadWorkerTest, TokenTailTravelsWhole)
{
    ASSERT_EQ(RunWorker("tokentail-100"), 1);
    const std::vector<std::string> lines = m_service.RequestLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1], "GET /get_video?video_id=tokentail-100&t=TOK13&x=1&y=2 HTTP/1.1");
}

TEST_F(DownloadWorkerTest, AcceptedRedirectsAndFollowedChains)
{
    for (const char* id : {"r1s300-500", "r1s306-500", "r2s300-500", "r2s306-500", "r1s301-500",
                           "chain307-500", "chain308-500"}) {
        EXPECT_EQ(RunWorker(id), 1) << id;
        EXPECT_EQ(ReadFileText(m_task.m_csFilePath), VideoService::Body(500)) << id;
    }
}

TEST_F(DownloadWorkerTest, EveryFailureEndsInDownloadFailed)
{
    struct Case {
        const char* id;
        bool fileCreated;
    };
    const Case cases[] = {
        // Requests 1 and 2: status, Location header, token and origin rules.
        {"r1s200", false},       {"r1s307", false},     {"r1s308", false},   {"r1s299", false},
        {"r1s404", false},       {"r2s200", false},     {"r2s307", false},   {"r2s308", false},
        {"r1lower", false},      {"r2lower", false},    {"r1last", false},   {"r2last", false},
        {"r1noloc", false},      {"r2noloc", false},    {"notoken", false},  {"tokenat0", false},
        {"cdnnoorigin", false},  {"cdnoriginat0", false},
        // Transport failures and answers that are not HTTP.
        {"r1garbage", false},    {"r2garbage", false},  {"r1reset", false},  {"r2reset", false},
        {"r3reset", false},      {"fileredirect", false},
        // The video response.
        {"nolength-500", false}, {"r3s404-500", false}, {"zero", false},
        {"short-20000", true},   {"bodyreset-40000", true},
    };
    for (const Case& c : cases) {
        std::remove(m_task.m_csFilePath.c_str());
        RecordingPoster poster;
        m_context.m_pPoster = &poster;
        m_task.m_csUrl = m_service.WatchUrl(c.id);
        EXPECT_EQ(DownloadWorker(m_task, m_context).Run(), 0) << c.id;
        const std::vector<std::int64_t> statuses = poster.Values(REPORT_STATUS);
        ASSERT_FALSE(statuses.empty()) << c.id;
        EXPECT_EQ(statuses.back(), STATUS_DOWNLOAD_FAILED) << c.id;
        EXPECT_EQ(std::count(statuses.begin(), statuses.end(), STATUS_DOWNLOAD_FAILED), 1) << c.id;
        EXPECT_FALSE(m_task.IsFinished()) << c.id;
        EXPECT_TRUE(m_task.IsIdle()) << c.id;
        EXPECT_EQ(FileExists(m_task.m_csFilePath), c.fileCreated) << c.id;
    }
}

TEST_F(DownloadWorkerTest, ShortBodyIsAFailureAndKeepsWhatCame)
{
    EXPECT_EQ(RunWorker("short-20000"), 0);
    EXPECT_EQ(Statuses().back(), STATUS_DOWNLOAD_FAILED);
    EXPECT_EQ(ReadFileText(m_task.m_csFilePath), VideoService::Body(10000));
    EXPECT_LT(m_poster.Values(REPORT_PROGRESS).back(), 10000);
}

TEST_F(DownloadWorkerTest, ErrorPageNeverTouchesAnEarlierFile)
{
    for (const char* id : {"r3s404-500", "zero", "nolength-500"}) {
        WriteFile(m_task.m_csFilePath, "earlier download");
        EXPECT_EQ(RunWorker(id), 0) << id;
        EXPECT_EQ(ReadFileText(m_task.m_csFilePath), "earlier download") << id;
        // No size and no downloading status for a response that is not the video.
        const std::vector<std::int64_t> statuses = Statuses();
        EXPECT_EQ(std::count(statuses.begin(), statuses.end(), STATUS_DOWNLOADING), 0) << id;
    }
}

TEST_F(DownloadWorkerTest, MoreDataThanAnnouncedKeepsExactlyTheAnnouncedSize)
{
    ASSERT_EQ(RunWorker("more-10000"), 1);
    EXPECT_EQ(ReadFileText(m_task.m_csFilePath), VideoService::Body(10000));
    EXPECT_EQ(Statuses().back(), STATUS_DOWNLOAD_COMPLETED);
}

TEST_F(DownloadWorkerTest, RejectedAddressAndUnreachableServiceFail)
{
    m_task.m_csUrl = "https://" + m_service.Host() + "/watch?v=abc";
    EXPECT_EQ(DownloadWorker(m_task, m_context).Run(), 0);
    EXPECT_EQ(Statuses(), std::vector<std::int64_t>{STATUS_DOWNLOAD_FAILED});
    EXPECT_TRUE(m_service.Requests().empty());

    // A port that was just free: nothing listens there.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length), 0);
    ::close(fd);
    const std::string deadHost = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));

    RecordingPoster poster;
    m_context.m_pPoster = &poster;
    m_context.m_service.m_csServiceHost = deadHost;
    m_task.m_csUrl = "http://" + deadHost + "/watch?v=ok";
    EXPECT_EQ(DownloadWorker(m_task, m_context).Run(), 0);
    EXPECT_EQ(poster.Values(REPORT_STATUS),
              (std::vector<std::int64_t>{STATUS_PARSING_URL, STATUS_DOWNLOAD_FAILED}));
}

TEST_F(DownloadWorkerTest, FailedWriteEndsTheTask)
{
    if (!FileExists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    m_task.m_csFilePath = "/dev/full";
    EXPECT_EQ(RunWorker("ok-20000"), 0);
    EXPECT_EQ(Statuses().back(), STATUS_DOWNLOAD_FAILED);
    EXPECT_FALSE(m_task.IsFinished());
}

TEST_F(DownloadWorkerTest, SilentWorkerPostsNothingButKeepsItsStatus)
{
    m_task.m_bSilent = true;
    EXPECT_EQ(RunWorker("ok-3000"), 1);
    EXPECT_TRUE(m_poster.Reports().empty());
    EXPECT_TRUE(m_task.IsFinished());
    EXPECT_EQ(ReadFileText(m_task.m_csFilePath), VideoService::Body(3000));
}

class BlockingPrompt : public FileErrorPrompt {
public:
    void ShowFileError(const std::string& message) override
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_messages.push_back(message);
        m_cond.notify_all();
        m_cond.wait(lock, [this] { return m_dismissed; });
    }
    bool WaitShown(std::chrono::milliseconds timeout)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_cond.wait_for(lock, timeout, [this] { return !m_messages.empty(); });
    }
    void Dismiss()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_dismissed = true;
        m_cond.notify_all();
    }
    std::vector<std::string> Messages()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_messages;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cond;
    std::vector<std::string> m_messages;
    bool m_dismissed = false;
};

TEST_F(DownloadWorkerTest, FileCreationFailureWaitsForTheUserBeforeFailing)
{
    BlockingPrompt prompt;
    m_context.m_pFilePrompt = &prompt;
    m_task.m_csFilePath = m_service.Folder() + "/no such folder/video.flv";
    m_task.m_csUrl = m_service.WatchUrl("ok-1000");
    ASSERT_TRUE(StartDownload(m_task, m_context));

    ASSERT_TRUE(prompt.WaitShown(10s));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(Statuses().back(), STATUS_DOWNLOADING);  // nothing more until dismissed
    EXPECT_FALSE(m_task.IsIdle());

    prompt.Dismiss();
    EXPECT_EQ(m_poster.WaitForEnd(), STATUS_DOWNLOAD_FAILED);
    JoinDownload(m_task);
    EXPECT_EQ(prompt.Messages(),
              std::vector<std::string>{"Can not create the file \"" + m_task.m_csFilePath +
                                       "\", file may be used by another thread."});
    EXPECT_TRUE(m_task.IsIdle());
}

TEST_F(DownloadWorkerTest, StopWhileStalledIsHonouredWithinASecond)
{
    struct Case {
        const char* id;
        std::size_t requestsBeforeStop;
        std::optional<std::size_t> partialFile;  // bytes on disk afterwards; none: no file
    };
    const Case cases[] = {
        {"r1stall", 1, std::nullopt},          // before the first answer
        {"r2stall", 2, std::nullopt},          // during the resolution
        {"r3stall-9000", 4, std::nullopt},     // before the video's headers
        {"stallbody-100000", 4, 50000},        // in the middle of the body
    };
    for (const Case& c : cases) {
        VideoService service;
        RecordingPoster poster;
        m_context.m_pPoster = &poster;
        m_context.m_service.m_csServiceHost = service.Host();
        m_task.m_csFilePath = service.Folder() + "/video.flv";
        m_task.m_csUrl = service.WatchUrl(c.id);
        ASSERT_TRUE(StartDownload(m_task, m_context)) << c.id;

        const auto deadline = Clock::now() + 10s;
        while (service.Requests().size() < c.requestsBeforeStop && Clock::now() < deadline)
            std::this_thread::sleep_for(10ms);
        if (c.partialFile) {
            ASSERT_TRUE(poster.WaitForReport(
                [&](const TaskReport& r) {
                    return r.code == REPORT_PROGRESS && r.value >= 4000;
                },
                10s))
                << c.id;
        }
        std::this_thread::sleep_for(300ms);  // let it sit in the stall

        const auto stopAt = Clock::now();
        StopDownload(m_task);
        EXPECT_EQ(poster.WaitForEnd(3s), STATUS_STOPPED) << c.id;
        EXPECT_LT(Clock::now() - stopAt, 1000ms) << c.id;
        JoinDownload(m_task);

        EXPECT_TRUE(m_task.IsIdle()) << c.id;
        EXPECT_FALSE(m_task.IsFinished()) << c.id;
        if (c.partialFile)
            EXPECT_EQ(ReadFileText(m_task.m_csFilePath), VideoService::Body(*c.partialFile)) << c.id;
        else
            EXPECT_FALSE(FileExists(m_task.m_csFilePath)) << c.id;
    }
}

TEST_F(DownloadWorkerTest, NothingReceivedForTheIdleLimitFails)
{
    m_context.m_limits.idleTimeout = 1s;
    for (const char* id : {"r1stall", "stallbody-100000"}) {
        const auto start = Clock::now();
        EXPECT_EQ(RunWorker(id), 0) << id;
        EXPECT_EQ(Statuses().back(), STATUS_DOWNLOAD_FAILED) << id;
        EXPECT_LT(Clock::now() - start, 5s) << id;
    }
}

TEST_F(DownloadWorkerTest, SlowButSteadyTransferIsNotCutOff)
{
    m_context.m_limits.idleTimeout = 1s;
    EXPECT_EQ(RunWorker("slow-100000"), 1);  // about 1.2 s, in small pieces
    EXPECT_EQ(ReadFileText(m_task.m_csFilePath), VideoService::Body(100000));
}

TEST_F(DownloadWorkerTest, StopBeforeTheTransferLeavesTheFileAlone)
{
    WriteFile(m_task.m_csFilePath, "earlier download");
    m_task.m_evStop.Set();
    EXPECT_EQ(RunWorker("ok-10000"), 0);
    EXPECT_EQ(Statuses().back(), STATUS_STOPPED);
    EXPECT_EQ(ReadFileText(m_task.m_csFilePath), "earlier download");
    const std::vector<std::int64_t> statuses = Statuses();
    EXPECT_EQ(std::count(statuses.begin(), statuses.end(), STATUS_DOWNLOADING), 0);
}

TEST_F(DownloadWorkerTest, RestartOverwritesThePartialFile)
{
    m_task.m_csUrl = m_service.WatchUrl("stallbody-100000");
    ASSERT_TRUE(StartDownload(m_task, m_context));
    ASSERT_TRUE(m_poster.WaitForReport(
        [](const TaskReport& r) { return r.code == REPORT_PROGRESS && r.value >= 4000; }, 10s));
    StopDownload(m_task);
    ASSERT_EQ(m_poster.WaitForEnd(3s), STATUS_STOPPED);
    JoinDownload(m_task);
    ASSERT_GT(ReadFileText(m_task.m_csFilePath).size(), 20000u);

    RecordingPoster second;
    m_context.m_pPoster = &second;
    m_task.m_csUrl = m_service.WatchUrl("ok-20000");
    ASSERT_TRUE(StartDownload(m_task, m_context));
    EXPECT_EQ(second.WaitForEnd(), STATUS_DOWNLOAD_COMPLETED);
    JoinDownload(m_task);
    EXPECT_EQ(ReadFileText(m_task.m_csFilePath), VideoService::Body(20000));
}

TEST_F(DownloadWorkerTest, OnlyAnIdleTaskStartsAndOnlyOnce)
{
    m_task.m_csUrl = m_service.WatchUrl("ok-30000");
    ASSERT_TRUE(StartDownload(m_task, m_context));
    // In the moment before the worker's first report the task is already busy.
    EXPECT_FALSE(m_task.IsIdle());
    EXPECT_FALSE(StartDownload(m_task, m_context));
    EXPECT_EQ(m_poster.WaitForEnd(), STATUS_DOWNLOAD_COMPLETED);
    JoinDownload(m_task);
    EXPECT_EQ(CountRequests("GET /v/"), 1u);
    EXPECT_EQ(m_poster.Values(REPORT_STATUS).front(), STATUS_PARSING_URL);

    // Downloaded: not started again.
    EXPECT_FALSE(StartDownload(m_task, m_context));

    // Failed: started again, and the finished flag is cleared at once.
    m_task.Lock();
    m_task.m_nStatus = STATUS_DOWNLOAD_FAILED;
    m_task.Unlock();
    m_task.m_csUrl = m_service.WatchUrl("r1stall");
    ASSERT_TRUE(StartDownload(m_task, m_context));
    EXPECT_FALSE(m_task.IsFinished());
}

TEST_F(DownloadWorkerTest, DisposeTaskDeletesTheFilesAfterTheWorkerEnds)
{
    for (const bool deleteFiles : {true, false}) {
        auto task = std::make_unique<CTask>();
        RecordingPoster poster;
        m_context.m_pPoster = &poster;
        task->m_csFilePath = m_service.Folder() + "/disposed.flv";
        task->m_job.m_csTargetFile = m_service.Folder() + "/disposed.mp4";
        task->m_csUrl = m_service.WatchUrl("stallbody-100000");
        WriteFile(task->m_job.m_csTargetFile, "");
        ASSERT_TRUE(StartDownload(*task, m_context));
        ASSERT_TRUE(poster.WaitForReport(
            [](const TaskReport& r) { return r.code == REPORT_PROGRESS && r.value > 0; }, 10s));

        task->m_bDeleteFiles = deleteFiles;
        StopDownload(*task);
        DisposeTask(std::move(task));  // returns only once the worker has ended
        EXPECT_EQ(poster.Values(REPORT_STATUS).back(), STATUS_STOPPED);
        EXPECT_EQ(FileExists(m_service.Folder() + "/disposed.flv"), !deleteFiles);
        EXPECT_EQ(FileExists(m_service.Folder() + "/disposed.mp4"), !deleteFiles);
    }
}

}  // namespace
