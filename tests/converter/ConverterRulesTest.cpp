#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "converter/OutputName.h"
#include "converter/ProgressStep.h"
#include "converter/SourceSwitch.h"
#include "converter/StartDecision.h"

namespace {

TEST(SourceSwitch, OnlyTheSwitchWithExactlyOnePath)
{
    const std::vector<std::pair<std::vector<std::string>, std::optional<std::string>>> rows = {
        {{"-SOURCE", " /v/keep blanks.flv "}, " /v/keep blanks.flv "},
        {{"-source"}, std::nullopt},
        {{"-source", "/v/a.flv", "/v/b.flv"}, std::nullopt},
        {{"/v/a.flv", "-source"}, std::nullopt},
        {{"--source", "/v/a.flv"}, std::nullopt},
    };
    for (const auto& [args, source] : rows)
        EXPECT_EQ(SourceFromArguments(args), source) << args.front();
}

TEST(StartDecision, ChecksInOrderAndRemembersTheFolderOnceItPassed)
{
    const std::set<std::string> folders = {"/out/", "/my videos/", "/v/folder.flv"};
    const std::set<std::string> files = {"/v/My Clip.FLV", "/v/clip.flv", "/v/clip.mp4"};
    const FileQueries disk{
        [&](const std::string& path) { return folders.count(path) > 0; },
        [&](const std::string& path) { return folders.count(path) + files.count(path) > 0; }};
    struct Row {
        const char* name;
        const char* destinationBox;
        const char* sourceBox;
        StartRefusal refusal;
        const char* destination;
        const char* source;
    };
    const std::vector<Row> rows = {
        {"empty destination", "   ", "/v/clip.flv", StartRefusal::BadDestination, "", ""},
        {"relative destination", "out", "/v/clip.flv", StartRefusal::BadDestination, "out/", ""},
        {"a file is no folder, checked first", "/v/clip.mp4", "", StartRefusal::BadDestination,
         "/v/clip.mp4/", ""},
        {"empty source", "/out", "  ", StartRefusal::NoSource, "/out/", ""},
        {"flv only inside the name", "/out/", "/v/clip.flv.mp4", StartRefusal::NotFlv, "/out/",
         "/v/clip.flv.mp4"},
        {"missing source", "/out/", "/v/none.flv", StartRefusal::MissingSource, "/out/", "/v/none.flv"},
        {"trimmed, case kept", " \t/my videos\n", " /v/My Clip.FLV ", StartRefusal::None, "/my videos/",
         "/v/My Clip.FLV"},
        {"a folder named .flv exists", "/out/", "/v/folder.flv", StartRefusal::None, "/out/",
         "/v/folder.flv"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const StartDecision decision = DecideStart({row.destinationBox, row.sourceBox}, disk);
        EXPECT_EQ(decision.m_refusal, row.refusal);
        EXPECT_EQ(decision.m_bRememberFolder, row.refusal != StartRefusal::BadDestination);
        EXPECT_EQ(decision.m_csDestination, row.destination);
        EXPECT_EQ(decision.m_csSource, row.source);
    }
}

TEST(StartDecision, RefusalMessagesKeepTheirWording)
{
    EXPECT_EQ(RefusalMessage(StartRefusal::BadDestination),
              "Invaild Destination Folder, please select a valid location to save file.");
    EXPECT_EQ(RefusalMessage(StartRefusal::NoSource), "Please load a flv file.");
    EXPECT_EQ(RefusalMessage(StartRefusal::NotFlv), "Please load a valid flv file !");
    EXPECT_TRUE(RefusalMessage(StartRefusal::None).empty());
}

TEST(OutputName, FirstFreeNameFillsGapsFromZero)
{
    EXPECT_EQ(TargetBaseName("/v/clip.v2.flv"), "clip.v2");
    EXPECT_EQ(TargetBaseName("/v.d/clip"), "clip");
    const std::set<std::string> taken = {"/out/clip.mp4", "/out/clip-1.mp4"};
    auto exists = [&taken](const std::string& path) { return taken.count(path) > 0; };
    EXPECT_EQ(ChooseTargetPath("/out/", "/v/clip.flv", ".mp4", exists), "/out/clip-0.mp4");
    EXPECT_EQ(ChooseTargetPath("/out/", "/v/clip.flv", ".wmv", exists), "/out/clip.wmv");
}

// The window sees the steps of ten and the start over at 100; these positions it never shows.
TEST(ProgressStep, OddAndResetPositions)
{
    EXPECT_EQ(NextProgressPosition(95), 0);
    EXPECT_EQ(NextProgressPosition(-1), 10);  // a reset bar sits below its range
}

}  // namespace
