#include "desktop/FileNames.h"

#include <gtest/gtest.h>

#include <string>

// Any bytes come back as they went, so a name in any encoding still names its file after
// a trip through a text box or a program's arguments; valid UTF-8 reads as its text.
TEST(FileNames, AnyBytesSurviveTheTripThroughATextUnchanged)
{
    for (const std::string name : {
             "/v/caf\xe9.flv",                            // Latin-1
             "/v/\xc3\xa9\xe9\xc3",                       // valid, invalid, and cut short at the end
             "/v/\xc0\xaf\xed\xa0\x80",                   // an overlong slash, an encoded surrogate
             "/v/\xf4\x90\x80\x80 \xff\xf0\x9f\x8e\xac",  // beyond U+10FFFF, no UTF-8 at all, U+1F3AC
         })
        EXPECT_EQ(ToFileName(FromFileName(name)), name) << name;
    EXPECT_EQ(FromFileName("caf\xc3\xa9 \xf0\x9f\x8e\xac"),
              QString::fromUtf8("caf\xc3\xa9 \xf0\x9f\x8e\xac"));
    EXPECT_NE(FromFileName("caf\xe9"), QString::fromLatin1("caf\xe9"));
    EXPECT_EQ(ToFileName(QString(QChar(0xD800))), "\xef\xbf\xbd");  // a lone surrogate typed
}
