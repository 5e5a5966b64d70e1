#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>

#include "fetch/DownloadWorker.h"
#include "fetch/FileErrorPrompt.h"
#include "fetch/TaskOperations.h"
#include "support/Eventually.h"
#include "support/Files.h"
#include "support/VideoService.h"
#include "tasks/MessagePoster.h"
#include "tasks/Task.h"
#include "tasks/TaskReport.h"

namespace {

using namespace std::chrono_literals;

// The header lines every request ends with.
const std::string kFixedLines =
    "\r\nAccept: */*\r\nUser-Agent:Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n";

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
    void PostTaskDetail(std::int32_t, std::string text) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_details.push_back(std::move(text));
    }
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
        return Eventually([&] { return !Values(code).empty() && Values(code).back() >= least; }, limit);
    }

    // Runs a worker on this thread, or starts one on its own, for a watch page, a direct
    // address on the service (a path) or any address.
    int RunWorker(const std::string& videoId, bool onItsThread = false)
    {
        m_reports.clear();
        m_details.clear();
        m_task.m_csUrl = videoId.starts_with("http") ? videoId
                         : videoId.starts_with('/')  ? "http://" + m_service.Host() + videoId
                                                     : m_service.WatchUrl(videoId);
        if (onItsThread)
            return StartDownload(m_task, m_context);
        return DownloadWorker(m_task, m_context).Run();
    }
    std::string FileText() { return ReadText(m_task.m_csFilePath); }
    // The last reason given, "" for none.
    std::string Reason()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_details.empty() ? "" : m_details.back();
    }
    // The Range line of every request for a video file ("-" for none) since `first`.
    std::string VideoRanges(std::size_t first = 0)
    {
        std::string ranges;
        const std::vector<std::string> heads = m_service.Requests();
        for (std::size_t i = first; i < heads.size(); ++i) {
            if (!heads[i].starts_with("GET /file/") && !heads[i].starts_with("GET /media/"))
                continue;
            const auto at = heads[i].find("Range: bytes=");
            ranges +=
                (ranges.empty() ? "" : ",") +
                (at == std::string::npos ? "-" : heads[i].substr(at + 13, heads[i].find('\r', at) - at - 13));
        }
        return ranges;
    }

    VideoService m_service;
    DownloadContext m_context;
    CTask m_task;
    std::mutex m_mutex;
    std::vector<TaskReport> m_reports;
    std::vector<std::string> m_details;
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
    // A blank, '#', a stray '%' and non-ASCII bytes of the identifier reach the service the
    // same way in each request.
    // However slow the machine, only the first and the last progress go out.
    m_context.reportInterval = std::chrono::hours(1);
    const int result = RunWorker("ok-700 a#b%zz%41\xc3\xa9");
    for (const char* name : proxyVariables)
        ::unsetenv(name);
    ASSERT_EQ(result, 1);

    // Task 7's reports as code=value (1 size, 2 status, 3 elapsed, 6 progress, 7 speed);
    // times and speeds vary, and an elapsed time that did not change is not told again.
    // Progress is paced: the first value, then the last one (not 8192), before the
    // status. The last speed is told however soon the body ended.
    std::string reports;
    for (const TaskReport& r : m_reports)
        if (r.code != REPORT_ELAPSED || r.value == 0)
            reports += std::to_string(r.taskId) + ":" + std::to_string(r.code) + "=" +
                       (r.code == REPORT_SPEED ? "t" : std::to_string(r.value)) + " ";
    EXPECT_EQ(reports, "7:2=0 7:2=0 7:2=1 7:1=10000 7:2=2 7:3=0 7:6=0 7:6=10000 7:7=t 7:2=3 ");
    EXPECT_EQ(FileText(), VideoService::Body(10000));
    EXPECT_TRUE(m_task.IsFinished());
    EXPECT_EQ(m_task.m_nFileSize, 10000);
    EXPECT_EQ(m_task.m_fProgress.load(), 10000.0f);

    // Not on the CDN: the second address once more, its redirect followed. Every
    // request carries exactly the fixed header lines.
    const std::string id = "ok-700%20a%23b%25zz%41%C3%A9", second = "/get_video?video_id=" + id + "&t=TOK28";
    std::vector<std::string> heads;
    for (const std::string& target : {"/v/" + id + "&feature=dir", second, second, "/file/" + id})
        heads.push_back("GET " + target + " HTTP/1.1\r\nHost: " + m_service.Host() + kFixedLines + "\r\n");
    EXPECT_EQ(m_service.Requests(), heads);

    // Whole chunks: the pass after the last one completes.
    m_task.m_nFileSize = 0;
    m_context.reportInterval = std::chrono::milliseconds(0);
    EXPECT_EQ(RunWorker("ok-16384"), 1);
    EXPECT_EQ(Values(REPORT_PROGRESS), (std::vector<std::int64_t>{0, 5000, 10000}));
    EXPECT_EQ(FileText(), VideoService::Body(16384));

    m_task.m_bSilent = true;  // posts nothing more
    EXPECT_EQ(RunWorker("ok-3000"), 1);
    EXPECT_TRUE(m_reports.empty());
}

TEST_F(DownloadWorkerTest, OutcomesAndWhatBecomesOfAnEarlierFile)
{
    m_task.m_csUrl = "https://" + m_service.Host() + "/watch?v=abc";  // not a watch page
    EXPECT_EQ(DownloadWorker(m_task, m_context).Run(), 0);
    EXPECT_EQ(Statuses(), std::vector<std::int64_t>{STATUS_DOWNLOAD_FAILED});
    EXPECT_TRUE(Reason().starts_with("not a watch-page address of ")) << Reason();

    // Only a transfer replaces (and truncates) an earlier download: never a failed
    // resolution, nor a response that is not the video. Whatever comes beyond the
    // announced size is not the video either. With an idle limit of a second, only a
    // stall is cut off.
    m_context.limits.idleTimeout = 1s;
    const std::string earlier(1000, 'e');
    const std::string no = "; the service no longer answers these requests";
    const std::tuple<const char*, int, std::string, std::string> cases[] = {
        {"r2s300-500", 1, VideoService::Body(500), ""},
        {"r1s200", 0, earlier, "request 1: 200 OK where a 300 to 306 redirect was expected" + no},
        {"r2last", 0, earlier, "request 2: 303 See Other without a usable \"Location:\" line" + no},
        {"notoken", 0, earlier, "request 1: the redirect carries no token (&t=)" + no},
        {"cdnnoorigin", 0, earlier, "request 2: the video address names no origin (&origin=)" + no},
        {"fileredirect", 0, earlier, "request 3: a redirect to an address that is not http or https"},
        {"r3s404", 0, earlier, "request 3: 404 Not Found"},
        {"nolength-500", 0, earlier, "request 3: 200 OK without a Content-Length" + no},
        {"ok-0", 0, earlier, "request 3: 200 OK with an empty body" + no},
        {"short-20000", 0, VideoService::Body(10000), "request 3: connection lost"},
        // A chunked body that ends cleanly is still short of the announced size.
        {"chunkedshort-20000", 0, VideoService::Body(10000),
         "request 3: the body ended after 10000 of 20000 bytes"},
        {"more-10000", 1, VideoService::Body(10000), ""},
        {"slow-100000", 1, VideoService::Body(100000), ""},  // about 1.2 s in small pieces
        {"stallbody-100000", 0, VideoService::Body(50000), "request 3: timed out"},
    };
    for (const auto& [id, result, file, reason] : cases) {
        SCOPED_TRACE(id);
        WriteText(m_task.m_csFilePath, earlier);
        m_task.m_nFileSize = 0;  // a new task: nothing to continue
        EXPECT_EQ(RunWorker(id), result);
        EXPECT_EQ(FileText(), file);
        EXPECT_EQ(Reason(), reason);
        // One end status; a response that is not the video never shows as downloading.
        const std::vector<std::int64_t> statuses = Statuses();
        EXPECT_EQ(statuses.back(), result ? STATUS_DOWNLOAD_COMPLETED : STATUS_DOWNLOAD_FAILED);
        EXPECT_EQ(std::ranges::count(statuses, STATUS_DOWNLOAD_FAILED), 1 - result);
        EXPECT_EQ(std::ranges::count(statuses, STATUS_DOWNLOADING), file != earlier);
        EXPECT_EQ(m_task.IsIdle(), result == 0);
    }

    // A stop that came just before the transfer leaves the earlier file alone.
    WriteText(m_task.m_csFilePath, earlier);
    m_task.m_nFileSize = 0;
    m_stopOn = REPORT_SIZE;
    EXPECT_EQ(RunWorker("ok-10000"), 0);
    EXPECT_EQ(Statuses().back(), STATUS_STOPPED);
    EXPECT_EQ(FileText(), earlier);
    m_stopOn = 0;

    // A file that a conversion holds fails the task once the user has seen the message, and
    // nothing of it is cut. (A file that cannot be created or written: through tavolin-fetch.)
    const int reader = ::open(m_task.m_csFilePath.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(reader, LOCK_SH), 0);
    m_task.m_nFileSize = 0;
    EXPECT_EQ(RunWorker("ok-1000"), 0);
    ::close(reader);
    EXPECT_EQ(FileText(), earlier);
    EXPECT_EQ(Reason(), "\"" + m_task.m_csFilePath + "\" is in use by another program");
    EXPECT_EQ(m_shown, std::vector<std::string>{"Can not create the file \"" + m_task.m_csFilePath +
                                                "\", file may be used by another thread. | 2"});
    EXPECT_EQ(Statuses().back(), STATUS_DOWNLOAD_FAILED);
}

TEST_F(DownloadWorkerTest, OnlyIdleTasksStartAndAStopEndsAStall)
{
    // Stalled before the first answer (in the body: through tavolin-fetch).
    ASSERT_TRUE(RunWorker("r1stall", true));
    // Busy at once, before the worker's first report.
    EXPECT_FALSE(m_task.IsIdle());
    EXPECT_FALSE(StartDownload(m_task, m_context));
    ASSERT_TRUE(WaitFor(REPORT_STATUS, STATUS_PARSING_URL, 10s));
    std::this_thread::sleep_for(300ms);
    StopDownload(m_task);
    // Stopped, not timed out: the stop ended the stall, well within a third of the 10 s
    // idle limit that would otherwise have failed it.
    ASSERT_TRUE(WaitFor(REPORT_STATUS, STATUS_DOWNLOAD_COMPLETED, 3s));
    EXPECT_EQ(Statuses().back(), STATUS_STOPPED);
    JoinDownload(m_task);

    // A downloaded task does not start again; a failed one does, unfinished at once.
    m_task.m_nFileSize = 0;
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

TEST_F(DownloadWorkerTest, OnlyTheRestOfTheSameVersionContinuesAFileThatIsNeverMixed)
{
    const std::string begun = VideoService::Body(10000).substr(0, 4000);
    const std::string foreign(4000, 'e');  // shows through if a file were ever mixed
    // id, known size, partial file -> the video requests' Range lines, the file's size
    const std::tuple<const char*, std::int64_t, std::string, const char*, std::size_t> cases[] = {
        {"ok-10000", 10000, begun, "4000-", 10000},
        {"norange-10000", 10000, foreign, "4000-", 10000},     // 200: from the start
        {"badrange-10000", 10000, foreign, "4000-,-", 10000},  // 206 from 0: asked whole
        {"ok-20000", 10000, foreign, "4000-,-", 20000},        // another version
    };
    for (const auto& [id, known, partial, ranges, size] : cases) {
        SCOPED_TRACE(std::string(id) + " " + ranges);
        WriteText(m_task.m_csFilePath, partial);
        m_task.m_nFileSize = known;
        const std::size_t before = m_service.Requests().size();
        EXPECT_EQ(RunWorker(id), 1);
        EXPECT_EQ(VideoRanges(before), ranges);
        EXPECT_EQ(FileText(), VideoService::Body(size));
        EXPECT_EQ(Values(REPORT_SIZE), std::vector<std::int64_t>{static_cast<std::int64_t>(size)});
    }
    // The one more line of a continued request comes after the fixed ones.
    WriteText(m_task.m_csFilePath, begun);
    m_task.m_nFileSize = 10000;
    RunWorker("ok-10000");
    EXPECT_TRUE(m_service.Requests().back().ends_with(kFixedLines + "Range: bytes=4000-\r\n\r\n"));
}

TEST_F(DownloadWorkerTest, PassingFailuresAreTriedAgainAfterGrowingWaitsAndOthersFailAtOnce)
{
    m_context.retry.maxRetries = 5;
    m_context.retry.waitScale = 0.001;  // planned seconds pass as milliseconds
    m_context.limits.idleTimeout = 1s;
    // address, the retry countdowns, the last reason, the video requests' ranges ("N-":
    // from where the file ends); a countdown means the download completed.
    const std::tuple<const char*, const char*, const char*, const char*> cases[] = {
        {"s503x2-5000", "1 s (1/5) 2 s (2/5) 1 s (2/5) ", "request 3: 503 Service Unavailable", "-,-,-"},
        {"resetonce-100000", "1 s (1/5) ", "request 3: connection", "-,N-"},
        {"s503x9-5000", "", "request 3: 503 Service Unavailable, after 5 retries", "-,-,-,-,-,-"},
        {"http://127.0.0.1:1/closed.flv", "", "request 1: connection refused, after 5 retries", ""},
        {"r3s404", "", "request 3: 404 Not Found", "-"},
    };
    for (const auto& [address, countdowns, reason, ranges] : cases) {
        SCOPED_TRACE(address);
        m_task.m_nFileSize = 0;
        const std::size_t before = m_service.Requests().size();
        const bool completes = *countdowns != '\0';
        EXPECT_EQ(RunWorker(address), completes ? 1 : 0);
        std::string waits;
        for (const std::int64_t value : Values(REPORT_RETRY))
            waits += FormatRetryText(value).substr(12) + " ";
        if (completes) {
            EXPECT_EQ(waits, countdowns);
            EXPECT_EQ(FileText(), VideoService::Body(m_task.m_nFileSize));
        }
        EXPECT_TRUE(m_details.back().starts_with(reason)) << m_details.back();
        std::string made = VideoRanges(before);
        for (std::size_t at; (at = made.find_first_of("123456789")) != std::string::npos;)
            made.replace(at, made.find('-', at) - at, "N");
        EXPECT_EQ(made, ranges);
    }

    // None by default; a stop during a wait ends the task as stopped.
    m_context.retry = RetryPolicy{};
    EXPECT_EQ(RunWorker("s503x1-6000"), 0);
    EXPECT_EQ(Reason(), "request 3: 503 Service Unavailable");
    m_context.retry.maxRetries = 5;
    m_stopOn = REPORT_RETRY;
    EXPECT_EQ(RunWorker("s503x9-7000"), 0);
    EXPECT_EQ(Statuses().back(), STATUS_STOPPED);
}

TEST_F(DownloadWorkerTest, ADirectAddressTakesOneRequestWithItsBytesEscaped)
{
    EXPECT_EQ(RunWorker("/media/ok-1000%zz\xc3\xa9.flv#at"), 1);
    EXPECT_EQ(FileText(), VideoService::Body(10000));
    // Straight to the request: nothing to resolve.
    EXPECT_EQ(Statuses().front(), STATUS_PENDING);
    EXPECT_EQ(m_service.Requests(),
              std::vector<std::string>{"GET /media/ok-1000%25zz%C3%A9.flv HTTP/1.1\r\nHost: " +
                                       m_service.Host() + kFixedLines + "\r\n"});
}

}  // namespace
