#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "converter/OutputName.h"
#include "converter/ProgressStep.h"
#include "converter/SourceSwitch.h"
#include "converter/StartDecision.h"

namespace {

TEST(SourceSwitch, OnlyTheSwitchWithExactlyOnePath)
{
    struct Row {
        std::vector<std::string> args;
        std::optional<std::string> source;
    };
    const std::vector<Row> rows = {
        {{"-source", "/v/a b.flv"}, "/v/a b.flv"},
        {{"-SOURCE", "/v/a.flv"}, "/v/a.flv"},
        {{"-Source", " /v/keep blanks.flv "}, " /v/keep blanks.flv "},
        {{"-source", ""}, ""},
        {{"-source"}, std::nullopt},
        {{"-source", "/v/a.flv", "/v/b.flv"}, std::nullopt},
        {{"/v/a.flv", "-source"}, std::nullopt},
        {{"--source", "/v/a.flv"}, std::nullopt},
        {{"-sourc", "/v/a.flv"}, std::nullopt},
        {{}, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args.empty() ? std::string("(none)") : row.args.front());
        EXPECT_EQ(SourceFromArguments(row.args), row.source);
    }
}

struct FakeDisk {
    std::set<std::string> folders;
    std::set<std::string> files;

    FileQueries Queries() const
    {
        return FileQueries{
            [this](const std::string& path) { return folders.count(path) > 0; },
            [this](const std::string& path) { return folders.count(path) > 0 || files.count(path) > 0; },
        };
    }
};

TEST(StartDecision, ChecksInOrderAndRemembersTheFolderOnceItPassed)
{
    FakeDisk disk;
    disk.folders = {"/out/", "/my videos/", "/v/folder.flv"};
    disk.files = {"/v/My Clip.FLV", "/v/clip.flv", "/v/clip.mp4"};

    struct Row {
        const char* name;
        StartRequest request;
        StartRefusal refusal;
        bool remember;
        std::string destination;
        std::string source;
    };
    const std::vector<Row> rows = {
        {"missing folder wins over a bad source", {"/nowhere", ""}, StartRefusal::BadDestination, false, "/nowhere/", ""},
        {"empty destination", {"   ", "/v/clip.flv"}, StartRefusal::BadDestination, false, "", ""},
        {"relative destination", {"out", "/v/clip.flv"}, StartRefusal::BadDestination, false, "out/", ""},
        {"a file is no folder", {"/v/clip.mp4", "/v/clip.flv"}, StartRefusal::BadDestination, false, "/v/clip.mp4/", ""},
        {"empty source", {"/out", "  "}, StartRefusal::NoSource, true, "/out/", ""},
        {"not flv", {"/out/", "/v/clip.mp4"}, StartRefusal::NotFlv, true, "/out/", "/v/clip.mp4"},
        {"flv only inside the name", {"/out/", "/v/clip.flv.mp4"}, StartRefusal::NotFlv, true, "/out/", "/v/clip.flv.mp4"},
        {"missing source", {"/out/", "/v/none.flv"}, StartRefusal::MissingSource, true, "/out/", "/v/none.flv"},
        {"case of the path is kept", {"/out/", "/v/my clip.flv"}, StartRefusal::MissingSource, true, "/out/", "/v/my clip.flv"},
        {"upper-case extension", {" \t/my videos\n", " /v/My Clip.FLV "}, StartRefusal::None, true, "/my videos/", "/v/My Clip.FLV"},
        {"a folder named .flv exists", {"/out/", "/v/folder.flv"}, StartRefusal::None, true, "/out/", "/v/folder.flv"},
        {"plain", {"/out", "/v/clip.flv"}, StartRefusal::None, true, "/out/", "/v/clip.flv"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const StartDecision decision = DecideStart(row.request, disk.Queries());
        EXPECT_EQ(decision.m_refusal, row.refusal);
        EXPECT_EQ(decision.m_bRememberFolder, row.remember);
        EXPECT_EQ(decision.m_csDestination, row.destination);
        if (row.refusal != StartRefusal::BadDestination) {
            EXPECT_EQ(decision.m_csSource, row.source);
        }
    }
}

TEST(StartDecision, MessagesAreTheSystemsOwn)
{
    EXPECT_EQ(RefusalMessage(StartRefusal::BadDestination),
              "Invaild Destination Folder, please select a valid location to save file.");
    EXPECT_EQ(RefusalMessage(StartRefusal::NoSource), "Please load a flv file.");
    EXPECT_EQ(RefusalMessage(StartRefusal::NotFlv), "Please load a valid flv file !");
    EXPECT_EQ(RefusalMessage(StartRefusal::MissingSource), "Source file does not exists, please load a valid file");
    EXPECT_TRUE(RefusalMessage(StartRefusal::None).empty());
}

TEST(OutputName, BaseNameKeepsCaseAndDropsFolderAndExtension)
{
    EXPECT_EQ(TargetBaseName("/v/My Clip.FLV"), "My Clip");
    EXPECT_EQ(TargetBaseName("/v/clip.v2.flv"), "clip.v2");
    EXPECT_EQ(TargetBaseName("/v.d/clip"), "clip");
    EXPECT_EQ(TargetBaseName("clip.flv"), "clip");
}

TEST(OutputName, FirstFreeNameCountsFromZero)
{
    std::set<std::string> taken;
    auto exists = [&taken](const std::string& path) { return taken.count(path) > 0; };
    const std::string source = "/v/My Clip.FLV";

    EXPECT_EQ(ChooseTargetPath("/out/", source, ".mp4", exists), "/out/My Clip.mp4");
    taken.insert("/out/My Clip.mp4");
    EXPECT_EQ(ChooseTargetPath("/out/", source, ".mp4", exists), "/out/My Clip-0.mp4");
    taken.insert("/out/My Clip-0.mp4");
    EXPECT_EQ(ChooseTargetPath("/out/", source, ".mp4", exists), "/out/My Clip-1.mp4");
    // Another extension is another name; a lower-case twin is another file.
    EXPECT_EQ(ChooseTargetPath("/out/", source, ".wmv", exists), "/out/My Clip.wmv");
    EXPECT_EQ(ChooseTargetPath("/out/", "/v/my clip.flv", ".mp4", exists), "/out/my clip.mp4");
    // A gap is filled before higher numbers are tried.
    taken.erase("/out/My Clip-0.mp4");
    taken.insert("/out/My Clip-1.mp4");
    EXPECT_EQ(ChooseTargetPath("/out/", source, ".mp4", exists), "/out/My Clip-0.mp4");
}

TEST(ProgressStep, StepsOfTenThatStartOverPastTheEnd)
{
    std::vector<int> seen;
    int position = 0;
    for (int i = 0; i < 13; ++i) {
        position = NextProgressPosition(position);
        seen.push_back(position);
    }
    EXPECT_EQ(seen, (std::vector<int>{10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 0, 10, 20}));
    EXPECT_EQ(NextProgressPosition(95), 0);
    EXPECT_EQ(NextProgressPosition(90), 100);
    // A reset bar (below its range) counts as its beginning.
    EXPECT_EQ(NextProgressPosition(-1), 10);
}

TEST(StartDecision, TrimBlanksCutsBothEndsOnly)
{
    EXPECT_EQ(TrimBlanks("  a b \t\r\n"), "a b");
    EXPECT_EQ(TrimBlanks(" \t "), "");
    EXPECT_EQ(TrimBlanks("x"), "x");
}

}  // namespace
