#include "converter/OutputName.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

TEST(OutputName, FirstFreeNameFillsGapsFromZero)
{
    EXPECT_EQ(TargetBaseName("/v/clip.v2.flv"), "clip.v2");
    EXPECT_EQ(TargetBaseName("/v.d/clip"), "clip");
    const std::set<std::string> taken = {"/out/clip.mp4", "/out/clip-1.mp4"};
    auto exists = [&taken](const std::string& path) { return taken.count(path) > 0; };
    EXPECT_EQ(ChooseTargetPath("/out/", "/v/clip.flv", ".mp4", exists), "/out/clip-0.mp4");
    EXPECT_EQ(ChooseTargetPath("/out/", "/v/clip.flv", ".wmv", exists), "/out/clip.wmv");
    // Only the source's base name counts; an MP4 source in the destination is never its own target.
    EXPECT_EQ(ChooseTargetPath("/out/", "/v/clip.WebM", ".wmv", exists), "/out/clip.wmv");
    EXPECT_EQ(ChooseTargetPath("/out/", "/out/clip.mp4", ".mp4", exists), "/out/clip-0.mp4");
}

}  // namespace
