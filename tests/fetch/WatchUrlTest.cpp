#include "fetch/WatchUrl.h"

#include <gtest/gtest.h>

#include "fetch/ServiceConfig.h"

namespace {

TEST(WatchUrl, RecognisesOnlyTheWatchPagePrefix)
{
    struct Case {
        std::string text;
        bool accepted;
        std::string id;
    };
    const Case cases[] = {
        {"http://www.youtube.com/watch?v=dQw4w9WgXcQ", true, "dQw4w9WgXcQ"},
        {"HTTP://WWW.YOUTUBE.COM/WATCH?V=dQw4w9WgXcQ", true, "dQw4w9WgXcQ"},
        {"hTtP://wWw.YouTube.Com/Watch?v=AbCdE", true, "AbCdE"},
        {"http://www.youtube.com/watch?v=abc&feature=related", true, "abc&feature=related"},
        {"http://www.youtube.com/watch?v=abc#t=30 x%20y ", true, "abc#t=30 x%20y "},
        {"http://www.youtube.com/watch?v=\xc3\xa9t\xc3\xa9", true, "\xc3\xa9t\xc3\xa9"},
        {"http://www.youtube.com/watch?v=", false, ""},
        {" http://www.youtube.com/watch?v=abc", false, ""},
        {"https://www.youtube.com/watch?v=abc", false, ""},
        {"http://youtu.be/abc", false, ""},
        {"http://youtube.com/watch?v=abc", false, ""},
        {"http://www.youtube.com/v/abc", false, ""},
        {"see http://www.youtube.com/watch?v=abc", false, ""},
        {"http://www.youtube.com.evil.example/watch?v=abc", false, ""},
        // Control characters would travel into request lines.
        {"http://www.youtube.com/watch?v=abc\r\nHost: evil", false, ""},
        {"http://www.youtube.com/watch?v=a\tb", false, ""},
        {std::string("http://www.youtube.com/watch?v=a\0b", 33), false, ""},
        {"http://www.youtube.com/watch?v=a\x7f", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::string id = "untouched";
        EXPECT_EQ(ParseWatchUrl(c.text, id, "www.youtube.com"), c.accepted);
        if (c.accepted) {
            EXPECT_EQ(id, c.id);
        }
    }
}

TEST(WatchUrl, HostIsPartOfThePrefix)
{
    struct Case {
        const char* host;
        const char* text;
        bool accepted;
        const char* id;
    };
    const Case cases[] = {
        {"127.0.0.1:8080", "http://127.0.0.1:8080/watch?v=Zz", true, "Zz"},
        {"127.0.0.1:8080", "http://127.0.0.1/watch?v=Zz", false, ""},
        {"127.0.0.1:8080", "http://127.0.0.1:80801/watch?v=Zz", false, ""},
        {"Video.Example", "http://video.example/WATCH?v=Q", true, "Q"},
        {"www.youtube.com", "http://video.example/watch?v=Q", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::string id;
        EXPECT_EQ(ParseWatchUrl(c.text, id, c.host), c.accepted);
        if (c.accepted) {
            EXPECT_EQ(id, c.id);
        }
    }
    EXPECT_EQ(WatchUrlPrefix("www.youtube.com").size(), 31u);
    EXPECT_EQ(WatchUrlPrefix("Video.Example:81"), "http://video.example:81/watch?v=");
}

TEST(WatchUrl, TheRunsHostDecides)
{
    const ServiceConfig before = ServiceConfig::Current();
    std::string id;
    EXPECT_TRUE(ParseWatchUrl("http://www.youtube.com/watch?v=one", id));
    EXPECT_EQ(id, "one");

    ServiceConfig local;
    local.m_csServiceHost = "127.0.0.1:5000";
    ServiceConfig::Install(local);
    EXPECT_FALSE(ParseWatchUrl("http://www.youtube.com/watch?v=one", id));
    EXPECT_TRUE(ParseWatchUrl("http://127.0.0.1:5000/watch?v=two", id));
    EXPECT_EQ(id, "two");
    ServiceConfig::Install(before);
}

}  // namespace
