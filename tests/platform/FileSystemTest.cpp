#include "platform/FileSystem.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "support/TempFolder.h"

TEST(FileSystem, AnythingAtSeesFilesFoldersAndDanglingLinksOnly)
{
    const TempFolder folder;
    const std::filesystem::path root = folder.Root();
    std::ofstream(root / "file") << "x";
    std::filesystem::create_directory(root / "folder");
    std::filesystem::create_symlink(root / "nowhere", root / "dangling");
    for (const char* name : {"file", "folder", "dangling"})
        EXPECT_TRUE(platform::AnythingAt((root / name).string())) << name;
    EXPECT_FALSE(platform::AnythingAt((root / "free").string()));
    EXPECT_FALSE(platform::AnythingAt((root / "file" / "below").string()));
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
