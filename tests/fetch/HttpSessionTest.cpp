#include "platform/HttpSession.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "VideoService.h"

namespace {

using namespace std::chrono_literals;
using platform::HttpError;
using platform::HttpSession;
using Clock = std::chrono::steady_clock;

std::string ReadAll(HttpSession& session, std::size_t chunk, std::vector<std::size_t>* sizes = nullptr)
{
    std::string body;
    std::vector<char> buffer(chunk);
    for (;;) {
        const std::optional<std::size_t> n = session.Read(buffer.data(), buffer.size());
        if (!n) {
            ADD_FAILURE() << "read failed: " << session.LastErrorText();
            break;
        }
        if (*n == 0)
            break;
        if (sizes)
            sizes->push_back(*n);
        body.append(buffer.data(), *n);
    }
    return body;
}

TEST(HttpSession, RedirectHeadersAsTheyCame)
{
    VideoService service;
    HttpSession session;
    ASSERT_TRUE(session.OpenRequest("http://" + service.Host() + "/v/ok-100&feature=dir",
                                    HttpSession::Redirects::Keep));
    EXPECT_EQ(session.StatusCode(), 303);
    const std::string expected = "HTTP/1.1 303 See Other\r\n"
                                 "Location: http://" + service.Host() +
                                 "/player?video_id=ok-100&t=TOK6\r\n"
                                 "Content-Type: text/html\r\n"
                                 "Content-Length: 18\r\n"
                                 "\r\n";
    EXPECT_EQ(session.RawHeaders(), expected);
    EXPECT_EQ(session.ContentLength(), "18");

    // The connection is kept for the next request of the session.
    ASSERT_TRUE(session.OpenRequest("http://" + service.Host() + "/v/r1lower&feature=dir",
                                    HttpSession::Redirects::Keep));
    EXPECT_NE(session.RawHeaders().find("\r\nlocation: "), std::string::npos);
    session.CloseRequest();
    EXPECT_FALSE(session.HasRequest());
}

TEST(HttpSession, FollowedRedirectsGiveTheFinalResponseOnly)
{
    VideoService service;
    HttpSession session;
    ASSERT_TRUE(session.OpenRequest(
        "http://" + service.Host() + "/get_video?video_id=chain307-300000&t=T",
        HttpSession::Redirects::Follow));
    EXPECT_EQ(session.StatusCode(), 200);
    EXPECT_TRUE(session.RawHeaders().starts_with("HTTP/1.1 200 OK\r\n"));
    EXPECT_TRUE(session.RawHeaders().ends_with("\r\n\r\n"));
    EXPECT_EQ(session.RawHeaders().find("Location"), std::string::npos);
    EXPECT_EQ(session.ContentLength(), "300000");

    // No byte of the redirects' pages slips into the body; every read but the last
    // is full, then the end is a read of 0 with nothing more to come.
    std::vector<std::size_t> sizes;
    EXPECT_EQ(ReadAll(session, 8192, &sizes), VideoService::Body(300000));
    ASSERT_EQ(sizes.size(), 37u);
    for (std::size_t i = 0; i + 1 < sizes.size(); ++i)
        EXPECT_EQ(sizes[i], 8192u);
    EXPECT_EQ(sizes.back(), 300000u - 36 * 8192);
    EXPECT_FALSE(session.IsDataAvailable());
}

TEST(HttpSession, MissingContentLengthAndRefusedSchemes)
{
    VideoService service;
    HttpSession session;
    ASSERT_TRUE(session.OpenRequest("http://" + service.Host() + "/file/nolength-500",
                                    HttpSession::Redirects::Follow));
    EXPECT_EQ(session.ContentLength(), std::nullopt);
    EXPECT_EQ(ReadAll(session, 100), VideoService::Body(500));

    EXPECT_FALSE(session.OpenRequest("file:///etc/passwd", HttpSession::Redirects::Follow));
    EXPECT_EQ(session.LastError(), HttpError::Scheme);
    EXPECT_FALSE(session.OpenRequest(
        "http://" + service.Host() + "/get_video?video_id=fileredirect&t=T",
        HttpSession::Redirects::Follow));
    EXPECT_EQ(session.LastError(), HttpError::Scheme);
    // Not followed, the same redirect is just an answer.
    ASSERT_TRUE(session.OpenRequest(
        "http://" + service.Host() + "/get_video?video_id=fileredirect&t=T",
        HttpSession::Redirects::Keep));
    EXPECT_EQ(session.StatusCode(), 303);
}

TEST(HttpSession, TransportFailuresAreTold)
{
    VideoService service;
    struct Case {
        std::string path;
        bool opens;
        std::optional<HttpError> error;  // none: any failure
    };
    const Case cases[] = {
        {"/v/r1reset&feature=dir", false, HttpError::Reset},
        {"/v/r1garbage&feature=dir", false, std::nullopt},  // not HTTP at all
        {"/file/short-20000", true, HttpError::Reset},
        {"/file/bodyreset-40000", true, HttpError::Reset},
    };
    for (const Case& c : cases) {
        HttpSession session;
        const bool opened = session.OpenRequest("http://" + service.Host() + c.path,
                                                HttpSession::Redirects::Follow);
        ASSERT_EQ(opened, c.opens) << c.path;
        if (opened) {
            char buffer[8192];
            std::optional<std::size_t> n;
            std::size_t total = 0;
            while ((n = session.Read(buffer, sizeof buffer)) && *n > 0)
                total += *n;
            EXPECT_FALSE(n.has_value()) << c.path;
            EXPECT_GT(total, 0u) << c.path;  // what came before the failure is handed out
        }
        if (c.error)
            EXPECT_EQ(session.LastError(), *c.error) << c.path << ": " << session.LastErrorText();
        else
            EXPECT_NE(session.LastError(), HttpError::None) << c.path;
    }
}

TEST(HttpSession, StopCheckAndIdleLimitEndAStall)
{
    VideoService service;
    const std::string url = "http://" + service.Host() + "/v/r1stall&feature=dir";

    std::atomic<bool> stop{false};
    const auto start = Clock::now();
    HttpSession stoppable([&] { return stop.load() || Clock::now() - start > 500ms; });
    EXPECT_FALSE(stoppable.OpenRequest(url, HttpSession::Redirects::Keep));
    EXPECT_EQ(stoppable.LastError(), HttpError::Aborted);
    EXPECT_LT(Clock::now() - start, 1000ms);

    platform::HttpLimits limits;
    limits.idleTimeout = 1s;
    HttpSession limited({}, limits);
    const auto second = Clock::now();
    EXPECT_FALSE(limited.OpenRequest(url, HttpSession::Redirects::Keep));
    EXPECT_EQ(limited.LastError(), HttpError::Timeout);
    EXPECT_GE(Clock::now() - second, 900ms);
    EXPECT_LT(Clock::now() - second, 4s);
}

}  // namespace
