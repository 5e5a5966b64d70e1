#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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
