#pragma once
// The download worker: resolves a task's watch-page address to the video file by
// three requests to the service (a direct video address needs none), then copies the
// body into the task's file in chunks, reporting every step through a MessagePoster.
// A partial file of the same version is continued, and a failure that may pass is
// tried again after a wait.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "fetch/ReportPacer.h"
#include "fetch/RetryRules.h"
#include "fetch/ServiceConfig.h"
#include "platform/HttpSession.h"

class CTask;
class FileErrorPrompt;
class MessagePoster;

// What a worker needs besides its task. Both pointers must outlive the worker.
struct DownloadContext {
    MessagePoster* poster = nullptr;
    FileErrorPrompt* filePrompt = nullptr;  // none: the failure is only reported
    // What the two belong to, held by every worker until it ends: a worker let go at exit
    // may outlive whoever started it.
    std::shared_ptr<const void> keepAlive;
    ServiceConfig service = ServiceConfig::Current();
    platform::HttpLimits limits;
    RetryPolicy retry;
    // A partial file whose size nobody knows is continued too, the size taken from the
    // answer; otherwise only a task's known size lets a file continue.
    bool continueUnknownSize = false;
    // Progress and elapsed time go out at most this often each (see ReportPacer): a
    // window shows no more, and every report costs the mailbox and its reader.
    std::chrono::milliseconds reportInterval{50};
    // The worker's thread runs below the window's (platform::LowerThreadPriority).
    bool belowWindow = false;
};

inline constexpr std::size_t kDownloadChunkSize = 8192;
// Chunks are gathered up to this much before they are written.
inline constexpr std::size_t kWriteBlockSize = 8 * kDownloadChunkSize;

class DownloadWorker {
public:
    DownloadWorker(CTask& task, const DownloadContext& context);
    ~DownloadWorker();
    DownloadWorker(const DownloadWorker&) = delete;
    DownloadWorker& operator=(const DownloadWorker&) = delete;

    // Runs the whole download on the calling thread. 1 when the file holds the
    // complete body, 0 when the task failed or was stopped.
    int Run();

private:
    // How a step ended: Done lets the next one run.
    enum class Outcome { Done, Stopped, Failed };

    Outcome Attempt();
    Outcome Resolve(std::string& address);
    Outcome OpenRedirect(const std::string& url, int request, std::string& location);
    Outcome FetchVideo(const std::string& address, int request);
    Outcome Transfer(std::int64_t size, std::int64_t offset, int request);
    Outcome OpenOutput(std::int64_t offset);
    int End(Outcome outcome, int retries);

    // Sets the failure and answers Failed.
    Outcome Fail(std::string reason, bool transient = false);
    // The session's last error on `request`; Stopped when the stop check ended it.
    Outcome FailRequest(int request);
    // An error answer to `request`, or one that is not what it wants: `expected` tells
    // what was wanted.
    Outcome FailAnswer(int request, std::string_view expected = {});
    Outcome FailFile(int error);

    // False when a stop came during the wait.
    bool WaitBeforeRetry(int retry, int maxRetries);
    bool StopRequested();
    bool StopWithin(std::chrono::milliseconds wait);
    void ReportStatus(std::int32_t status);
    void Post(std::int32_t code, std::int64_t value);
    void CloseFile();

    struct Failure {
        std::string reason;
        bool transient = false;
        std::optional<std::chrono::seconds> retryAfter;
    };

    CTask& m_task;
    DownloadContext m_context;
    bool m_direct = false;  // the address is the video file's own
    std::string m_videoId;  // as it travels in addresses
    std::unique_ptr<platform::HttpSession> m_session;
    int m_fd = -1;
    std::vector<char> m_block;  // chunks not yet written
    bool m_stopSeen = false;    // the stop event is consumed once; the request stays
    Failure m_failure;
    std::minstd_rand m_random;
    ReportPacer m_pacer;
};
