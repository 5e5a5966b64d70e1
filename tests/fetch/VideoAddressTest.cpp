#include "fetch/VideoAddress.h"

#include <gtest/gtest.h>

#include <string>

#include "convert/VideoFileTypes.h"

TEST(VideoAddress, WhichTextsAreDirectVideoAddresses)
{
    struct Row {
        const char* text;
        bool direct;
    };
    const Row rows[] = {
        {"http://example.org/clip.mp4", true},
        {"https://example.org/v.flv?token=1&x=.txt", true},
        {"HTTPS://Example.org/a/v.MKV#t=10", true},
        {"https://cdn.example.org:8443/path/v.mpeg", true},
        {"http://example.org/clip.mp4/", false},      // a folder
        {"http://example.org/clip.mp4.html", false},  // a page about the clip
        {"http://example.org/index.html?f=a.mp4", false},
        {"http://example.org/.mp4", false},  // no name before the extension
        {"ftp://example.org/clip.mp4", false},
        {"http:///clip.mp4", false},
        {"http://example.org?clip.mp4", false},
        {" http://example.org/clip.mp4", false},
        {"http://example.org/clip.mp4\nhttp://other/", false},
        {"example.org/clip.mp4", false},
        {"", false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(IsDirectVideoAddress(row.text), row.direct) << row.text;

    EXPECT_TRUE(IsAcceptedTaskAddress("http://www.example.com/watch?v=abc", "www.example.com"));
    EXPECT_TRUE(IsAcceptedTaskAddress("http://elsewhere.org/abc.3gp", "www.example.com"));
    EXPECT_FALSE(IsAcceptedTaskAddress("http://www.example.com/abc", "www.example.com"));
}

TEST(VideoAddress, SuggestedNameIsTheDecodedSafeLastSegmentWithItsExtension)
{
    struct Row {
        const char* address;
        const char* name;
    };
    const Row rows[] = {
        {"http://h/a/b/My%20Clip.MP4?x=1", "My Clip.MP4"},
        {"http://h/%C3%A9t%C3%A9.webm", "\xC3\xA9t\xC3\xA9.webm"},
        {"http://h/a%2Fb.mkv", "a_b.mkv"},        // an encoded slash makes no folder
        {"http://h/%2E%2E.mkv", "_..mkv"},        // no hidden file, no parent folder
        {"http://h/-rf.avi", "_rf.avi"},          // no name that reads as an option
        {"http://h/a%0Ab%00c.ogv", "a_b_c.ogv"},  // no control bytes
        {"http://h/100%.mp4", "100%.mp4"},        // a lone percent stays
        {"http://h/page.html", ""},
    };
    for (const Row& row : rows)
        EXPECT_EQ(SuggestedFileName(row.address), row.name) << row.address;

    // Long names are cut at a character boundary and keep their extension.
    std::string longPath = "http://h/";
    for (int i = 0; i < 150; ++i)
        longPath += "%C3%A9";  // 300 bytes of two-byte characters
    const std::string cut = SuggestedFileName(longPath + ".mp4", 199);
    EXPECT_EQ(cut.size(), 198u) << "194 bytes of whole characters and the extension";
    EXPECT_EQ(cut.substr(cut.size() - 4), ".mp4");
    EXPECT_EQ(cut.substr(0, 2), "\xC3\xA9");
}

TEST(VideoFileTypes, ExtensionsAreFoundInAnyCaseOnFileNamesOnly)
{
    EXPECT_EQ(VideoExtensionOf("/v/Clip.MpEg"), ".MpEg");
    EXPECT_EQ(VideoExtensionOf("a.mp3"), "");
    EXPECT_EQ(VideoExtensionOf("/v/.flv"), "");
    EXPECT_EQ(VideoExtensionOf("/v.mp4/name"), "");
}
