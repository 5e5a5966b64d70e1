#include <gtest/gtest.h>

#include "fetch/ResolutionRules.h"

namespace {

TEST(ResolutionRules, RedirectsAndAddresses)
{
    // The header lines after the status line.
    const std::pair<const char*, std::optional<std::string>> locations[] = {
        {"Location:   http://h/p&t=1  \r\nA: b\r\n\r\n", "http://h/p&t=1"},
        // The name is matched exactly as written, at its first occurrence anywhere.
        {"location: http://h/p\r\nA: b\r\n\r\n", std::nullopt},
        {"X-Location: first\r\nLocation: second\r\nA: b\r\n\r\n", "first"},
        // The last header line has no line feed left after trimming.
        {"A: b\r\nLocation: http://h/p\r\n\r\n", std::nullopt},
        // An empty value takes the next line as its value.
        {"Location:\r\nA: 1\r\nB: 2\r\n\r\n", "A: 1"},
    };
    for (const auto& [headers, value] : locations)
        EXPECT_EQ(FindLocationValue("HTTP/1.1 303 See Other\r\n" + std::string(headers)), value) << headers;
    for (const int code : {299, 300, 306, 307})
        EXPECT_EQ(IsServiceRedirect(code), code == 300 || code == 306) << code;

    EXPECT_EQ(FindTokenTail("http://h/p?video_id=a&t=TOK&x=1"), "&t=TOK&x=1");
    EXPECT_EQ(FindTokenTail("http://h/p?t=TOK"), std::nullopt);
    EXPECT_EQ(FindTokenTail("&t=TOK"), std::nullopt);
    EXPECT_EQ(BuildFirstRequestAddress("host:81", "ab&c=1"), "http://host:81/v/ab&c=1&feature=dir");
    const std::string second = BuildSecondRequestAddress("host", "ab", "&t=T&x=1");
    EXPECT_EQ(second, "http://host/get_video?video_id=ab&t=T&x=1");

    const std::string video = "http://o:8/get_video?video_id=ab";
    const std::tuple<const char*, const char*, std::optional<std::string>> cases[] = {
        // Not on the CDN (or no CDN domain): the second address once more.
        {"http://elsewhere/file/ab", "cdn.test", second},
        {"http://v1.cdn.test/v?id=ab&origin=o:8", "", second},
        {"http://v1.cdn.test/v?id=ab&origin=  o:8  ", "cdn.test", video},
        {"http://v1.cdn.test/v?id=ab&origin=o:8&a=1&b=2", "cdn.test", video + "&a=1&b=2"},
        // The domain may sit anywhere in the address.
        {"http://o/x?origin_host=cdn.test&origin=o:8", "cdn.test", video},
        // An origin that starts with "&" is kept whole.
        {"http://v1.cdn.test/v?id=ab&origin=&a=1", "cdn.test", "http://&a=1/get_video?video_id=ab"},
        {"http://v1.cdn.test/v?id=ab", "cdn.test", std::nullopt},
        {"&origin=cdn.test", "cdn.test", std::nullopt},
    };
    for (const auto& [redirect, cdn, address] : cases)
        EXPECT_EQ(BuildVideoRequestAddress(redirect, second, "ab", cdn), address) << redirect;
}

TEST(ResolutionRules, IdentifierBytesAnAddressCannotCarryAreEscapedAndNothingElse)
{
    const std::pair<std::string, std::string> cases[] = {
        {"aZ09-_.~&=?/:+!$'()*,;@[]", "aZ09-_.~&=?/:+!$'()*,;@[]"},
        {"a b#c", "a%20b%23c"},
        {"%41%4g%4%%", "%41%254g%254%25%25"},  // only a whole escape stays one
        {"\x01\x7f\xc3\xa9", "%01%7F%C3%A9"},
        {std::string("a\0b", 3), "a%00b"},
    };
    for (const auto& [id, encoded] : cases)
        EXPECT_EQ(EncodeAddressBytes(id), encoded) << id;
    EXPECT_EQ(EncodeAddressBytes("http://h/a b%zz\xc3\xa9.flv#t=5", true),
              "http://h/a%20b%25zz%C3%A9.flv#t=5");
}

TEST(ResolutionRules, ProgressInHundredthsOfAPercent)
{
    EXPECT_EQ(ProgressHundredths(2, 3), 6666);
    EXPECT_EQ(ProgressHundredths(5LL << 30, 10LL << 30), 5000);
    EXPECT_EQ(ProgressHundredths(0, 0), 0);
}

}  // namespace
