#include "platform/PrivateProfile.h"

#include <gtest/gtest.h>

#include "support/Files.h"
#include "support/TempFolder.h"

namespace {

using platform::GetPrivateProfileString;
using platform::ProfileSnapshot;
using platform::WritePrivateProfileString;

constexpr std::size_t kBuffer = 32768;

// Mixed line ends on purpose: CRLF, LF and a lone CR all end lines.
const std::string kFixture =
    "orphan=before any section\r\n"
    "[TasksInfo]\r\n"
    "TASKS_NUMBER=3\r\n"
    "  Spaced Key \t=\t  spaced value  \r\n"
    "Blanks=   \t \n"
    "DQ=\"  quoted  \"\r"
    "SQ='single'\r\n"
    "Mixed=\"mixed'\n"
    "Lone=\"\n"
    "Twice=\"\"x\"\"\n"
    "Eq=a=b=c\n"
    "NoEquals line\n"
    "   ;Indented=yes\n"
    "Dup=first\n"
    "dup=second\n"
    "Semi=v ; not a comment\n"
    "Prefix=long\n"
    "[Other]\n"
    "TASKS_NUMBER=99\n"
    "TasksInfo=a key, not the section\n"
    "[ tasksinfo ]\n"
    "Late=from the repeated block\n"
    "[Cut]\n"
    "K=abcdef\n"
    "Q=\"abcdef\"\n"
    "U=a\xC3\xA9z\n"
    "[Last]\n"
    "NoBreak=\"end\"";

TEST(PrivateProfileRead, FollowsTheProfileRules)
{
    const ProfileSnapshot snap = ProfileSnapshot::Parse(kFixture);
    struct Case {
        const char* section;
        const char* key;
        const char* def;
        const char* expected;
        std::size_t buffer = kBuffer;
    };
    const Case cases[] = {
        {"  tasksINFO\t", " tasks_NUMBER ", "0", "3"},
        {"TasksInfo", "spaced key", "d", "spaced value"},
        {"TasksInfo", "Blanks", "default", ""},
        {"TasksInfo", "DQ", "", "  quoted  "},
        {"TasksInfo", "SQ", "", "single"},
        {"TasksInfo", "Mixed", "", "\"mixed'"},
        {"TasksInfo", "Lone", "", "\""},
        {"TasksInfo", "Twice", "", "\"x\""},
        {"TasksInfo", "Eq", "", "a=b=c"},
        {"TasksInfo", "NoEquals line", "none", "none"},
        {"TasksInfo", ";Indented", "none", "none"},
        {"TasksInfo", "Dup", "", "first"},
        {"TasksInfo", "Semi", "", "v ; not a comment"},
        {"TasksInfo", "Prefix", "", "long"},
        {"TasksInfo", "Pref", "none", "none"},
        {"TasksInfo", "Late", "none", "none"},
        {"TasksInfo", "orphan", "none", "none"},
        {"Other", "tasksinfo", "", "a key, not the section"},
        {"Missing", "x", "  lead kept \t ", "  lead kept"},
        {"Last", "NoBreak", "", "end"},
        // Values and defaults are cut to the buffer less one, never inside a character.
        {"Cut", "K", "", "", 0},
        {"Cut", "K", "", "abcde", 6},
        {"Cut", "Q", "", "abc", 4},  // quotes go first, then the cut
        {"Cut", "Missing", "default", "def", 4},
        {"Cut", "U", "", "a", 3},
        {"Cut", "U", "", "a\xC3\xA9", 4},
    };
    for (const Case& c : cases)
        EXPECT_EQ(snap.Get(c.section, c.key, c.def, c.buffer), c.expected)
            << "[" << c.section << "] " << c.key << " buffer " << c.buffer;
}

TEST(PrivateProfileRead, ReadsFilesAndFallsBackWhenMissingOrUnreadable)
{
    TempFolder folder;
    const std::string path = folder.Path("settings.ini");
    EXPECT_EQ(GetPrivateProfileString("TASKSINFO", "LAST_FOLDER", "none ", kBuffer, path), "none");
    WriteText(path, "\xEF\xBB\xBF[TASKSINFO]\r\nLAST_FOLDER=/home/me/Videos\r\n");
    EXPECT_EQ(GetPrivateProfileString("TASKSINFO", "LAST_FOLDER", "", kBuffer, path), "/home/me/Videos");
    EXPECT_EQ(GetPrivateProfileString("TASKSINFO", "X", "d", kBuffer, folder.Root()), "d");
}

TEST(PrivateProfileWrite, ChangesOnlyWhatItMust)
{
    struct Case {
        const char* name;
        const char* before;  // nullptr: no file
        const char* section;
        const char* key;
        const char* value;
        const char* after;
    };
    const Case cases[] = {
        {"new file, names trimmed", nullptr, " S ", "\tK ", "V", "[S]\r\nK=V\r\n"},
        {"replace keeps spelling and neighbours",
         "; top\r\n[tasksinfo]\r\nA=1\r\n  Tasks_Number = 7 \r\nB=2\r\n", "TASKSINFO", "TASKS_NUMBER", "8",
         "; top\r\n[tasksinfo]\r\nA=1\r\nTasks_Number=8\r\nB=2\r\n"},
        {"replace on a last line without break", "[S]\r\nK=old", "S", "k", "new", "[S]\r\nK=new"},
        {"insert after a last line ending in CR", "[S]\rA=1\r", "S", "B", "2", "[S]\rA=1\rB=2\r"},
        {"replace only the first duplicate", "[S]\r\nK=1\r\nK=2\r\n", "S", "K", "3", "[S]\r\nK=3\r\nK=2\r\n"},
        {"insert after the last key line", "[S]\r\nA=1\r\n; note\r\nB=2\r\n\r\n; trailing\r\n[T]\r\n", "S",
         "C", "3", "[S]\r\nA=1\r\n; note\r\nB=2\r\nC=3\r\n\r\n; trailing\r\n[T]\r\n"},
        {"insert into a section without keys", "[S]\r\n\r\n[T]\r\n", "s", "K", "V",
         "[S]\r\nK=V\r\n\r\n[T]\r\n"},
        {"insert after a last line without break", "[S]\r\nA=1", "S", "B", "2", "[S]\r\nA=1\r\nB=2\r\n"},
        {"insert into the first block of a repeated section", "[S]\nA=1\n[T]\n[S]\nZ=9\n", "S", "Z", "1",
         "[S]\nA=1\nZ=1\n[T]\n[S]\nZ=9\n"},
        {"LF lines stay LF, missing break added, another section's key not touched", "[T]\nK=1", "S", "K",
         "V", "[T]\nK=1\n[S]\nK=V\n"},
        {"values are raw", "[S]\r\n", "S", "K", " \"quoted\" = ;x ", "[S]\r\nK= \"quoted\" = ;x \r\n"},
        {"a line before any section is no key", "K=orphan\r\n", "S", "K", "V", "K=orphan\r\n[S]\r\nK=V\r\n"},
        {"a commented key is no key", "[S]\r\n;K=old\r\n", "S", "K", "V", "[S]\r\nK=V\r\n;K=old\r\n"},
        {"byte order mark kept", "\xEF\xBB\xBF[S]\r\nK=1\r\n", "S", "K", "2", "\xEF\xBB\xBF[S]\r\nK=2\r\n"},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        const std::string path = folder.Path("tasks.ini");
        if (c.before)
            WriteText(path, c.before);
        EXPECT_TRUE(WritePrivateProfileString(c.section, c.key, c.value, path)) << c.name;
        EXPECT_EQ(ReadText(path), c.after) << c.name;
    }
}

TEST(PrivateProfileWrite, RefusesWhatWouldForgeEntries)
{
    TempFolder folder;
    const std::string path = folder.Path("tasks.ini");
    const std::string before = "[S]\r\nK=keep\r\n";
    WriteText(path, before);
    const std::string cases[][3] = {
        {"S", "K", "v\n[Other]"}, {"S", "K", "v\rX=1"},  {"S", "K", std::string("v\0w", 3)},
        {"S", "K=X", "v"},        {"S", "K\nX", "v"},    {"S", std::string("K\0X", 3), "v"},
        {"S", ";K", "v"},         {"S", "[Other]", "v"}, {"S", "   ", "v"},
        {"", "K", "v"},           {"S\n", "K", "v"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(WritePrivateProfileString(c[0], c[1], c[2], path))
            << "[" << c[0] << "] " << c[1] << "=" << c[2];
        EXPECT_EQ(ReadText(path), before) << c[1];
    }
}

}  // namespace
