#include "fetch/DownloadWorker.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

#include "fetch/FailureTexts.h"
#include "fetch/FileErrorPrompt.h"
#include "fetch/ResolutionRules.h"
#include "fetch/ResumeRules.h"
#include "fetch/SpeedMeter.h"
#include "fetch/VideoAddress.h"
#include "fetch/WatchUrl.h"
#include "platform/Text.h"
#include "tasks/MessagePoster.h"
#include "tasks/Task.h"
#include "tasks/TaskReport.h"

namespace {

using namespace std::chrono_literals;

// Said of every answer that does not fit the chain: the service may have changed.
constexpr const char* kNoLongerAnswers = "; the service no longer answers these requests";

bool IsTransientError(platform::HttpError error)
{
    using platform::HttpError;
    return error == HttpError::Resolve || error == HttpError::Connect || error == HttpError::Timeout ||
           error == HttpError::Reset;
}

// The length of the regular file at `path`; -1 when there is none.
std::int64_t PartialLength(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return -1;
    return info.st_size;
}

}  // namespace

DownloadWorker::DownloadWorker(CTask& task, const DownloadContext& context)
    : m_task(task),
      m_context(context),
      m_random(std::random_device{}()),
      m_pacer(context.reportInterval, [this](std::int32_t code, std::int64_t value) {
          PostTaskReport(m_context.poster, m_task.m_bSilent, m_task.m_nTaskId, code, value);
      })
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

bool DownloadWorker::StopWithin(std::chrono::milliseconds wait)
{
    if (!m_stopSeen && m_task.m_evStop.Wait(wait))
        m_stopSeen = true;
    return m_stopSeen;
}

void DownloadWorker::Post(std::int32_t code, std::int64_t value)
{
    m_pacer.Offer(code, value);
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

DownloadWorker::Outcome DownloadWorker::Fail(std::string reason, bool transient)
{
    m_failure = Failure{std::move(reason), transient, std::nullopt};
    return Outcome::Failed;
}

DownloadWorker::Outcome DownloadWorker::FailRequest(int request)
{
    const platform::HttpError error = m_session->LastError();
    if (error == platform::HttpError::Aborted)
        return Outcome::Stopped;
    return Fail(RequestFailureText(request, NetworkFailureText(error, m_session->LastSystemError(),
                                                               m_session->LastErrorText())),
                IsTransientError(error));
}

DownloadWorker::Outcome DownloadWorker::FailAnswer(int request, std::string_view expected)
{
    const int code = m_session->StatusCode();
    const std::string answer = AnswerText(m_session->RawHeaders(), code);
    if (code < 400 && !expected.empty())
        return Fail(RequestFailureText(
            request, answer + " " + std::string(expected) + (m_direct ? "" : kNoLongerAnswers)));
    Fail(RequestFailureText(request, answer), IsTransientStatus(code));
    if (const auto retryAfter = m_session->Header("Retry-After"))
        m_failure.retryAfter = ParseRetryAfter(*retryAfter, std::time(nullptr));
    return Outcome::Failed;
}

DownloadWorker::Outcome DownloadWorker::FailFile(int error)
{
    return Fail("cannot write \"" + m_task.m_csFilePath + "\": " + FileFailureText(error));
}

int DownloadWorker::Run()
{
    m_direct = IsDirectVideoAddress(m_task.m_csUrl);
    std::string id;
    if (!m_direct && !ParseWatchUrl(m_task.m_csUrl, id, m_context.service.serviceHost)) {
        Fail("not a watch-page address of " + m_context.service.serviceHost + " nor a video file address");
        return End(Outcome::Failed, 0);
    }
    m_videoId = EncodeAddressBytes(id);
    const int maxRetries = std::clamp(m_context.retry.maxRetries, 0, kMostRetries);
    for (int retry = 0;; ++retry) {
        Outcome outcome = Attempt();
        m_session.reset();
        CloseFile();
        if (outcome != Outcome::Failed || !m_failure.transient || retry >= maxRetries)
            return End(outcome, retry);
        // Shown while waiting; the next attempt's first status drops it.
        PostTaskDetail(m_context.poster, m_task.m_bSilent, m_task.m_nTaskId, m_failure.reason);
        if (!WaitBeforeRetry(retry + 1, maxRetries))
            return End(Outcome::Stopped, retry);
    }
}

int DownloadWorker::End(Outcome outcome, int retries)
{
    switch (outcome) {
    case Outcome::Done:
        m_task.Lock();
        m_task.m_nStatus = STATUS_DOWNLOAD_COMPLETED;
        m_task.m_bFinished = true;
        m_task.Unlock();
        Post(REPORT_STATUS, STATUS_DOWNLOAD_COMPLETED);
        return 1;
    case Outcome::Stopped:
        ReportStatus(STATUS_STOPPED);  // the partial file stays
        return 0;
    case Outcome::Failed:
        break;
    }
    std::string reason = m_failure.reason;
    if (retries > 0)
        reason += ", after " + std::to_string(retries) + (retries == 1 ? " retry" : " retries");
    PostTaskDetail(m_context.poster, m_task.m_bSilent, m_task.m_nTaskId, std::move(reason));
    ReportStatus(STATUS_DOWNLOAD_FAILED);
    return 0;
}

bool DownloadWorker::WaitBeforeRetry(int retry, int maxRetries)
{
    using std::chrono::milliseconds;
    const milliseconds wait = RetryWait(m_context.retry, retry, m_failure.retryAfter,
                                        std::uniform_real_distribution<double>(0.0, 1.0)(m_random));
    // A countdown in whole seconds, each step until the shown number changes.
    milliseconds left = wait;
    do {
        const std::int64_t shown = (left.count() + 999) / 1000;
        Post(REPORT_RETRY, PackRetry(shown, retry, maxRetries));
        const milliseconds step = left - milliseconds(std::max<std::int64_t>(shown - 1, 0) * 1000);
        const auto real = std::chrono::duration_cast<milliseconds>(step * m_context.retry.waitScale);
        if (StopWithin(real))
            return false;
        left -= step;
    } while (left.count() > 0);
    return true;
}

// One try: the resolution of a watch page, then the video. Every try starts afresh,
// with its own session.
DownloadWorker::Outcome DownloadWorker::Attempt()
{
    m_session = std::make_unique<platform::HttpSession>(
        [this] {
            m_pacer.PostDue();
            return StopRequested();
        },
        m_context.limits);
    if (m_direct) {
        ReportStatus(STATUS_PENDING);
        return FetchVideo(EncodeAddressBytes(m_task.m_csUrl, true), 1);
    }
    ReportStatus(STATUS_PARSING_URL);
    std::string address;
    const Outcome resolved = Resolve(address);
    if (resolved != Outcome::Done)
        return resolved;
    return FetchVideo(address, 3);
}

DownloadWorker::Outcome DownloadWorker::OpenRedirect(const std::string& url, int request,
                                                     std::string& location)
{
    if (!m_session->OpenRequest(url, platform::HttpSession::Redirects::Keep))
        return FailRequest(request);
    if (!IsServiceRedirect(m_session->StatusCode()))
        return FailAnswer(request, "where a 300 to 306 redirect was expected");
    std::optional<std::string> value = FindLocationValue(m_session->RawHeaders());
    if (!value)
        return FailAnswer(request, "without a usable \"Location:\" line");
    location = std::move(*value);
    return Outcome::Done;
}

// Done with the video's address in `address` and the session ready to open it.
DownloadWorker::Outcome DownloadWorker::Resolve(std::string& address)
{
    const std::string& host = m_context.service.serviceHost;
    std::string firstRedirect;
    if (const Outcome opened = OpenRedirect(BuildFirstRequestAddress(host, m_videoId), 1, firstRedirect);
        opened != Outcome::Done)
        return opened;
    const std::optional<std::string> tail = FindTokenTail(firstRedirect);
    if (!tail)
        return Fail(
            RequestFailureText(1, std::string("the redirect carries no token (&t=)") + kNoLongerAnswers));
    m_session->CloseRequest();
    ReportStatus(STATUS_PARSING_URL);

    const std::string secondAddress = BuildSecondRequestAddress(host, m_videoId, *tail);
    std::string secondRedirect;
    if (const Outcome opened = OpenRedirect(secondAddress, 2, secondRedirect); opened != Outcome::Done)
        return opened;
    std::optional<std::string> videoAddress =
        BuildVideoRequestAddress(secondRedirect, secondAddress, m_videoId, m_context.service.cdnDomain);
    if (!videoAddress)
        return Fail(RequestFailureText(
            2, std::string("the video address names no origin (&origin=)") + kNoLongerAnswers));
    m_session->CloseRequest();
    ReportStatus(STATUS_PENDING);
    address = std::move(*videoAddress);
    return Outcome::Done;
}

// Asks for the rest of a partial file when it may continue; any answer but the rest of
// the same version brings the whole body instead.
DownloadWorker::Outcome DownloadWorker::FetchVideo(const std::string& address, int request)
{
    using Redirects = platform::HttpSession::Redirects;
    m_task.Lock();
    const std::int64_t knownSize = m_task.m_nFileSize;
    m_task.Unlock();
    const std::optional<std::int64_t> from =
        ResumeOffset(PartialLength(m_task.m_csFilePath), knownSize, m_context.continueUnknownSize);
    if (!m_session->OpenRequest(address, Redirects::Follow, from))
        return FailRequest(request);
    if (from) {
        const int code = m_session->StatusCode();
        const std::optional<std::string> range = m_session->Header("Content-Range");
        if (const auto total = ContinuedSize(code, range, *from, knownSize))
            return Transfer(*total, *from, request);
        // A part of something else, or a range the service will not give: the whole body.
        if ((code == 206 || code == 416) && !m_session->OpenRequest(address, Redirects::Follow))
            return FailRequest(request);
    }

    // The status is looked at only to refuse an error page as the video; the file is not
    // touched then.
    if (m_session->StatusCode() >= 400)
        return FailAnswer(request);
    const std::optional<std::string> length = m_session->ContentLength();
    if (!length)
        return FailAnswer(request, "without a Content-Length");
    const std::int64_t size = platform::ParseLeadingDecimal(*length);
    if (size <= 0)
        return FailAnswer(request, "with an empty body");
    return Transfer(size, 0, request);
}

// Opens, locks and cuts the output at `offset`. The lock is taken before anything is
// cut, so a file that another download or a conversion holds stays as it is.
DownloadWorker::Outcome DownloadWorker::OpenOutput(std::int64_t offset)
{
    const std::string& path = m_task.m_csFilePath;
    const auto refuse = [&](std::string reason) {
        CloseFile();
        m_session.reset();
        if (m_context.filePrompt)
            m_context.filePrompt->ShowFileError(CreateFileErrorText(path));
        return Fail(std::move(reason));
    };
    m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (m_fd < 0)
        return refuse("cannot create \"" + path + "\": " + SystemErrorText(errno));
    // Where locks are not kept (some network folders) the download goes on without one.
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
        return refuse("\"" + path + "\" is in use by another program");
    struct stat info {};
    if (::fstat(m_fd, &info) != 0)
        return FailFile(errno);
    if (!S_ISREG(info.st_mode))
        return Outcome::Done;  // a device such as /dev/null: nothing to cut or continue
    if (info.st_size < offset)
        return Fail("\"" + path + "\" was cut short by another program", true);
    if (::ftruncate(m_fd, offset) != 0 || ::lseek(m_fd, offset, SEEK_SET) != offset)
        return FailFile(errno);
    return Outcome::Done;
}

DownloadWorker::Outcome DownloadWorker::Transfer(std::int64_t size, std::int64_t offset, int request)
{
    m_task.Lock();
    m_task.m_nFileSize = size;
    m_task.Unlock();
    Post(REPORT_SIZE, size);
    ReportStatus(STATUS_DOWNLOADING);

    // A stop that came during the resolution must not cut an earlier download.
    if (StopRequested())
        return Outcome::Stopped;
    if (const Outcome opened = OpenOutput(offset); opened != Outcome::Done)
        return opened;

    const auto start = std::chrono::steady_clock::now();
    m_task.m_nElapsed = 0;
    Post(REPORT_ELAPSED, 0);
    SpeedMeter speed(start);

    // Chunks are read and reported one by one, but written in blocks: a system call
    // for every chunk would cost more than the whole rest of the copy.
    m_block.resize(kWriteBlockSize);
    std::size_t held = 0;
    const auto flush = [&] {
        const bool written = platform::WriteAll(m_fd, m_block.data(), held);
        held = 0;
        return written;
    };
    Outcome outcome = Outcome::Done;
    std::int64_t remaining = size - offset;
    for (;;) {
        const std::int64_t progress = ProgressHundredths(size - remaining, size);
        m_task.m_fProgress = static_cast<float>(progress);
        Post(REPORT_PROGRESS, progress);
        if (StopRequested()) {
            outcome = Outcome::Stopped;
            break;
        }
        // Whatever the server sends beyond the announced size is not the video.
        if (remaining == 0)
            break;

        const std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(
            remaining, static_cast<std::int64_t>(std::min(kDownloadChunkSize, m_block.size() - held))));
        const std::optional<std::size_t> got = m_session->Read(m_block.data() + held, want);
        if (!got) {
            outcome = FailRequest(request);
            break;
        }
        if (*got == 0) {
            if (m_session->IsDataAvailable())
                continue;
            // Ended cleanly but short: never a complete download, and the rest may come.
            outcome =
                Fail(RequestFailureText(request, "the body ended after " + std::to_string(size - remaining) +
                                                     " of " + std::to_string(size) + " bytes"),
                     true);
            break;
        }
        held += *got;
        remaining -= static_cast<std::int64_t>(*got);
        if (held == m_block.size() && !flush())
            return FailFile(errno);
        const auto now = std::chrono::steady_clock::now();
        const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - start).count();
        m_task.m_nElapsed = elapsed;
        Post(REPORT_ELAPSED, elapsed);
        if (const auto bytesPerSecond = speed.Update(now, size - offset - remaining))
            Post(REPORT_SPEED, *bytesPerSecond);
    }
    // What came is kept however the transfer ended: a continued download starts after it.
    if (held > 0 && !flush())
        return outcome == Outcome::Stopped ? outcome : FailFile(errno);
    if (outcome != Outcome::Done)
        return outcome;
    if (const auto bytesPerSecond = speed.Last(std::chrono::steady_clock::now(), size - offset))
        Post(REPORT_SPEED, *bytesPerSecond);

    // Complete means the announced size on disk, whatever else touched the file.
    struct stat info {};
    if (::fstat(m_fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size != size)
        return Fail("\"" + m_task.m_csFilePath + "\" holds " + std::to_string(info.st_size) + " bytes, not " +
                    std::to_string(size));
    // A failed close can be the first word of a full disk.
    const int closed = ::close(m_fd);
    m_fd = -1;
    if (closed != 0)
        return FailFile(errno);
    return Outcome::Done;
}
