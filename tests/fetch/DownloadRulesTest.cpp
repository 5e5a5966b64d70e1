#include <gtest/gtest.h>

#include <limits>

#include "fetch/DownloadWorker.h"

namespace {

TEST(DownloadRules, LocationValueFollowsTheHeaderValueRule)
{
    struct Case {
        const char* headers;
        std::optional<std::string> value;
    };
    const Case cases[] = {
        {"HTTP/1.1 303 See Other\r\nLocation: http://h/p&t=1\r\nContent-Length: 0\r\n\r\n",
         "http://h/p&t=1"},
        {"HTTP/1.1 303 See Other\r\nLocation:   http://h/x  \r\nA: b\r\n\r\n", "http://h/x"},
        // Bare line feeds count as well.
        {"HTTP/1.1 303 See Other\nLocation: http://h/y\nA: b\n\n", "http://h/y"},
        // The name is matched exactly as written.
        {"HTTP/1.1 303 See Other\r\nlocation: http://h/p\r\nA: b\r\n\r\n", std::nullopt},
        {"HTTP/1.1 303 See Other\r\nLOCATION: http://h/p\r\nA: b\r\n\r\n", std::nullopt},
        // The last header line has no line feed left after trimming.
        {"HTTP/1.1 303 See Other\r\nA: b\r\nLocation: http://h/p\r\n\r\n", std::nullopt},
        {"HTTP/1.1 303 See Other\r\nContent-Length: 0\r\n\r\n", std::nullopt},
        {"", std::nullopt},
        // The first occurrence wins, even inside another header's name.
        {"HTTP/1.1 303 See Other\r\nX-Location: first\r\nLocation: second\r\nA: b\r\n\r\n",
         "first"},
        // An empty value takes the next line as its value.
        {"HTTP/1.1 303 See Other\r\nLocation:\r\nA: 1\r\nB: 2\r\n\r\n", "A: 1"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FindLocationValue(c.headers), c.value) << c.headers;
}

TEST(DownloadRules, OnlyStatuses300To306AreRedirects)
{
    const std::pair<int, bool> cases[] = {{0, false},   {200, false}, {299, false}, {300, true},
                                          {301, true},  {303, true},  {306, true},  {307, false},
                                          {308, false}, {404, false}};
    for (const auto& [code, redirect] : cases)
        EXPECT_EQ(IsServiceRedirect(code), redirect) << code;
}

TEST(DownloadRules, TokenTailRunsFromAmpersandTToTheEnd)
{
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"http://h/p?video_id=a&t=TOK", "&t=TOK"},
        {"http://h/p?video_id=a&t=TOK&x=1&y=2", "&t=TOK&x=1&y=2"},
        {"http://h/p?a=1&t=", "&t="},
        {"&t=TOK", std::nullopt},
        {"http://h/p?t=TOK", std::nullopt},
        {"http://h/p?video_id=a&T=TOK", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [redirect, tail] : cases)
        EXPECT_EQ(FindTokenTail(redirect), tail) << redirect;
}

TEST(DownloadRules, RequestAddresses)
{
    EXPECT_EQ(BuildFirstRequestAddress("host:81", "ab&c=1"), "http://host:81/v/ab&c=1&feature=dir");
    EXPECT_EQ(BuildSecondRequestAddress("host", "ab", "&t=T&x=1"),
              "http://host/get_video?video_id=ab&t=T&x=1");

    const std::string second = "http://host/get_video?video_id=ab&t=T";
    struct Case {
        const char* redirect;
        const char* cdn;
        std::optional<std::string> address;
    };
    const Case cases[] = {
        // Not on the CDN: the second address once more.
        {"http://elsewhere/file/ab", "cdn.test", second},
        {"http://v1.cdn.test/v?id=ab&origin=10.0.0.1:80", "", second},
        {"http://v1.cdn.test/v?id=ab&origin=10.0.0.1:80", "cdn.test",
         "http://10.0.0.1:80/get_video?video_id=ab"},
        {"http://v1.cdn.test/v?id=ab&origin=o.example&a=1&b=2", "cdn.test",
         "http://o.example/get_video?video_id=ab&a=1&b=2"},
        {"http://v1.cdn.test/v?id=ab&origin=  o.example  ", "cdn.test",
         "http://o.example/get_video?video_id=ab"},
        // An origin that starts with "&" is kept whole.
        {"http://v1.cdn.test/v?id=ab&origin=&a=1", "cdn.test", "http://&a=1/get_video?video_id=ab"},
        // The domain may sit anywhere in the address.
        {"http://o/x?origin_host=cdn.test&origin=o:8", "cdn.test", "http://o:8/get_video?video_id=ab"},
        {"http://v1.cdn.test/v?id=ab", "cdn.test", std::nullopt},
        {"&origin=cdn.test", "cdn.test", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BuildVideoRequestAddress(c.redirect, second, "ab", c.cdn), c.address)
            << c.redirect;
}

TEST(DownloadRules, LeadingDecimalAndProgress)
{
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    const std::pair<const char*, std::int64_t> numbers[] = {
        {"10000", 10000}, {"  42abc", 42},   {"\t7", 7},       {"+7", 7},
        {"-5", -5},       {"abc", 0},        {"", 0},          {"- 5", 0},
        {"4294967296", 4294967296LL},        {"99999999999999999999", kMax},
    };
    for (const auto& [text, value] : numbers)
        EXPECT_EQ(ParseLeadingDecimal(text), value) << text;

    struct Progress {
        std::int64_t downloaded, size, hundredths;
    };
    const Progress progress[] = {
        {0, 10000, 0},        {8192, 10000, 8192},  {10000, 10000, 10000},
        {1, 3, 3333},         {2, 3, 6666},         {8192, 16384, 5000},
        {0, 0, 0},            {5LL << 30, 10LL << 30, 5000},
    };
    for (const Progress& p : progress)
        EXPECT_EQ(ProgressHundredths(p.downloaded, p.size), p.hundredths)
            << p.downloaded << "/" << p.size;
}

TEST(DownloadRules, CreateFileErrorText)
{
    EXPECT_EQ(CreateFileErrorText("/home/u/My Videos/a.flv"),
              "Can not create the file \"/home/u/My Videos/a.flv\", file may be used by another "
              "thread.");
}

}  // namespace
