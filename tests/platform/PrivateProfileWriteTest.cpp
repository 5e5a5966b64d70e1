#include "platform/PrivateProfile.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

namespace {

using platform::GetPrivateProfileString;
using platform::WritePrivateProfileString;

TEST(PrivateProfileWrite, ChangesOnlyWhatItMust) {
    struct Case {
        const char* name;
        const char* before;  // nullptr: no file
        const char* section;
        const char* key;
        const char* value;
        const char* after;
    };
    const Case cases[] = {
        {"new file", nullptr, "TASKSINFO", "TASKS_NUMBER", "1",
         "[TASKSINFO]\r\nTASKS_NUMBER=1\r\n"},
        {"empty file", "", "S", "K", "V", "[S]\r\nK=V\r\n"},
        {"replace keeps spelling and neighbours",
         "; top\r\n[tasksinfo]\r\nA=1\r\n  Tasks_Number = 7 \r\nB=2\r\n",
         "TASKSINFO", "TASKS_NUMBER", "8",
         "; top\r\n[tasksinfo]\r\nA=1\r\nTasks_Number=8\r\nB=2\r\n"},
        {"replace on a last line without break", "[S]\r\nK=old", "S", "k", "new", "[S]\r\nK=new"},
        {"replace only the first duplicate", "[S]\r\nK=1\r\nK=2\r\n", "S", "K", "3",
         "[S]\r\nK=3\r\nK=2\r\n"},
        {"insert after the last key line",
         "[S]\r\nA=1\r\n; note\r\nB=2\r\n\r\n; trailing comment\r\n[T]\r\nX=1\r\n",
         "S", "C", "3",
         "[S]\r\nA=1\r\n; note\r\nB=2\r\nC=3\r\n\r\n; trailing comment\r\n[T]\r\nX=1\r\n"},
        {"insert into a section without keys", "[S]\r\n\r\n[T]\r\n", "s", "K", "V",
         "[S]\r\nK=V\r\n\r\n[T]\r\n"},
        {"insert after a last line without break", "[S]\r\nA=1", "S", "B", "2", "[S]\r\nA=1\r\nB=2\r\n"},
        {"insert goes to the first block of a repeated section", "[S]\nA=1\n[T]\n[S]\nZ=9\n", "S", "Z", "1",
         "[S]\nA=1\nZ=1\n[T]\n[S]\nZ=9\n"},
        {"key of another section is not touched", "[T]\nK=1\n", "S", "K", "2", "[T]\nK=1\n[S]\nK=2\n"},
        {"append section after a line break", "[T]\r\nX=1\r\n", "S", "K", "V",
         "[T]\r\nX=1\r\n[S]\r\nK=V\r\n"},
        {"append section adds the missing break", "[T]\r\nX=1", "S", "K", "V",
         "[T]\r\nX=1\r\n[S]\r\nK=V\r\n"},
        {"a file of LF lines stays LF", "[T]\nX=1", "S", "K", "V", "[T]\nX=1\n[S]\nK=V\n"},
        {"values are raw", "[S]\r\n", "S", "K", " \"quoted\" = ;x ", "[S]\r\nK= \"quoted\" = ;x \r\n"},
        {"empty value", "[S]\r\nK=old\r\n", "S", "K", "", "[S]\r\nK=\r\n"},
        {"names are trimmed", nullptr, " S ", "\tK ", "V", "[S]\r\nK=V\r\n"},
        {"a line before any section is no key", "K=orphan\r\n", "S", "K", "V",
         "K=orphan\r\n[S]\r\nK=V\r\n"},
        {"a commented key is no key", "[S]\r\n;K=old\r\n", "S", "K", "V", "[S]\r\nK=V\r\n;K=old\r\n"},
        {"byte order mark is kept", "\xEF\xBB\xBF[S]\r\nK=1\r\n", "S", "K", "2", "\xEF\xBB\xBF[S]\r\nK=2\r\n"},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        const std::string path = folder.Path("tasks.ini");
        if (c.before)
            TempFolder::WriteBytes(path, c.before);
        EXPECT_TRUE(WritePrivateProfileString(c.section, c.key, c.value, path)) << c.name;
        EXPECT_EQ(TempFolder::ReadBytes(path), c.after) << c.name;
    }
}

TEST(PrivateProfileWrite, ReadsBackWhatItWrote) {
    TempFolder folder;
    const std::string path = folder.Path("tasks.ini");
    const char* values[] = {"", "plain", "with = sign", "/home/me/My Videos/a b.flv", "x;y", "caf\xC3\xA9"};
    int i = 0;
    for (const char* value : values) {
        const std::string key = "KEY_" + std::to_string(i++);
        ASSERT_TRUE(WritePrivateProfileString("TASKSINFO", key, value, path));
        ASSERT_TRUE(WritePrivateProfileString("TASKSINFO", key, value, path));
    }
    i = 0;
    for (const char* value : values)
        EXPECT_EQ(GetPrivateProfileString("tasksinfo", "key_" + std::to_string(i++), "none", 32768, path), value);
}

TEST(PrivateProfileWrite, RefusesWhatWouldForgeEntries) {
    struct Case {
        std::string section;
        std::string key;
        std::string value;
    };
    const Case cases[] = {
        {"S", "K", "v\r\nTASKS_NUMBER=99"},
        {"S", "K", "v\n[Other]"},
        {"S", "K", "v\rX=1"},
        {"S", "K=1\r\nX", "v"},
        {"S", "K=X", "v"},
        {"S", "K\nX", "v"},
        {"S", ";K", "v"},
        {"S", "[Other]", "v"},
        {"S", "", "v"},
        {"S", "   ", "v"},
        {"", "K", "v"},
        {"S]\r\n[T", "K", "v"},
        {"S\n", "K", "v"},
        {"S", std::string("K\0X", 3), "v"},
        {"S", "K", std::string("v\0w", 3)},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        const std::string path = folder.Path("tasks.ini");
        const std::string before = "[S]\r\nK=keep\r\n";
        TempFolder::WriteBytes(path, before);
        EXPECT_FALSE(WritePrivateProfileString(c.section, c.key, c.value, path))
            << "[" << c.section << "] " << c.key << "=" << c.value;
        EXPECT_EQ(TempFolder::ReadBytes(path), before) << c.key;
    }
}

TEST(PrivateProfileWrite, FailsWithoutHarmWhenTheFileCannotBeWritten) {
    TempFolder folder;
    // The parent of the path is a regular file: no write can succeed, even as root.
    const std::string blocker = folder.Path("blocker");
    TempFolder::WriteBytes(blocker, "x");
    EXPECT_FALSE(WritePrivateProfileString("S", "K", "V", blocker + "/tasks.ini"));
    EXPECT_EQ(TempFolder::ReadBytes(blocker), "x");

    // A folder standing where the file should be is neither read as empty nor replaced.
    EXPECT_FALSE(WritePrivateProfileString("S", "K", "V", folder.Root().string()));
}

}  // namespace
