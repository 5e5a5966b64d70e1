#pragma once
// The download worker: resolves a task's watch-page address to the video file by
// three requests to the service, then copies the body into the task's file in
// chunks, reporting every step through a MessagePoster.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

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
};

inline constexpr std::size_t kDownloadChunkSize = 8192;

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
    int Resolve(std::string& address);
    int Transfer(std::int64_t size);
    bool OpenRedirect(const std::string& url, std::string& location);

    bool StopRequested();
    void ReportStatus(std::int32_t status);
    void Post(std::int32_t code, std::int64_t value);
    int FailTask();
    int StopTask();
    int EndAfterHttpFailure();
    void CloseFile();

    CTask& m_task;
    DownloadContext m_context;
    std::string m_videoId;
    std::unique_ptr<platform::HttpSession> m_session;
    int m_fd = -1;
    bool m_stopSeen = false;  // the stop event is consumed once; the request stays
};
