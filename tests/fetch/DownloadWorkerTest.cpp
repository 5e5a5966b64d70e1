#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>

#include "fetch/DownloadWorker.h"
#include "fetch/FileErrorPrompt.h"
#include "fetch/TaskOperations.h"
#include "support/Files.h"
#include "support/VideoService.h"
#include "tasks/MessagePoster.h"
#include "tasks/Task.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The fixture records the worker's reports and the messages it shows.
class DownloadWorkerTest : public ::testing::Test, public MessagePoster, public FileErrorPrompt {
protected:
    void SetUp() override
    {
        m_context.poster = this;
        m_context.filePrompt = this;
        m_context.service.serviceHost = m_service.Host();
        m_context.service.cdnDomain = "cdn.test";
        m_context.limits = {5s, 10s};
        m_task.m_nTaskId = 7;
        m_task.m_csFilePath = m_service.Folder() + "/video.flv";
    }
    void TearDown() override
    {
        StopDownload(m_task);
        JoinDownload(m_task);
    }

    void PostTaskReport(std::int32_t taskId, std::int32_t code, std::int64_t value) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_reports.push_back({taskId, code, value});
        if (code == m_stopOn)
            m_task.m_evStop.Set();
    }
    void PostConvertNext(int) override {}
    void PostTaskDetail(std::int32_t, std::string) override {}
    void ShowFileError(const std::string& message) override
    {
        m_shown.push_back(message + " | " + std::to_string(Statuses().back()));
    }

    std::vector<std::int64_t> Values(std::int32_t code)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::vector<std::int64_t> values;
        for (const TaskReport& r : m_reports)
            if (r.code == code)
                values.push_back(r.value);
        return values;
    }
    std::vector<std::int64_t> Statuses() { return Values(REPORT_STATUS); }
    // Waits until the last report of `code` has a value of at least `least`; the
    // statuses from STATUS_DOWNLOAD_COMPLETED on end a download.
    bool WaitFor(std::int32_t code, std::int64_t least, std::chrono::milliseconds limit = 20s)
    {
        for (const auto end = Clock::now() + limit; Clock::now() < end; std::this_thread::sleep_for(5ms))
            if (const auto values = Values(code); !values.empty() && values.back() >= least)
                return true;
        return false;
    }

    // Runs a worker on this thread, or starts one on its own.
    int RunWorker(const std::string& videoId, bool onItsThread = false)
    {
        m_reports.clear();
        m_task.m_csUrl = m_service.WatchUrl(videoId);
        if (onItsThread)
            return StartDownload(m_task, m_context);
        return DownloadWorker(m_task, m_context).Run();
    }
    std::string FileText() { return ReadText(m_task.m_csFilePath); }

    VideoService m_service;
    DownloadContext m_context;
    CTask m_task;
    std::mutex m_mutex;
    std::vector<TaskReport> m_reports;
    std::vector<std::string> m_shown;
    std::int32_t m_stopOn = 0;  // a report code that asks the worker to stop
};

TEST_F(DownloadWorkerTest, CompletesWithEveryReportInOrderAndTheFixedRequests)
{
    // A proxy from the environment would be port 9 of this machine, where nothing
    // answers: the download only works when the variables are ignored.
    const char* proxyVariables[] = {"http_proxy", "HTTP_PROXY", "ALL_PROXY", "all_proxy"};
    for (const char* name : proxyVariables)
        ::setenv(name, "http://127.0.0.1:9", 1);
    const int result = RunWorker("ok-10000");
    for (const char* name : proxyVariables)
        ::unsetenv(name);
    ASSERT_EQ(result, 1);

    // Task 7's reports as code=value (1 size, 2 status, 3 elapsed, 6 progress); elapsed
    // times vary.
    std::string reports;
    for (const TaskReport& r : m_reports)
        reports += std::to_string(r.taskId) + ":" + std::to_string(r.code) + "=" +
                   (r.code == REPORT_ELAPSED ? "t" : std::to_string(r.value)) + " ";
    EXPECT_EQ(reports,
              "7:2=0 7:2=0 7:2=1 7:1=10000 7:2=2 7:3=t 7:6=0 "
              "7:3=t 7:6=8192 7:3=t 7:6=10000 7:2=3 ");
    EXPECT_EQ(FileText(), VideoService::Body(10000));
    EXPECT_TRUE(m_task.IsFinished());
    EXPECT_EQ(m_task.m_nFileSize, 10000);
    EXPECT_EQ(m_task.m_fProgress.load(), 10000.0f);

    // Not on the CDN: the second address once more, its redirect followed. Every
    // request carries exactly the fixed header lines.
    std::vector<std::string> heads;
    for (const char* target : {"/v/ok-10000&feature=dir", "/get_video?video_id=ok-10000&t=TOK8",
                               "/get_video?video_id=ok-10000&t=TOK8", "/file/ok-10000"})
        heads.push_back("GET " + std::string(target) + " HTTP/1.1\r\nHost: " + m_service.Host() +
                        "\r\nAccept: */*\r\n"
                        "User-Agent:Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n\r\n");
    EXPECT_EQ(m_service.Requests(), heads);

    m_task.m_bSilent = true;  // posts nothing more
    EXPECT_EQ(RunWorker("ok-3000"), 1);
    EXPECT_TRUE(m_reports.empty());
}

TEST_F(DownloadWorkerTest, OutcomesAndWhatBecomesOfAnEarlierFile)
{
    m_task.m_csUrl = "https://" + m_service.Host() + "/watch?v=abc";  // not a watch page
    EXPECT_EQ(DownloadWorker(m_task, m_context).Run(), 0);
    EXPECT_EQ(Statuses(), std::vector<std::int64_t>{STATUS_DOWNLOAD_FAILED});

    // Only a transfer replaces (and truncates) an earlier download: never a failed
    // resolution, nor a response that is not the video. Whatever comes beyond the
    // announced size is not the video either. With an idle limit of a second, only a
    // stall is cut off.
    m_context.limits.idleTimeout = 1s;
    const std::string earlier(1000, 'e');
    const std::tuple<const char*, int, std::string> cases[] = {
        {"r2s300-500", 1, VideoService::Body(500)},
        {"r1s200", 0, earlier},
        {"r2s307", 0, earlier},
        {"r2last", 0, earlier},
        {"notoken", 0, earlier},
        {"cdnnoorigin", 0, earlier},
        {"fileredirect", 0, earlier},
        {"r3s404", 0, earlier},
        {"nolength-500", 0, earlier},
        {"ok-0", 0, earlier},
        {"short-20000", 0, VideoService::Body(10000)},
        {"more-10000", 1, VideoService::Body(10000)},
        {"slow-100000", 1, VideoService::Body(100000)},  // about 1.2 s in small pieces
        {"stallbody-100000", 0, VideoService::Body(50000)},
    };
    for (const auto& [id, result, file] : cases) {
        SCOPED_TRACE(id);
        WriteText(m_task.m_csFilePath, earlier);
        const auto start = Clock::now();
        EXPECT_EQ(RunWorker(id), result);
        EXPECT_LT(Clock::now() - start, 5s);
        EXPECT_EQ(FileText(), file);
        // One end status; a response that is not the video never shows as downloading.
        const std::vector<std::int64_t> statuses = Statuses();
        EXPECT_EQ(statuses.back(), result ? STATUS_DOWNLOAD_COMPLETED : STATUS_DOWNLOAD_FAILED);
        EXPECT_EQ(std::ranges::count(statuses, STATUS_DOWNLOAD_FAILED), 1 - result);
        EXPECT_EQ(std::ranges::count(statuses, STATUS_DOWNLOADING), file != earlier);
        EXPECT_EQ(m_task.IsIdle(), result == 0);
    }

    // A stop that came just before the transfer leaves the earlier file alone.
    WriteText(m_task.m_csFilePath, earlier);
    m_stopOn = REPORT_SIZE;
    EXPECT_EQ(RunWorker("ok-10000"), 0);
    EXPECT_EQ(Statuses().back(), STATUS_STOPPED);
    EXPECT_EQ(FileText(), earlier);
    m_stopOn = 0;

    // A file that cannot be created fails the task once the user has seen the message;
    // so does one that cannot be written.
    m_task.m_csFilePath = m_service.Folder() + "/missing/video.flv";
    EXPECT_EQ(RunWorker("ok-1000"), 0);
    EXPECT_EQ(m_shown, std::vector<std::string>{"Can not create the file \"" + m_task.m_csFilePath +
                                                "\", file may be used by another thread. | 2"});
    EXPECT_EQ(Statuses().back(), STATUS_DOWNLOAD_FAILED);
    m_task.m_csFilePath = "/dev/full";
    EXPECT_EQ(RunWorker("ok-20000"), 0);
    EXPECT_EQ(Statuses().back(), STATUS_DOWNLOAD_FAILED);
}

TEST_F(DownloadWorkerTest, OnlyIdleTasksStartAndAStopEndsAStallWithinASecond)
{
    // Stalled before the first answer, then in the middle of the body.
    const std::tuple<const char*, std::int32_t, std::int64_t> cases[] = {
        {"r1stall", REPORT_STATUS, STATUS_PARSING_URL},
        {"stallbody-100000", REPORT_PROGRESS, 4000},
    };
    for (const auto& [id, code, least] : cases) {
        ASSERT_TRUE(RunWorker(id, true)) << id;
        // Busy at once, before the worker's first report.
        EXPECT_FALSE(m_task.IsIdle());
        EXPECT_FALSE(StartDownload(m_task, m_context));
        ASSERT_TRUE(WaitFor(code, least, 10s)) << id;
        std::this_thread::sleep_for(300ms);
        const auto stopAt = Clock::now();
        StopDownload(m_task);
        ASSERT_TRUE(WaitFor(REPORT_STATUS, STATUS_DOWNLOAD_COMPLETED, 3s)) << id;
        EXPECT_LT(Clock::now() - stopAt, 1s) << id;
        EXPECT_EQ(Statuses().back(), STATUS_STOPPED) << id;
        JoinDownload(m_task);
        EXPECT_EQ(FileText(), VideoService::Body(code == REPORT_PROGRESS ? 50000 : 0)) << id;
    }

    // A downloaded task does not start again; a failed one does, unfinished at once.
    ASSERT_EQ(RunWorker("ok-500"), 1);
    EXPECT_FALSE(StartDownload(m_task, m_context));
    m_task.m_nStatus = STATUS_DOWNLOAD_FAILED;
    ASSERT_TRUE(RunWorker("r1stall", true));
    EXPECT_FALSE(m_task.IsFinished());
}

TEST_F(DownloadWorkerTest, DisposeTaskDeletesTheFilesOnlyWhenAskedAfterTheWorkerEnds)
{
    const std::string target = m_task.m_csFilePath + ".mp4";
    for (const bool deleteFiles : {true, false}) {
        auto task = std::make_unique<CTask>();
        task->m_csFilePath = m_task.m_csFilePath;
        task->m_job.m_csTargetFile = target;
        task->m_csUrl = m_service.WatchUrl("stallbody-100000");
        WriteText(target, "");
        m_reports.clear();
        ASSERT_TRUE(StartDownload(*task, m_context));
        ASSERT_TRUE(WaitFor(REPORT_PROGRESS, 1, 10s));
        task->m_bDeleteFiles = deleteFiles;
        StopDownload(*task);
        DisposeTask(std::move(task));  // returns only once the worker has ended
        EXPECT_EQ(Statuses().back(), STATUS_STOPPED);
        EXPECT_EQ(std::filesystem::exists(m_task.m_csFilePath), !deleteFiles);
        EXPECT_EQ(std::filesystem::exists(target), !deleteFiles);
    }
}

}  // namespace
