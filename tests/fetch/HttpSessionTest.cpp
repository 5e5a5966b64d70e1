#include "platform/HttpSession.h"

#include <gtest/gtest.h>

#include "VideoService.h"

namespace {

using platform::HttpError;
using platform::HttpSession;

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

}  // namespace
