#include <set>

#include <QtTest>

#include "DialogsTestSupport.h"
#include "downloader/AddTaskRules.h"

using addtask::ChooseBaseName;
using addtask::CleanBaseName;
using addtask::NormaliseFolder;
using addtask::SettleBaseName;

class AddTaskRulesTest : public QObject {
    Q_OBJECT

private slots:
    void folderIsTrimmedAndEndsInOneSlash_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("folder");
        QTest::newRow("plain") << "/home/u/Videos" << "/home/u/Videos/";
        QTest::newRow("already") << "/home/u/Videos/" << "/home/u/Videos/";
        QTest::newRow("blanks") << " \t/home/u/V \r\n" << "/home/u/V/";
        QTest::newRow("inner blank kept") << "/home/u/My Videos" << "/home/u/My Videos/";
        QTest::newRow("root") << "/" << "/";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("only blanks") << "   " << "";
        QTest::newRow("two slashes stay") << "/a//" << "/a//";
    }
    void folderIsTrimmedAndEndsInOneSlash()
    {
        QFETCH(QString, typed);
        QFETCH(QString, folder);
        QCOMPARE(QString::fromStdString(NormaliseFolder(typed.toStdString())), folder);
    }

    void baseNameComesFromIdOrTypedName_data()
    {
        QTest::addColumn<bool>("autoRename");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("base");
        QTest::newRow("auto ignores typed") << true << "holiday" << "ID42";
        QTest::newRow("typed") << false << "holiday" << "holiday";
        QTest::newRow("typed trimmed") << false << "  holiday trip \t" << "holiday trip";
        QTest::newRow("empty falls back") << false << "" << "ID42";
        QTest::newRow("blank falls back") << false << " \t " << "ID42";
    }
    void baseNameComesFromIdOrTypedName()
    {
        QFETCH(bool, autoRename);
        QFETCH(QString, typed);
        QFETCH(QString, base);
        QCOMPARE(QString::fromStdString(ChooseBaseName(autoRename, typed.toStdString(), "ID42")), base);
    }

    void baseNameLosesWhatNoFileNameMayHold_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("clean");
        QTest::newRow("separators and colon") << QByteArray("a/b:c") << QByteArray("a_b_c");
        QTest::newRow("every reserved") << QByteArray("\\/:*?\"<>|") << QByteArray("_________");
        QTest::newRow("query of an id") << QByteArray("abc&feature=related") << QByteArray("abc&feature=related");
        QTest::newRow("controls") << QByteArray("a\tb\nc\x7f" "d") << QByteArray("a_b_c_d");
        QTest::newRow("utf8 kept") << QByteArray("caf\xc3\xa9") << QByteArray("caf\xc3\xa9");
        QTest::newRow("dots kept") << QByteArray("..") << QByteArray("..");
    }
    void baseNameLosesWhatNoFileNameMayHold()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, clean);
        QCOMPARE(QByteArray::fromStdString(CleanBaseName(name.toStdString())), clean);
    }

    void overlongBaseNameIsCutOnACharacterBoundary()
    {
        const std::string ascii(300, 'a');
        QCOMPARE(CleanBaseName(ascii), std::string(addtask::kMaxBaseNameBytes, 'a'));

        // Two-byte characters from an odd offset: the cut must not split one.
        std::string wide = "x";
        for (int i = 0; i < 150; ++i)
            wide += "\xc3\xa9";
        const std::string cut = CleanBaseName(wide);
        QVERIFY(cut.size() <= addtask::kMaxBaseNameBytes);
        QVERIFY(cut.size() >= addtask::kMaxBaseNameBytes - 1);
        QCOMPARE(QString::fromUtf8(cut.data(), static_cast<int>(cut.size())).toUtf8().toStdString(), cut);
        QVERIFY(!QString::fromUtf8(cut.data(), static_cast<int>(cut.size())).contains(QChar::ReplacementCharacter));
    }

    void collisionsCountFromZero_data()
    {
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("settled");
        QTest::newRow("free") << QStringList{} << ".mp4" << "clip";
        QTest::newRow("flv taken") << QStringList{"clip.flv"} << ".mp4" << "clip(0)";
        QTest::newRow("target taken") << QStringList{"clip.mp4"} << ".mp4" << "clip(0)";
        QTest::newRow("other type free") << QStringList{"clip.mp4"} << ".avi" << "clip";
        QTest::newRow("flv profile") << QStringList{"clip.mp4"} << ".flv" << "clip";
        QTest::newRow("second") << QStringList{"clip.flv", "clip(0).flv"} << ".mp4" << "clip(1)";
        QTest::newRow("mixed") << QStringList{"clip.mp4", "clip(0).flv", "clip(1).mp4"} << ".mp4" << "clip(2)";
        QTest::newRow("counter from the base") << QStringList{"clip.flv", "clip(0).flv", "clip(0)(0).flv"} << ".flv"
                                               << "clip(1)";
        QTest::newRow("gap ignored") << QStringList{"clip.flv", "clip(1).flv"} << ".mp4" << "clip(0)";
    }
    void collisionsCountFromZero()
    {
        QFETCH(QStringList, existing);
        QFETCH(QString, type);
        QFETCH(QString, settled);
        std::set<std::string> taken;
        for (const QString& name : existing)
            taken.insert("/dl/" + name.toStdString());
        std::vector<std::string> asked;
        const auto occupied = [&](const std::string& path) {
            asked.push_back(path);
            return taken.count(path) != 0;
        };
        QCOMPARE(QString::fromStdString(SettleBaseName("/dl/", "clip", type.toStdString(), occupied)), settled);
        QVERIFY(!asked.empty());
        QCOMPARE(asked.front(), std::string("/dl/clip.flv"));
    }

    void anythingAtSeesFilesFoldersAndDanglingLinks()
    {
        QTemporaryDir dir;
        const std::filesystem::path root = dir.path().toStdString();
        WriteWholeFile(root / "file", "x");
        std::filesystem::create_directory(root / "folder");
        std::filesystem::create_symlink(root / "nowhere", root / "dangling");
        QVERIFY(addtask::AnythingAt((root / "file").string()));
        QVERIFY(addtask::AnythingAt((root / "folder").string()));
        QVERIFY(addtask::AnythingAt((root / "dangling").string()));
        QVERIFY(!addtask::AnythingAt((root / "free").string()));
        QVERIFY(!addtask::AnythingAt((root / "file" / "below").string()));
    }

    void profileChoiceReadsBack()
    {
        const std::vector<ConvertProfile> profiles = BuildProfileCatalogue(CatalogueProgram::Tavolin);

        // The FLV entry has empty boxes: the four values stay empty, audio is "Auto".
        const ConvertJob flv = addtask::ReadProfileChoice(profiles, 0, OptionSelection{});
        QCOMPARE(flv.m_csTargetType, std::string(".flv"));
        QCOMPARE(flv.m_csTargetName, std::string("FLV - Flash Video Format Orignal (*.flv)"));
        QCOMPARE(flv.m_csAudioCodec, std::string("Auto"));
        QCOMPARE(flv.m_csAudioSampleRate, std::string("Auto"));
        QCOMPARE(flv.m_csAudioChannel, std::string("Auto"));
        QVERIFY(flv.m_csVideoSize.empty() && flv.m_csVideoCodec.empty());
        QVERIFY(flv.m_csVideoBitRate.empty() && flv.m_csAudioBitRate.empty());
        QVERIFY(flv.m_csVideoFrameRate.empty() && flv.m_csSourceFile.empty());

        OptionSelection picked;
        picked.m_csVideoSize = "640x480";
        picked.m_csVideoCodec = "mpeg4";
        picked.m_csAudioBitRate = "96";
        const ConvertJob avi = addtask::ReadProfileChoice(profiles, 11, picked);
        QCOMPARE(avi.m_csTargetType, std::string(".avi"));
        QCOMPARE(avi.m_csVideoSize, std::string("640x480"));
        QCOMPARE(avi.m_csVideoCodec, std::string("mpeg4"));
        QCOMPARE(avi.m_csVideoBitRate, std::string());
        QCOMPARE(avi.m_csAudioBitRate, std::string("96"));
        QCOMPARE(avi.m_csAudioSampleRate, std::string("44100"));

        // No selection: the target type falls back to ".mp4" and nothing else is set.
        for (int outside : {-1, static_cast<int>(profiles.size())}) {
            const ConvertJob none = addtask::ReadProfileChoice(profiles, outside, OptionSelection{});
            QCOMPARE(none.m_csTargetType, std::string(".mp4"));
            QVERIFY(none.m_csTargetName.empty() && none.m_csAudioCodec.empty());
        }
    }
};

static RegisterDialogTest registerAddTaskRulesTest([] { return new AddTaskRulesTest; });

#include "AddTaskRulesTest.moc"
