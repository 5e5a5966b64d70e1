#include "scheduler/DownloadLimits.h"

#include <gtest/gtest.h>

#include "support/Files.h"
#include "support/TempFolder.h"

namespace {

TEST(DownloadLimits, SettingsOrTheDefaultsForAnythingUnusable)
{
    // The lines of the section -> retries, downloads at once
    const std::tuple<const char*, int, int> cases[] = {
        {"", 5, 0},
        {"max_retries = 0 \r\nMAX_DOWNLOADS=3", 0, 3},
        {"MAX_RETRIES=-1\r\nMAX_DOWNLOADS=2x", 5, 0},
        {"MAX_RETRIES=99999999999999999999\r\nMAX_DOWNLOADS=5000", 100, 1000},
    };
    TempFolder folder;
    const std::string path = folder.Path("settings.ini");
    for (const auto& [lines, retries, downloads] : cases) {
        WriteText(path, "[TASKSINFO]\r\nLAST_FOLDER=/home\r\n" + std::string(lines) + "\r\n");
        EXPECT_EQ(DownloadLimits::Load(path), (DownloadLimits{retries, downloads})) << lines;
    }
    EXPECT_EQ(DownloadLimits::Load(folder.Path("missing.ini")), DownloadLimits{});
}

}  // namespace
