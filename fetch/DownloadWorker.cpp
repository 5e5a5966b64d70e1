#include "fetch/DownloadWorker.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "fetch/FileErrorPrompt.h"
#include "fetch/ResolutionRules.h"
#include "fetch/WatchUrl.h"
#include "platform/Text.h"
#include "tasks/MessagePoster.h"
#include "tasks/Task.h"
#include "tasks/TaskReport.h"

DownloadWorker::DownloadWorker(CTask& task, const DownloadContext& context) : m_task(task), m_context(context)
{
}

DownloadWorker::~DownloadWorker()
{
    CloseFile();
}

bool DownloadWorker::StopRequested()
{
    if (!m_stopSeen && m_task.m_evStop.TryWait())
        m_stopSeen = true;
    return m_stopSeen;
}

void DownloadWorker::Post(std::int32_t code, std::int64_t value)
{
    PostTaskReport(m_context.poster, m_task.m_bSilent, m_task.m_nTaskId, code, value);
}

void DownloadWorker::ReportStatus(std::int32_t status)
{
    m_task.Lock();
    m_task.m_nStatus = status;
    m_task.Unlock();
    Post(REPORT_STATUS, status);
}

void DownloadWorker::CloseFile()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

int DownloadWorker::FailTask()
{
    CloseFile();
    m_session.reset();
    ReportStatus(STATUS_DOWNLOAD_FAILED);
    return 0;
}

int DownloadWorker::StopTask()
{
    CloseFile();  // the partial file stays
    m_session.reset();
    ReportStatus(STATUS_STOPPED);
    return 0;
}

int DownloadWorker::EndAfterHttpFailure()
{
    return m_session->LastError() == platform::HttpError::Aborted ? StopTask() : FailTask();
}

int DownloadWorker::Run()
{
    std::string address;
    if (Resolve(address) == 0)
        return 0;

    // The status of the video response is looked at only to refuse an error page as
    // the video; the file is not touched then.
    if (!m_session->OpenRequest(address, platform::HttpSession::Redirects::Follow))
        return EndAfterHttpFailure();
    if (m_session->StatusCode() >= 400)
        return FailTask();
    const std::optional<std::string> length = m_session->ContentLength();
    if (!length)
        return FailTask();
    const std::int64_t size = platform::ParseLeadingDecimal(*length);
    if (size <= 0)
        return FailTask();
    return Transfer(size);
}

bool DownloadWorker::OpenRedirect(const std::string& url, std::string& location)
{
    if (!m_session->OpenRequest(url, platform::HttpSession::Redirects::Keep))
        return false;
    if (!IsServiceRedirect(m_session->StatusCode()))
        return false;
    std::optional<std::string> value = FindLocationValue(m_session->RawHeaders());
    if (!value)
        return false;
    location = std::move(*value);
    return true;
}

// Returns 1 with the video's address in `address` and the session ready to open it;
// 0 once the task has been ended.
int DownloadWorker::Resolve(std::string& address)
{
    const std::string& host = m_context.service.serviceHost;
    if (!ParseWatchUrl(m_task.m_csUrl, m_videoId, host)) {
        ReportStatus(STATUS_DOWNLOAD_FAILED);
        return 0;
    }
    ReportStatus(STATUS_PARSING_URL);
    m_session = std::make_unique<platform::HttpSession>([this] { return StopRequested(); }, m_context.limits);

    std::string firstRedirect;
    if (!OpenRedirect(BuildFirstRequestAddress(host, m_videoId), firstRedirect))
        return EndAfterHttpFailure();
    const std::optional<std::string> tail = FindTokenTail(firstRedirect);
    if (!tail)
        return FailTask();
    m_session->CloseRequest();
    ReportStatus(STATUS_PARSING_URL);

    const std::string secondAddress = BuildSecondRequestAddress(host, m_videoId, *tail);
    std::string secondRedirect;
    if (!OpenRedirect(secondAddress, secondRedirect))
        return EndAfterHttpFailure();
    std::optional<std::string> videoAddress =
        BuildVideoRequestAddress(secondRedirect, secondAddress, m_videoId, m_context.service.cdnDomain);
    if (!videoAddress)
        return FailTask();
    m_session->CloseRequest();
    ReportStatus(STATUS_PENDING);
    address = std::move(*videoAddress);
    return 1;
}

int DownloadWorker::Transfer(std::int64_t size)
{
    m_task.Lock();
    m_task.m_nFileSize = size;
    m_task.Unlock();
    Post(REPORT_SIZE, size);
    ReportStatus(STATUS_DOWNLOADING);

    // A stop that came during the resolution must not truncate an earlier download.
    if (StopRequested())
        return StopTask();

    m_fd = ::open(m_task.m_csFilePath.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (m_fd < 0) {
        m_session.reset();
        if (m_context.filePrompt)
            m_context.filePrompt->ShowFileError(CreateFileErrorText(m_task.m_csFilePath));
        ReportStatus(STATUS_DOWNLOAD_FAILED);
        return 0;
    }

    const auto start = std::chrono::steady_clock::now();
    m_task.m_nElapsed = 0;
    Post(REPORT_ELAPSED, 0);

    char chunk[kDownloadChunkSize];
    std::int64_t remaining = size;
    for (;;) {
        const std::int64_t progress = ProgressHundredths(size - remaining, size);
        m_task.m_fProgress = static_cast<float>(progress);
        Post(REPORT_PROGRESS, progress);
        if (StopRequested())
            return StopTask();
        // Whatever the server sends beyond the announced size is not the video.
        if (remaining == 0)
            break;

        const auto want = static_cast<std::size_t>(
            std::min<std::int64_t>(remaining, static_cast<std::int64_t>(kDownloadChunkSize)));
        const std::optional<std::size_t> got = m_session->Read(chunk, want);
        if (!got)
            return EndAfterHttpFailure();
        if (*got == 0) {
            if (!m_session->IsDataAvailable())
                return FailTask();  // the body ended before the announced size
            continue;
        }
        if (!platform::WriteAll(m_fd, chunk, *got))
            return FailTask();
        remaining -= static_cast<std::int64_t>(*got);
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
                .count();
        m_task.m_nElapsed = elapsed;
        Post(REPORT_ELAPSED, elapsed);
    }

    // A failed close can be the first word of a full disk.
    const int closed = ::close(m_fd);
    m_fd = -1;
    if (closed != 0)
        return FailTask();
    m_session.reset();
    m_task.Lock();
    m_task.m_nStatus = STATUS_DOWNLOAD_COMPLETED;
    m_task.m_bFinished = true;
    m_task.Unlock();
    Post(REPORT_STATUS, STATUS_DOWNLOAD_COMPLETED);
    return 1;
}
