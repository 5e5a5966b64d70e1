#include "platform/PrivateProfile.h"

#include "TempFolder.h"

#include <chrono>
#include <gtest/gtest.h>

namespace {

using platform::GetPrivateProfileString;
using platform::ProfileSnapshot;

constexpr std::size_t kBuffer = 32768;

// Mixed line ends on purpose: CRLF, LF and a lone CR all end lines.
const std::string kFixture =
    "orphan=before any section\r\n"
    "[TasksInfo]\r\n"
    "TASKS_NUMBER=3\r\n"
    "  Spaced Key \t=\t  spaced value  \r\n"
    "Empty=\n"
    "Blanks=   \t \n"
    "DQ=\"  quoted  \"\r"
    "SQ='single'\r\n"
    "Mixed=\"mixed'\n"
    "Lone=\"\n"
    "Inner=a \"b\" c\n"
    "Twice=\"\"x\"\"\n"
    "Eq=a=b=c\n"
    "NoEquals line\n"
    "; Commented=yes\n"
    "   ;Indented=yes\n"
    "Dup=first\n"
    "dup=second\n"
    "Semi=v ; not a comment\n"
    "[Other]\n"
    "TASKS_NUMBER=99\n"
    "[ tasksinfo ]\n"
    "Late=from the repeated block\n"
    "[Empty Section]\n"
    "[Last]\n"
    "NoBreak=end";

TEST(PrivateProfileRead, FollowsTheProfileRules) {
    const ProfileSnapshot snap = ProfileSnapshot::Parse(kFixture);
    struct Case {
        const char* section;
        const char* key;
        const char* def;
        const char* expected;
    };
    const Case cases[] = {
        {"TASKSINFO", "TASKS_NUMBER", "0", "3"},
        {"tasksinfo", "tasks_number", "0", "3"},
        {"  TasksInfo\t", " tasks_NUMBER ", "0", "3"},
        {"TasksInfo", "spaced key", "d", "spaced value"},
        {"TasksInfo", "Empty", "default", ""},
        {"TasksInfo", "Blanks", "default", ""},
        {"TasksInfo", "DQ", "", "  quoted  "},
        {"TasksInfo", "SQ", "", "single"},
        {"TasksInfo", "Mixed", "", "\"mixed'"},
        {"TasksInfo", "Lone", "", "\""},
        {"TasksInfo", "Inner", "", "a \"b\" c"},
        {"TasksInfo", "Twice", "", "\"x\""},
        {"TasksInfo", "Eq", "", "a=b=c"},
        {"TasksInfo", "NoEquals line", "none", "none"},
        {"TasksInfo", "; Commented", "none", "none"},
        {"TasksInfo", "Commented", "none", "none"},
        {"TasksInfo", ";Indented", "none", "none"},
        {"TasksInfo", "Dup", "", "first"},
        {"TasksInfo", "Semi", "", "v ; not a comment"},
        {"TasksInfo", "Late", "none", "none"},
        {"TasksInfo", "orphan", "none", "none"},
        {"", "orphan", "none", "none"},
        {"Other", "TASKS_NUMBER", "0", "99"},
        {"Other", "Missing", "INVALID", "INVALID"},
        {"Missing", "TASKS_NUMBER", "0", "0"},
        {"Empty Section", "x", "dflt  \t ", "dflt"},
        {"Missing", "x", "  lead kept  ", "  lead kept"},
        {"TasksInfo", "", "none", "none"},
        {"Last", "NoBreak", "", "end"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(snap.Get(c.section, c.key, c.def, kBuffer), c.expected)
            << "[" << c.section << "] " << c.key;
}

TEST(PrivateProfileRead, CutsValuesAndDefaultsAtTheBuffer) {
    const ProfileSnapshot snap = ProfileSnapshot::Parse("[S]\nK=abcdef\nQ=\"abcdef\"\nU=a\xC3\xA9z\n");
    struct Case {
        const char* key;
        const char* def;
        std::size_t buffer;
        const char* expected;
    };
    const Case cases[] = {
        {"K", "", 0, ""},
        {"K", "", 1, ""},
        {"K", "", 4, "abc"},
        {"K", "", 6, "abcde"},
        {"K", "", 7, "abcdef"},
        {"K", "", 100, "abcdef"},
        {"Q", "", 4, "abc"},          // quotes go first, then the cut
        {"Missing", "default", 4, "def"},
        {"Missing", "ab   ", 3, "ab"},
        {"Missing", "ab   ", 0, ""},
        {"U", "", 3, "a"},            // never half of a two-byte character
        {"U", "", 4, "a\xC3\xA9"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(snap.Get("S", c.key, c.def, c.buffer), c.expected)
            << c.key << " buffer " << c.buffer;
}

TEST(PrivateProfileRead, ReadsFilesAndFallsBackWhenMissing) {
    TempFolder folder;
    const std::string path = folder.Path("settings.ini");
    EXPECT_EQ(GetPrivateProfileString("TASKSINFO", "LAST_FOLDER", "none ", kBuffer, path), "none");

    TempFolder::WriteBytes(path, "\xEF\xBB\xBF[TASKSINFO]\r\nLAST_FOLDER=/home/me/Videos\r\n");
    EXPECT_EQ(GetPrivateProfileString("TASKSINFO", "LAST_FOLDER", "", kBuffer, path), "/home/me/Videos");
    EXPECT_EQ(GetPrivateProfileString("TASKSINFO", "LAST_CONV_FOLDER", "", kBuffer, path), "");

    // A folder where the file should be is unreadable: the default, not a crash.
    EXPECT_EQ(GetPrivateProfileString("TASKSINFO", "X", "d", kBuffer, folder.Root().string()), "d");
    EXPECT_EQ(ProfileSnapshot::Load(folder.Path("absent.ini")).Get("TASKSINFO", "TASKS_NUMBER", "0", kBuffer),
              "0");
}

TEST(PrivateProfileRead, LoadsALargeTaskStoreQuickly) {
    // The size of a task store with ten thousand tasks, written the way the store writes it.
    std::string text = "[TASKSINFO]\r\nTASKS_NUMBER=10000\r\n";
    const char* keys[] = {"TASKURL_", "TASKFILENAME_", "TASKFILEPATH_", "m_csSourceFile",
                          "m_csTargetFile", "m_csAudioBitRate", "m_csAudioChannel", "m_csAudioCodec",
                          "m_csAudioSampleRate", "m_csTargetName", "m_csTargetType", "m_csVideoBitRate",
                          "m_csVideoCodec", "m_csVideoFrameRate", "m_csVideoSize", "TASKFILESIZE_",
                          "TASKFINISHED_"};
    for (int i = 0; i < 10000; ++i)
        for (const char* key : keys)
            text += std::string(key) + std::to_string(i) + "=value of " + key + std::to_string(i) + "\r\n";

    const auto start = std::chrono::steady_clock::now();
    const ProfileSnapshot snap = ProfileSnapshot::Parse(text);
    std::size_t found = 0;
    for (int i = 0; i < 10000; ++i)
        for (const char* key : keys)
            found += snap.Get("TASKSINFO", std::string(key) + std::to_string(i), "", kBuffer) ==
                     "value of " + std::string(key) + std::to_string(i);
    const auto elapsed = std::chrono::steady_clock::now() - start;

    EXPECT_EQ(found, 10000u * std::size(keys));
    // Generous enough for a sanitizer build on a busy machine; a quadratic reader misses it by far.
    EXPECT_LT(elapsed, std::chrono::seconds(10));
}

}  // namespace
