#pragma once
// One task's HTTP client: a session that keeps its connections alive between
// requests, with at most one request open at a time. The body is pulled by the
// caller in small reads; nothing holds more than a few hundred kilobytes of it.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace platform {

enum class HttpError {
    None,
    Aborted,   // the stop check asked to give up
    Resolve,   // host name not resolved
    Connect,   // no connection
    Timeout,   // connection not made in time, or nothing received for too long
    Reset,     // connection reset or closed before the response was complete
    Scheme,    // an address (or a redirect) to anything but http or https
    Protocol,  // not an HTTP response, too many redirects, and the like
    Other,
};

struct HttpLimits {
    std::chrono::milliseconds connectTimeout{30000};
    std::chrono::seconds idleTimeout{60};  // whole seconds: the library counts in seconds
};

class HttpSession {
public:
    enum class Redirects { Keep, Follow };

    // Called at least a few times a second whenever the session waits on the
    // network; returning true aborts the request with HttpError::Aborted.
    using StopCheck = std::function<bool()>;

    explicit HttpSession(StopCheck stopCheck = {}, HttpLimits limits = {});
    ~HttpSession();
    HttpSession(const HttpSession&) = delete;
    HttpSession& operator=(const HttpSession&) = delete;

    // Closes any open request, sends a GET for `url` and returns once the final
    // response's headers are in. With Redirects::Follow the library follows
    // redirects itself, to http and https addresses only. With `rangeFrom` the
    // request asks for the body from that byte on, in one more header line after
    // the fixed ones.
    bool OpenRequest(const std::string& url, Redirects redirects,
                     std::optional<std::int64_t> rangeFrom = std::nullopt);

    // Status code of the final response; 0 while there is none.
    int StatusCode() const;
    // The final response's header block: the status line first, every line ended
    // by CRLF, and the closing empty line last.
    const std::string& RawHeaders() const;
    // The Content-Length value as the server wrote it; empty when it sent none.
    std::optional<std::string> ContentLength() const;
    // The final response's first header of that name (any case); nothing when absent.
    std::optional<std::string> Header(const char* name) const;

    // Waits until `capacity` bytes of the body are in `buffer`, the body has ended,
    // or the transfer failed. Returns the count (0: the body has ended), or
    // nothing on a failure once the data received before it has been handed out.
    std::optional<std::size_t> Read(char* buffer, std::size_t capacity);
    // True while the body may still yield data; false once it has ended.
    bool IsDataAvailable() const;

    void CloseRequest();
    bool HasRequest() const;

    HttpError LastError() const;
    const std::string& LastErrorText() const;
    // The system's error number behind the last failure (a refused connection's
    // ECONNREFUSED); 0 when the library kept none.
    int LastSystemError() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// The header lines every request carries.
inline constexpr const char* kHttpAcceptHeader = "Accept: */*";
inline constexpr const char* kHttpUserAgentHeader =
    "User-Agent:Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)";

}  // namespace platform
