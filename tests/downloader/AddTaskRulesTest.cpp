#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <QtTest>

#include "DialogsTestSupport.h"
#include "downloader/AddTaskRules.h"

class AddTaskRulesTest : public QObject {
    Q_OBJECT

private slots:
    void folderIsTrimmedAndNeverRelative()
    {
        const std::pair<const char*, const char*> folders[] = {
            {"/home/u/V/ ", "/home/u/V/"},
            {" /srv/clips", "/srv/clips/"},
            {"~/Videos", "/home/u/Videos/"},  // the home folder, wherever the program runs
            {" ~ ", "/home/u/"},
            {"Videos", ""},  // would follow the directory the program was started in
            {"./Videos/", ""},
            {"~other/Videos", ""},
            {" \t\r\n", ""},
        };
        for (const auto& [typed, folder] : folders)
            QVERIFY2(NormaliseFolder(typed, "/home/u") == folder, typed);
        QCOMPARE(ChooseBaseName(false, " \t ", "ID42"), std::string("ID42"));
    }

    void baseNameLosesWhatNoFileNameMayHold()
    {
        QCOMPARE(CleanBaseName("\\/:*?\"<>|"), std::string("_________"));
        QCOMPARE(CleanBaseName("a\tb\nc\x7f"
                               "d"),
                 std::string("a_b_c_d"));
        QCOMPARE(CleanBaseName("caf\xc3\xa9 abc&feature=related.."),
                 std::string("caf\xc3\xa9 abc&feature=related.."));
        // Too long: cut to the limit, but never inside a character.
        QCOMPARE(CleanBaseName(std::string(300, 'a')), std::string(kMaxBaseNameBytes, 'a'));
        std::string wide = "x";
        for (int i = 0; i < 150; ++i)
            wide += "\xc3\xa9";
        QCOMPARE(CleanBaseName(wide), wide.substr(0, kMaxBaseNameBytes - 1));
    }

    void collisionsCountFromZero()
    {
        // What is taken in "/dl/", the download's and the target's type, the settled name.
        const std::vector<std::tuple<std::set<std::string>, std::string, std::string, std::string>> rows = {
            {{"clip.flv"}, ".flv", ".mp4", "clip(0)"},
            {{"clip.mp4"}, ".flv", ".avi", "clip"},
            {{"clip.flv", "clip(0).mp4"}, ".flv", ".mp4", "clip(1)"},
            {{"clip.flv", "clip(0).flv", "clip(0)(0).flv"}, ".flv", ".flv", "clip(1)"},
            {{"clip.flv", "clip(1).flv"}, ".flv", ".mp4", "clip(0)"},
            // A direct .mp4: converted to MP4 its target is set apart; converted to nothing,
            // it is its own target.
            {{"clip.flv", "clip-0.mp4"}, ".mp4", ".mp4", "clip(0)"},
            {{"clip.flv", "clip(0).mp4"}, ".mp4", ".flv", "clip"},
        };
        for (const auto& [taken, source, type, settled] : rows) {
            const auto occupied = [&](const std::string& path) {
                return path.rfind("/dl/", 0) == 0 && taken.count(path.substr(4)) > 0;
            };
            QCOMPARE(SettleFileNames("/dl/", "clip", source, type, occupied).base, settled);
        }
    }

    void profileOutsideTheListIsNone()
    {
        const std::vector<ConvertProfile> profiles = BuildProfileCatalogue(CatalogueProgram::Tavolin);
        // No selection: the target type falls back to ".mp4" and nothing else is set.
        for (int outside : {-1, static_cast<int>(profiles.size())}) {
            const ConvertJob none = ReadProfileChoice(profiles, outside, OptionSelection{});
            QCOMPARE(none.m_csTargetType, std::string(".mp4"));
            QVERIFY(none.m_csTargetName.empty() && none.m_csAudioCodec.empty());
        }
    }
};

static RegisterTest registerAddTaskRulesTest([] { return new AddTaskRulesTest; });

#include "AddTaskRulesTest.moc"
#include "platform/FileSystem.h"
