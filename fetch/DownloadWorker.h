#pragma once
// The download worker: resolves a task's watch-page address to the video file by
// three requests to the service, then copies the body into the task's file in
// chunks, reporting every step through a MessagePoster.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "fetch/ServiceConfig.h"
#include "platform/HttpSession.h"

class CTask;
class FileErrorPrompt;
class MessagePoster;

// What a worker needs besides its task. Both pointers must outlive the worker.
struct DownloadContext {
    MessagePoster* m_pPoster = nullptr;
    FileErrorPrompt* m_pFilePrompt = nullptr;  // none: the failure is only reported
    ServiceConfig m_service = ServiceConfig::Current();
    platform::HttpLimits m_limits;
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
    std::string m_csVideoId;
    std::unique_ptr<platform::HttpSession> m_pSession;
    int m_nFile = -1;
    bool m_bStopSeen = false;  // the stop event is consumed once; the request stays
};

// The decisions of the resolution, as pure functions.

// The text of the first "Location:" header (that exact spelling), trimmed; nothing
// when the header is missing or its value is not followed by a line feed.
std::optional<std::string> FindLocationValue(std::string_view rawHeaders);
// Statuses 300 to 306 are the redirects the service answers with.
bool IsServiceRedirect(int statusCode);
// From the first "&t=" (not at position 0) to the end of the address.
std::optional<std::string> FindTokenTail(std::string_view firstRedirect);
std::string BuildFirstRequestAddress(std::string_view serviceHost, std::string_view videoId);
std::string BuildSecondRequestAddress(std::string_view serviceHost, std::string_view videoId,
                                      std::string_view tokenTail);
// The address of the video request: on the CDN the origin named by "&origin=",
// elsewhere the second request's address again. Nothing when a CDN address has
// no usable "&origin=".
std::optional<std::string> BuildVideoRequestAddress(std::string_view secondRedirect,
                                                    std::string_view secondRequestAddress,
                                                    std::string_view videoId, std::string_view cdnDomain);
// The leading decimal number of a header value: blanks, an optional sign, digits;
// 0 without digits, saturated at the 64-bit limits.
std::int64_t ParseLeadingDecimal(std::string_view text);
// Hundredths of a percent, truncated toward zero.
std::int64_t ProgressHundredths(std::int64_t downloaded, std::int64_t size);
std::string CreateFileErrorText(std::string_view path);
