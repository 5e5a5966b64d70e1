#include "converter/StartDecision.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

TEST(StartDecision, ChecksInOrderAndRemembersTheFolderOnceItPassed)
{
    const std::set<std::string> folders = {"/out/", "/my videos/", "/v/folder.flv"};
    const std::set<std::string> files = {"/v/My Clip.FLV", "/v/clip.flv", "/v/clip.mp4", "/v/clip.WebM",
                                         "/v/clip.mp4.txt"};
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
        {"a video type only inside the name", "/out/", "/v/clip.mp4.txt", StartRefusal::NotVideo, "/out/",
         "/v/clip.mp4.txt"},
        {"any video type, in any letter case", "/out/", "/v/clip.WebM", StartRefusal::None, "/out/",
         "/v/clip.WebM"},
        {"missing source", "/out/", "/v/none.flv", StartRefusal::MissingSource, "/out/", "/v/none.flv"},
        {"trimmed, case kept", " \t/my videos\n", " /v/My Clip.FLV ", StartRefusal::None, "/my videos/",
         "/v/My Clip.FLV"},
        {"a folder named .flv exists", "/out/", "/v/folder.flv", StartRefusal::None, "/out/",
         "/v/folder.flv"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const StartDecision decision = DecideStart({row.destinationBox, row.sourceBox}, disk);
        EXPECT_EQ(decision.refusal, row.refusal);
        EXPECT_EQ(decision.rememberFolder, row.refusal != StartRefusal::BadDestination);
        EXPECT_EQ(decision.destination, row.destination);
        EXPECT_EQ(decision.source, row.source);
    }
    EXPECT_EQ(RefusalMessage(StartRefusal::BadDestination),
              "Invaild Destination Folder, please select a valid location to save file.");
    EXPECT_EQ(RefusalMessage(StartRefusal::NoSource), "Please load a flv file.");
    EXPECT_EQ(RefusalMessage(StartRefusal::NotVideo), "Please load a valid flv file !");
}

}  // namespace
