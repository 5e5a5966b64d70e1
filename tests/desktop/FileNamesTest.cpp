#include "desktop/FileNames.h"

#include <gtest/gtest.h>

#include <string>

// Every byte string comes back as it went: a name in any encoding names the same file
// after a trip through a text box or a program's arguments.
TEST(FileNames, AnyBytesSurviveTheTripThroughATextUnchanged)
{
    const std::string names[] = {
        "/videos/caf\xe9.flv",           // Latin-1
        "/videos/caf\xc3\xa9.flv",       // UTF-8
        "/v/\xc3\xa9\xe9\xc3",           // valid, invalid, and a sequence cut short at the end
        "/v/\xc0\xaf\xed\xa0\x80.flv",   // an overlong slash and an encoded surrogate
        "/v/\xf0\x9f\x8e\xac clip",      // four bytes, beyond the 16-bit plane
        "/v/\xf4\x90\x80\x80 \xff\xfe",  // beyond U+10FFFF, and bytes no UTF-8 uses
    };
    for (const std::string& name : names)
        EXPECT_EQ(ToFileName(FromFileName(name)), name) << name;
}

TEST(FileNames, ValidUtf8ReadsAsItsTextAndOtherBytesStandOut)
{
    EXPECT_EQ(FromFileName("/videos/caf\xc3\xa9 \xf0\x9f\x8e\xac.flv"),
              QString::fromUtf8("/videos/caf\xc3\xa9 \xf0\x9f\x8e\xac.flv"));
    const QString latin = FromFileName("caf\xe9");
    ASSERT_EQ(latin.size(), 4);
    EXPECT_EQ(latin.left(3), QStringLiteral("caf"));
    EXPECT_NE(latin[3], QChar(0xE9));  // never read as if it were Latin-1 text
    // A typed text's own characters, a lone surrogate included, become UTF-8.
    EXPECT_EQ(ToFileName(QString::fromUtf8("\xc3\xa9")), "\xc3\xa9");
    EXPECT_EQ(ToFileName(QString(QChar(0xD800))), "\xef\xbf\xbd");
}
