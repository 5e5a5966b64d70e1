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
    void folderAndNameAreTrimmed()
    {
        QCOMPARE(NormaliseFolder("/home/u/V/ "), std::string("/home/u/V/"));
        QCOMPARE(NormaliseFolder(" \t\r\n"), std::string());
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

    void filesAreFreeAndTheTargetNeverTheDownload()
    {
        // What is taken in "/dl/", the download's and the target's extension; the settled
        // base name, download and target.
        struct Row {
            std::set<std::string> taken;
            const char* sourceType;
            const char* targetType;
            const char* base;
            const char* source;
            const char* target;
        };
        const Row rows[] = {
            {{"clip.flv"}, ".flv", ".mp4", "clip(0)", "clip(0).flv", "clip(0).mp4"},
            {{"clip.mp4"}, ".flv", ".avi", "clip", "clip.flv", "clip.avi"},
            {{"clip.flv", "clip(0).mp4"}, ".flv", ".mp4", "clip(1)", "clip(1).flv", "clip(1).mp4"},
            {{"clip.flv", "clip(0).flv", "clip(0)(0).flv"},
             ".flv",
             ".flv",
             "clip(1)",
             "clip(1).flv",
             "clip(1).flv"},
            {{"clip.flv", "clip(1).flv"}, ".flv", ".mp4", "clip(0)", "clip(0).flv", "clip(0).mp4"},
            // A direct file: converted to nothing, it is its own target; to its own type, the
            // target is set apart.
            {{"clip.flv"}, ".mp4", ".flv", "clip", "clip.mp4", "clip.mp4"},
            {{}, ".mp4", ".mp4", "clip", "clip.mp4", "clip-0.mp4"},
            {{"clip-0.mp4"}, ".MP4", ".mp4", "clip(0)", "clip(0).MP4", "clip(0)-0.mp4"},
            {{"clip.flv"}, ".webm", ".mp4", "clip", "clip.webm", "clip.mp4"},
        };
        for (const Row& row : rows) {
            const auto occupied = [&](const std::string& path) {
                return path.rfind("/dl/", 0) == 0 && row.taken.count(path.substr(4)) > 0;
            };
            const SettledNames names =
                SettleFileNames("/dl/", "clip", row.sourceType, row.targetType, occupied);
            QCOMPARE(names.base, std::string(row.base));
            QCOMPARE(names.sourceFile, "/dl/" + std::string(row.source));
            QCOMPARE(names.targetFile, "/dl/" + std::string(row.target));
        }
    }

    void directAddressNamesItsFile()
    {
        const std::tuple<const char*, const char*, const char*> rows[] = {
            {"https://cdn.example/v/My%20Clip.MP4?sig=a.flv#t=1", "My Clip", ".MP4"},
            {"http://h/a/.hidden.webm", "_hidden", ".webm"},
            {"http://h/a%2Fb%3A%3Fc.mkv", "a_b:?c", ".mkv"},  // CleanBaseName takes the rest
            {"http://h/watch?v=abc", "", ""},
            {"ftp://h/a.mp4", "", ""},
        };
        for (const auto& [address, base, extension] : rows) {
            const DirectName name = DirectDownloadName(address);
            QCOMPARE(name.base, std::string(base));
            QCOMPARE(name.extension, std::string(extension));
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
