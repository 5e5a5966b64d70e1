#include "platform/FileSystem.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "support/TempFolder.h"

// What a new file must not be created over, and where files may be put and found again.
TEST(FileSystem, AnythingAtSeesEveryEntryAndCanListOnlyFoldersThatShowTheirEntries)
{
    const TempFolder folder;
    const std::filesystem::path root = folder.Root();
    std::ofstream(root / "file") << "x";
    std::filesystem::create_directory(root / "folder");
    std::filesystem::create_symlink(root / "nowhere", root / "dangling");
    std::filesystem::create_directory_symlink(root / "folder", root / "link");
    const struct {
        const char* name;
        bool anything;
        bool list;
    } entries[] = {
        {"file", true, false}, {"folder", true, true}, {"dangling", true, false},
        {"link", true, true},  {"free", false, false},
    };
    for (const auto& entry : entries) {
        EXPECT_EQ(platform::AnythingAt((root / entry.name).string()), entry.anything) << entry.name;
        EXPECT_EQ(platform::CanList((root / entry.name).string()), entry.list) << entry.name;
    }
}

// Only a whole regular file is Read. A read that fails after the open (the process's own
// memory at address 0 answers EIO) is Failed and hands back nothing, and a pipe in the
// file's place fails at once instead of waiting for a writer.
TEST(FileSystem, ReadWholeFileNeverHandsBackPartOfAFile)
{
    const TempFolder folder;
    const std::filesystem::path root = folder.Root();
    const std::string big(200000, 'x');
    std::ofstream(root / "file") << big;
    std::filesystem::create_directory(root / "folder");
    ASSERT_EQ(::mkfifo((root / "fifo").c_str(), 0600), 0);
    const std::pair<std::string, platform::FileRead> cases[] = {
        {(root / "file").string(), platform::FileRead::Read},
        {(root / "missing").string(), platform::FileRead::Missing},
        {(root / "folder").string(), platform::FileRead::Failed},
        {(root / "fifo").string(), platform::FileRead::Failed},
        {"/proc/self/mem", platform::FileRead::Failed},
    };
    for (const auto& [path, expected] : cases) {
        std::string text = "before";
        std::string error;
        EXPECT_EQ(platform::ReadWholeFile(path, text, &error), expected) << path;
        EXPECT_EQ(text, expected == platform::FileRead::Read ? big : "") << path;
        EXPECT_EQ(error.find(path) != std::string::npos, expected == platform::FileRead::Failed) << error;
    }
}
