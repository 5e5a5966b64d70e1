#include "platform/HttpSession.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string_view>
#include <vector>

namespace platform {
namespace {

// The library reads the socket in pieces of this size; the session holds at most
// kPendingLimit received bytes before it pauses the transfer until they are read.
// Below 256 KiB a loopback transfer spends its time pausing and resuming, and falls a
// quarter behind a plain download of the same file.
constexpr long kReceiveBufferSize = 256 * 1024;
constexpr std::size_t kPendingLimit = 256 * 1024;
// The longest the session sleeps on the network before it asks the stop check again.
constexpr int kPollMilliseconds = 200;
constexpr long kMaxRedirects = 10;

void InitCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

HttpError ClassifyCurlError(CURLcode code)
{
    switch (code) {
    case CURLE_OK:
        return HttpError::None;
    case CURLE_ABORTED_BY_CALLBACK:
        return HttpError::Aborted;
    case CURLE_COULDNT_RESOLVE_HOST:
        return HttpError::Resolve;
    case CURLE_COULDNT_CONNECT:
        return HttpError::Connect;
    case CURLE_OPERATION_TIMEDOUT:
        return HttpError::Timeout;
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
        return HttpError::Reset;
    case CURLE_UNSUPPORTED_PROTOCOL:
        return HttpError::Scheme;
    case CURLE_TOO_MANY_REDIRECTS:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING:
    case CURLE_URL_MALFORMAT:
        return HttpError::Protocol;
    default:
        return HttpError::Other;
    }
}

}  // namespace

struct HttpSession::Impl {
    StopCheck stopCheck;
    HttpLimits limits;
    CURLM* multi = nullptr;
    curl_slist* headerLines = nullptr;
    curl_slist* rangeLines = nullptr;  // the fixed lines and a Range line, for one request

    CURL* easy = nullptr;
    bool follow = false;
    std::string rawHeaders;
    bool headersComplete = false;
    bool bodyStarted = false;
    bool paused = false;
    bool aborted = false;
    bool done = false;
    CURLcode result = CURLE_OK;
    std::vector<char> pending;
    std::size_t pendingStart = 0;

    HttpError error = HttpError::None;
    std::string errorText;
    int systemError = 0;
    char errorBuffer[CURL_ERROR_SIZE] = {};

    std::size_t Held() const { return pending.size() - pendingStart; }

    void Fail(HttpError kind, std::string text)
    {
        error = kind;
        errorText = std::move(text);
    }

    void FailFromResult()
    {
        std::string text = errorBuffer[0] != '\0' ? errorBuffer : curl_easy_strerror(result);
        long osError = 0;
        if (easy && curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &osError) == CURLE_OK)
            systemError = static_cast<int>(osError);
        Fail(ClassifyCurlError(result), std::move(text));
    }

    static std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* user)
    {
        auto& self = *static_cast<Impl*>(user);
        const std::size_t n = size * count;
        std::string_view line(data, n);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.remove_suffix(1);
        const bool statusLine = line.starts_with("HTTP/");
        if (statusLine) {
            // A new response (after a followed redirect or an interim 1xx): only the
            // final one's headers and body are the caller's.
            self.rawHeaders.clear();
            self.headersComplete = false;
            self.bodyStarted = false;
            self.pending.clear();
            self.pendingStart = 0;
        } else if (self.headersComplete) {
            return n;  // trailers of a chunked body are not part of the header block
        }
        self.rawHeaders.append(line).append("\r\n");
        if (line.empty())
            self.headersComplete = true;
        return n;
    }

    static std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user)
    {
        auto& self = *static_cast<Impl*>(user);
        const std::size_t n = size * count;
        self.bodyStarted = true;
        const std::size_t held = self.Held();
        if (held == 0) {
            self.pending.clear();
            self.pendingStart = 0;
        } else if (held + n > kPendingLimit) {
            // The library keeps this piece and hands it over again on unpause.
            self.paused = true;
            return CURL_WRITEFUNC_PAUSE;
        }
        self.pending.insert(self.pending.end(), data, data + n);
        return n;
    }

    // Runs the transfer until `ready` holds or the transfer has ended. False when
    // the stop check fired or the library failed outside the transfer.
    template <typename Ready>
    bool Drive(Ready ready)
    {
        for (;;) {
            if (ready() || done)
                return true;
            if (aborted || (stopCheck && stopCheck())) {
                aborted = true;
                Fail(HttpError::Aborted, "stopped");
                return false;
            }
            int running = 0;
            CURLMcode mc = curl_multi_perform(multi, &running);
            if (mc != CURLM_OK) {
                Fail(HttpError::Other, curl_multi_strerror(mc));
                return false;
            }
            int queued = 0;
            while (CURLMsg* msg = curl_multi_info_read(multi, &queued)) {
                if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy) {
                    done = true;
                    result = msg->data.result;
                }
            }
            if (ready() || done)
                return true;
            mc = curl_multi_poll(multi, nullptr, 0, kPollMilliseconds, nullptr);
            if (mc != CURLM_OK) {
                Fail(HttpError::Other, curl_multi_strerror(mc));
                return false;
            }
        }
    }

    long ResponseCode() const
    {
        long code = 0;
        if (easy)
            curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &code);
        return code;
    }

    bool FinalHeadersIn() const
    {
        if (!headersComplete)
            return false;
        const long code = ResponseCode();
        if (code < 200)
            return false;
        // A redirect that the library is about to follow has no body of its own; the
        // next response's status line resets the headers.
        if (follow && code >= 300 && code < 400)
            return bodyStarted;
        return true;
    }

    void Close()
    {
        if (!easy)
            return;
        curl_multi_remove_handle(multi, easy);
        curl_easy_cleanup(easy);
        easy = nullptr;
        curl_slist_free_all(rangeLines);
        rangeLines = nullptr;
        rawHeaders.clear();
        headersComplete = bodyStarted = paused = aborted = done = false;
        result = CURLE_OK;
        pending.clear();
        pendingStart = 0;
    }
};

HttpSession::HttpSession(StopCheck stopCheck, HttpLimits limits) : m_impl(std::make_unique<Impl>())
{
    InitCurlOnce();
    m_impl->stopCheck = std::move(stopCheck);
    m_impl->limits = limits;
    m_impl->multi = curl_multi_init();
    m_impl->headerLines = curl_slist_append(nullptr, kHttpAcceptHeader);
    m_impl->headerLines = curl_slist_append(m_impl->headerLines, kHttpUserAgentHeader);
    m_impl->pending.reserve(kPendingLimit + kReceiveBufferSize);
}

HttpSession::~HttpSession()
{
    m_impl->Close();
    if (m_impl->multi)
        curl_multi_cleanup(m_impl->multi);
    curl_slist_free_all(m_impl->headerLines);
}

bool HttpSession::OpenRequest(const std::string& url, Redirects redirects,
                              std::optional<std::int64_t> rangeFrom)
{
    Impl& s = *m_impl;
    s.Close();
    s.error = HttpError::None;
    s.errorText.clear();
    s.systemError = 0;
    s.errorBuffer[0] = '\0';
    if (!s.multi || !s.headerLines) {
        s.Fail(HttpError::Other, "out of memory");
        return false;
    }
    s.easy = curl_easy_init();
    if (!s.easy) {
        s.Fail(HttpError::Other, "out of memory");
        return false;
    }
    s.follow = redirects == Redirects::Follow;
    curl_slist* lines = s.headerLines;
    if (rangeFrom) {
        const std::string range = "Range: bytes=" + std::to_string(*rangeFrom) + "-";
        bool appended = true;
        const auto append = [&s, &appended](const char* line) {
            curl_slist* longer = appended ? curl_slist_append(s.rangeLines, line) : nullptr;
            appended = longer != nullptr;
            if (appended)
                s.rangeLines = longer;
        };
        for (const curl_slist* line = s.headerLines; line; line = line->next)
            append(line->data);
        append(range.c_str());
        if (!appended) {
            s.Fail(HttpError::Other, "out of memory");
            s.Close();
            return false;
        }
        lines = s.rangeLines;
    }

    CURL* e = s.easy;
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, lines);
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, s.follow ? 1L : 0L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, kMaxRedirects);
    // Direct, whatever the environment's proxy variables say.
    curl_easy_setopt(e, CURLOPT_PROXY, "");
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(s.limits.connectTimeout.count()));
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, static_cast<long>(s.limits.idleTimeout.count()));
    curl_easy_setopt(e, CURLOPT_BUFFERSIZE, kReceiveBufferSize);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, s.errorBuffer);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &Impl::OnHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &s);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &Impl::OnBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &s);

    if (curl_multi_add_handle(s.multi, e) != CURLM_OK) {
        s.Fail(HttpError::Other, "cannot start the request");
        s.Close();
        return false;
    }
    if (!s.Drive([&s] { return s.FinalHeadersIn(); }))
        return false;
    if (s.FinalHeadersIn())
        return true;
    // The transfer ended before a final response was complete.
    if (s.result != CURLE_OK) {
        s.FailFromResult();
        return false;
    }
    if (!s.headersComplete || s.ResponseCode() < 200) {
        s.Fail(HttpError::Protocol, "no response");
        return false;
    }
    return true;
}

int HttpSession::StatusCode() const
{
    return static_cast<int>(m_impl->ResponseCode());
}

const std::string& HttpSession::RawHeaders() const
{
    return m_impl->rawHeaders;
}

std::optional<std::string> HttpSession::ContentLength() const
{
    return Header("Content-Length");
}

std::optional<std::string> HttpSession::Header(const char* name) const
{
    curl_header* header = nullptr;
    if (!m_impl->easy || curl_easy_header(m_impl->easy, name, 0, CURLH_HEADER, -1, &header) != CURLHE_OK)
        return std::nullopt;
    return std::string(header->value);
}

std::optional<std::size_t> HttpSession::Read(char* buffer, std::size_t capacity)
{
    Impl& s = *m_impl;
    if (!s.easy) {
        s.Fail(HttpError::Other, "no request");
        return std::nullopt;
    }
    std::size_t filled = 0;
    while (filled < capacity) {
        if (s.Held() > 0) {
            const std::size_t n = std::min(s.Held(), capacity - filled);
            std::memcpy(buffer + filled, s.pending.data() + s.pendingStart, n);
            s.pendingStart += n;
            filled += n;
            continue;
        }
        if (s.paused) {
            s.paused = false;
            // Hands the held piece to OnBody again before it returns.
            const CURLcode rc = curl_easy_pause(s.easy, CURLPAUSE_CONT);
            if (rc != CURLE_OK) {
                s.result = rc;
                s.done = true;
            }
            continue;
        }
        if (s.done)
            break;
        if (!s.Drive([&s] { return s.Held() > 0 || s.paused; }))
            return filled > 0 ? std::optional<std::size_t>(filled) : std::nullopt;
    }
    if (filled == 0 && s.done && s.result != CURLE_OK) {
        s.FailFromResult();
        return std::nullopt;
    }
    return filled;
}

bool HttpSession::IsDataAvailable() const
{
    const Impl& s = *m_impl;
    if (!s.easy)
        return false;
    return s.Held() > 0 || s.paused || !s.done;
}

void HttpSession::CloseRequest()
{
    m_impl->Close();
}

bool HttpSession::HasRequest() const
{
    return m_impl->easy != nullptr;
}

HttpError HttpSession::LastError() const
{
    return m_impl->error;
}

const std::string& HttpSession::LastErrorText() const
{
    return m_impl->errorText;
}

int HttpSession::LastSystemError() const
{
    return m_impl->systemError;
}

}  // namespace platform
