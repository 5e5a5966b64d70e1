#include "fetch/WatchUrl.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

// The prefix matches in any letter case, host included; the rest is the identifier exactly
// as typed, unless it is empty or holds a control character (it travels into requests).
TEST(WatchUrl, RecognisesOnlyTheWatchPagePrefix)
{
    const std::string yt = "http://www.youtube.com/watch?v=";
    const std::tuple<std::string, std::string, const char*> cases[] = {
        {"www.youtube.com", "hTtP://wWw.YouTube.Com/Watch?V=AbCdE", "AbCdE"},
        {"www.youtube.com", yt + "abc&f=r#t=30 x%20y ", "abc&f=r#t=30 x%20y "},
        {"www.youtube.com", yt + "\xc3\xa9t\xc3\xa9", "\xc3\xa9t\xc3\xa9"},
        {"Video.Example:81", "http://video.example:81/watch?v=Q", "Q"},
        {"www.youtube.com", yt, nullptr},
        {"www.youtube.com", " " + yt + "abc", nullptr},
        {"www.youtube.com", "https://www.youtube.com/watch?v=abc", nullptr},
        {"www.youtube.com", "http://www.youtube.com.evil.example/watch?v=abc", nullptr},
        {"www.youtube.com", yt + "abc\r\nHost: evil", nullptr},
        {"www.youtube.com", yt + std::string("a\0b", 3), nullptr},
    };
    for (const auto& [host, text, want] : cases) {
        SCOPED_TRACE(text);
        std::string id;
        EXPECT_EQ(ParseWatchUrl(text, id, host) ? id : "rejected", want ? want : "rejected");
    }
    EXPECT_EQ(WatchUrlPrefix("Video.Example:81"), "http://video.example:81/watch?v=");
}

}  // namespace
