#include "platform/HttpSession.h"

#include <gtest/gtest.h>

#include "support/VideoService.h"

namespace {

using platform::HttpSession;

TEST(HttpSession, FollowedRedirectsGiveTheFinalResponseOnly)
{
    VideoService service;
    HttpSession session;
    const std::string step2 = "http://" + service.Host() + "/get_video?video_id=";
    ASSERT_TRUE(session.OpenRequest(step2 + "chain307-300000&t=T", HttpSession::Redirects::Follow));
    EXPECT_TRUE(session.RawHeaders().starts_with("HTTP/1.1 200 OK\r\n"));
    EXPECT_TRUE(session.RawHeaders().ends_with("\r\nContent-Length: 300000\r\n\r\n"));
    EXPECT_EQ(session.RawHeaders().find("Location"), std::string::npos);

    // No byte of the redirects' pages slips into the body, which is far more than the
    // session holds at once; every read but the last is full, then the end is a read of 0.
    std::string body;
    char buffer[8192];
    std::optional<std::size_t> n;
    while ((n = session.Read(buffer, sizeof buffer)).value_or(0) > 0) {
        EXPECT_TRUE(*n == sizeof buffer || body.size() + *n == 300000) << body.size();
        body.append(buffer, *n);
    }
    EXPECT_EQ(n, 0u) << session.LastErrorText();
    EXPECT_EQ(body, VideoService::Body(300000));
    EXPECT_FALSE(session.IsDataAvailable());

    // A redirect to anything but http is refused.
    EXPECT_FALSE(session.OpenRequest(step2 + "fileredirect&t=T", HttpSession::Redirects::Follow));
    EXPECT_EQ(session.LastError(), platform::HttpError::Scheme);
}

}  // namespace
