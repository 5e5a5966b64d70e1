#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QtTest>

#include "DialogsTestSupport.h"
#include "downloader/CAddTaskDlg.h"
#include "fetch/ServiceConfig.h"
#include "fetch/WatchUrl.h"
#include "platform/PrivateProfile.h"
#include "skin/CTransCheck.h"
#include "skin/DialogUnits.h"

namespace fs = std::filesystem;

namespace {

QString WatchUrl(const QString& id)
{
    return QString::fromStdString(WatchUrlPrefix(ServiceConfig::Current().m_csServiceHost)) + id;
}

// A dialog over a fresh folder and settings file, driven through its controls.
class Harness {
public:
    Harness() : m_root(m_dir.path().toStdString()), m_settings((m_root / "settings.ini").string())
    {
        fs::create_directory(Downloads());
    }

    fs::path Downloads() const { return m_root / "dl"; }
    std::string DownloadsText() const { return Downloads().string(); }
    const std::string& Settings() const { return m_settings; }
    bool SettingsWritten() const { return fs::exists(m_settings); }
    std::string LastFolder() const
    {
        return platform::GetPrivateProfileString("TASKSINFO", "LAST_FOLDER", "", 32768, m_settings);
    }

    CAddTaskDlg& Open(const QString& url = QString())
    {
        m_dlg = std::make_unique<CAddTaskDlg>(m_settings, url);
        m_dlg->show();
        return *m_dlg;
    }
    template <typename T>
    T* Child(const char* name) const
    {
        T* child = m_dlg->findChild<T*>(QString::fromLatin1(name));
        if (child == nullptr)
            qFatal("no control %s", name);
        return child;
    }
    void Type(const char* box, const QString& text) const { Child<QLineEdit>(box)->setText(text); }
    void Click(const char* button) const { Child<QAbstractButton>(button)->click(); }
    void Profile(int index) const { Child<QComboBox>("profile")->setCurrentIndex(index); }
    // Fills address and folder, then confirms.
    void Confirm(const QString& url, const std::string& folder) const
    {
        Type("url", url);
        Type("folder", QString::fromStdString(folder));
        Click("startDownload");
    }
    bool Accepted() const { return m_dlg->result() == QDialog::Accepted && !m_dlg->isVisible(); }
    bool StillOpen() const { return m_dlg->result() != QDialog::Accepted && m_dlg->isVisible(); }

private:
    QTemporaryDir m_dir;
    fs::path m_root;
    std::string m_settings;
    std::unique_ptr<CAddTaskDlg> m_dlg;
};

}  // namespace

class AddTaskDlgTest : public QObject {
    Q_OBJECT

private slots:
    void refusedInputShowsTheMessageAndKeepsTheDialogOpen_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("folder");  // relative to the test folder; "-" for the download folder
        QTest::addColumn<QString>("message");
        const QString badUrl = QStringLiteral("Invalid URL, the URL should like this: ") + CAddTaskDlg::ExampleUrl();
        const QString badFolder =
            QStringLiteral("Invaild Folder Path, please select a valid location to save file.");
        QTest::newRow("not an address") << "hello" << "-" << badUrl;
        QTest::newRow("text in front") << "see " + WatchUrl("abc") << "-" << badUrl;
        QTest::newRow("prefix only") << WatchUrl("") << "-" << badUrl;
        QTest::newRow("address checked first") << "hello" << "missing" << badUrl;
        QTest::newRow("empty folder") << WatchUrl("abc") << "" << badFolder;
        QTest::newRow("missing folder") << WatchUrl("abc") << "missing" << badFolder;
        QTest::newRow("folder is a file") << WatchUrl("abc") << "afile" << badFolder;
    }
    void refusedInputShowsTheMessageAndKeepsTheDialogOpen()
    {
        QFETCH(QString, url);
        QFETCH(QString, folder);
        QFETCH(QString, message);
        RecordedBoxes boxes;
        Harness h;
        CAddTaskDlg& dlg = h.Open();
        WriteWholeFile(h.Downloads().parent_path() / "afile", "x");
        const std::string folderText = folder == "-" ? h.DownloadsText()
                                       : folder.isEmpty()
                                           ? std::string()
                                           : (h.Downloads().parent_path() / folder.toStdString()).string();
        h.Confirm(url, folderText);

        QCOMPARE(boxes.m_boxes.size(), std::size_t(1));
        QCOMPARE(boxes.m_boxes[0].caption, QStringLiteral("Information"));
        QCOMPARE(boxes.m_boxes[0].text, message);
        QVERIFY(h.StillOpen());
        QVERIFY(!h.SettingsWritten());
        QVERIFY(FolderEntries(h.Downloads()).empty());
        // The boxes keep what the user typed.
        QCOMPARE(h.Child<QLineEdit>("url")->text(), url);
        QVERIFY(dlg.m_csFileName.empty() && dlg.m_csSourceFile.empty());
    }

    void acceptedAddressIsTrimmedAndFolderGetsASlash()
    {
        RecordedBoxes boxes;
        Harness h;
        CAddTaskDlg& dlg = h.Open();
        h.Confirm(QStringLiteral("  ") + WatchUrl("Xy_9") + QStringLiteral(" \t"), "  " + h.DownloadsText() + " ");

        QVERIFY(boxes.m_boxes.empty());
        QVERIFY(h.Accepted());
        QCOMPARE(QString::fromStdString(dlg.m_csUrl), WatchUrl("Xy_9"));
        QCOMPARE(dlg.m_csFolder, h.DownloadsText() + "/");
        QCOMPARE(h.LastFolder(), h.DownloadsText() + "/");
        // Auto rename is on: the file is named after the video identifier.
        QCOMPARE(dlg.m_csFileName, std::string("Xy_9.flv"));
        QCOMPARE(FolderEntries(h.Downloads()), std::vector<std::string>{"Xy_9.flv"});
        QCOMPARE(ReadWholeFile(h.Downloads() / "Xy_9.flv"), std::string());
    }

    void typedNameIsCleanedAndCollisionsCount_data()
    {
        QTest::addColumn<bool>("autoRename");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("profile");
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("target");
        QTest::newRow("auto") << true << "ignored" << 1 << QStringList{} << "vid.flv" << "vid.mp4";
        QTest::newRow("typed cleaned") << false << " a/b:c " << 1 << QStringList{} << "a_b_c.flv" << "a_b_c.mp4";
        QTest::newRow("typed empty") << false << "" << 1 << QStringList{} << "vid.flv" << "vid.mp4";
        QTest::newRow("flv exists") << false << "clip" << 1 << QStringList{"clip.flv"} << "clip(0).flv"
                                    << "clip(0).mp4";
        QTest::newRow("only mp4 exists") << false << "clip" << 1 << QStringList{"clip.mp4"} << "clip(0).flv"
                                         << "clip(0).mp4";
        QTest::newRow("two taken") << false << "clip" << 1 << QStringList{"clip.flv", "clip(0).flv"}
                                   << "clip(1).flv" << "clip(1).mp4";
        QTest::newRow("mp4 ignored for avi") << false << "clip" << 11 << QStringList{"clip.mp4"} << "clip.flv"
                                             << "clip.avi";
        QTest::newRow("folder of that name") << false << "clip" << 10 << QStringList{"clip.wmv/"} << "clip(0).flv"
                                             << "clip(0).wmv";
    }
    void typedNameIsCleanedAndCollisionsCount()
    {
        QFETCH(bool, autoRename);
        QFETCH(QString, typed);
        QFETCH(int, profile);
        QFETCH(QStringList, existing);
        QFETCH(QString, fileName);
        QFETCH(QString, target);
        RecordedBoxes boxes;
        Harness h;
        for (const QString& name : existing) {
            if (name.endsWith('/'))
                fs::create_directory(h.Downloads() / name.chopped(1).toStdString());
            else
                WriteWholeFile(h.Downloads() / name.toStdString(), "old");
        }
        CAddTaskDlg& dlg = h.Open();
        if (!autoRename)
            h.Click("autoRename");
        QCOMPARE(h.Child<QLineEdit>("fileName")->isEnabled(), !autoRename);
        h.Type("fileName", typed);
        h.Profile(profile);
        h.Confirm(WatchUrl("vid"), h.DownloadsText());

        QVERIFY(h.Accepted());
        const std::string folder = h.DownloadsText() + "/";
        QCOMPARE(QString::fromStdString(dlg.m_csFileName), fileName);
        QCOMPARE(dlg.m_csSourceFile, folder + fileName.toStdString());
        QCOMPARE(dlg.m_csTargetFile, folder + target.toStdString());
        // Both files are new and empty; what was there before is untouched.
        QCOMPARE(ReadWholeFile(dlg.m_csSourceFile), std::string());
        QVERIFY(fs::is_regular_file(dlg.m_csTargetFile));
        QCOMPARE(ReadWholeFile(dlg.m_csTargetFile), std::string());
        for (const QString& name : existing) {
            if (!name.endsWith('/'))
                QCOMPARE(ReadWholeFile(h.Downloads() / name.toStdString()), std::string("old"));
        }
        QCOMPARE(FolderEntries(h.Downloads()).size(), static_cast<std::size_t>(existing.size() + 2));
    }

    void flvEntryGivesOneFileAndAutoAudio()
    {
        RecordedBoxes boxes;
        Harness h;
        CAddTaskDlg& dlg = h.Open(WatchUrl("flvid"));
        QCOMPARE(h.Child<QComboBox>("profile")->currentIndex(), 0);
        for (const char* box : {"size", "videoCodec", "videoBitRate", "audioBitRate"}) {
            QCOMPARE(h.Child<QComboBox>(box)->count(), 0);
            QCOMPARE(h.Child<QComboBox>(box)->currentIndex(), -1);
        }
        QCOMPARE(h.Child<QLineEdit>("url")->text(), WatchUrl("flvid"));
        h.Type("folder", QString::fromStdString(h.DownloadsText()));
        h.Click("startDownload");

        QVERIFY(h.Accepted());
        QCOMPARE(dlg.m_csTargetType, std::string(".flv"));
        QCOMPARE(dlg.m_csSourceFile, dlg.m_csTargetFile);
        QCOMPARE(FolderEntries(h.Downloads()), std::vector<std::string>{"flvid.flv"});
        QVERIFY(dlg.m_csVideoSize.empty() && dlg.m_csVideoCodec.empty());
        QVERIFY(dlg.m_csVideoBitRate.empty() && dlg.m_csAudioBitRate.empty());
        QCOMPARE(dlg.m_csAudioCodec, std::string("Auto"));
        QCOMPARE(dlg.m_csAudioSampleRate, std::string("Auto"));
        QCOMPARE(dlg.m_csAudioChannel, std::string("Auto"));

        const NewTask task = dlg.Result();
        QCOMPARE(QString::fromStdString(task.m_csUrl), WatchUrl("flvid"));
        QCOMPARE(task.m_csFolder, h.DownloadsText() + "/");
        QCOMPARE(task.m_csFileName, std::string("flvid.flv"));
        QCOMPARE(task.m_job.m_csSourceFile, dlg.m_csSourceFile);
        QCOMPARE(task.m_job.m_csTargetName, std::string("FLV - Flash Video Format Orignal (*.flv)"));
        QCOMPARE(task.m_job.m_csAudioCodec, std::string("Auto"));
    }

    void optionBoxesFollowTheProfileIntoTheResult()
    {
        RecordedBoxes boxes;
        Harness h;
        CAddTaskDlg& dlg = h.Open();
        h.Profile(12);  // 3GP
        QCOMPARE(h.Child<QComboBox>("audioBitRate")->currentText(), QStringLiteral("4.75"));
        h.Child<QComboBox>("size")->setCurrentIndex(2);  // 352x288
        h.Child<QComboBox>("audioBitRate")->setCurrentIndex(7);  // 12.2
        h.Confirm(WatchUrl("p"), h.DownloadsText());

        QVERIFY(h.Accepted());
        const ConvertJob job = dlg.Result().m_job;
        QCOMPARE(job.m_csTargetName, std::string("3GP - Cell Phone H.263 (*.3gp)"));
        QCOMPARE(job.m_csTargetType, std::string(".3gp"));
        QCOMPARE(job.m_csVideoSize, std::string("352x288"));
        QCOMPARE(job.m_csVideoCodec, std::string("Auto"));
        QCOMPARE(job.m_csVideoBitRate, std::string("120"));
        QCOMPARE(job.m_csAudioBitRate, std::string("12.2"));
        QCOMPARE(job.m_csAudioSampleRate, std::string("8000"));
        QCOMPARE(job.m_csAudioChannel, std::string("1"));
        QCOMPARE(job.m_csTargetFile, h.DownloadsText() + "/p.3gp");
        QVERIFY(job.m_csVideoFrameRate.empty());
    }

    void cancelWritesAndCreatesNothing()
    {
        RecordedBoxes boxes;
        Harness h;
        CAddTaskDlg& dlg = h.Open(WatchUrl("c"));
        h.Type("folder", QString::fromStdString(h.DownloadsText()));
        h.Click("cancel");
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QVERIFY(!dlg.isVisible());
        QVERIFY(!h.SettingsWritten());
        QVERIFY(FolderEntries(h.Downloads()).empty());
        QVERIFY(boxes.m_boxes.empty());
    }

    void enterNeverConfirmsAndEscapeCancels()
    {
        RecordedBoxes boxes;
        Harness h;
        CAddTaskDlg& dlg = h.Open(WatchUrl("e"));
        h.Type("folder", QString::fromStdString(h.DownloadsText()));
        for (const char* control : {"url", "folder", "profile", "startDownload", "cancel", "more"}) {
            QWidget* target = h.Child<QWidget>(control);
            QTest::keyClick(target, Qt::Key_Return);
            QTest::keyClick(target, Qt::Key_Enter);
        }
        QTest::keyClick(&dlg, Qt::Key_Return);
        QVERIFY(h.StillOpen());
        QCOMPARE(h.Child<QPushButton>("more")->text(), QStringLiteral("More>>"));
        QVERIFY(!h.SettingsWritten());
        QVERIFY(FolderEntries(h.Downloads()).empty());

        QTest::keyClick(h.Child<QLineEdit>("url"), Qt::Key_Escape);
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QVERIFY(!dlg.isVisible());
        QVERIFY(!h.SettingsWritten());
    }

    void startsCollapsedAndMoreShowsTheOptions()
    {
        Harness h;
        CAddTaskDlg& dlg = h.Open();
        const skin::DialogUnits units = skin::DialogUnits::ForApplication();
        QCOMPARE(dlg.height(), units.ToPixelsY(130));
        QCOMPARE(dlg.m_rcCollapsed.height(), units.ToPixelsY(130));
        QCOMPARE(dlg.m_rcFull.size(), QSize(units.ToPixelsX(297), units.ToPixelsY(202)));
        QCOMPARE(dlg.width(), dlg.m_rcFull.width());
        QVERIFY(h.Child<QComboBox>("size")->y() >= dlg.height());

        QPushButton* more = h.Child<QPushButton>("more");
        more->click();
        QCOMPARE(more->text(), QStringLiteral("More<<"));
        QCOMPARE(dlg.size(), dlg.m_rcFull.size());
        QVERIFY(h.Child<QComboBox>("audioBitRate")->geometry().bottom() < dlg.height());
        more->click();
        QCOMPARE(more->text(), QStringLiteral("More>>"));
        QCOMPARE(dlg.size(), dlg.m_rcCollapsed.size());
    }

    void autoRenameEnablesTheFileNameBox()
    {
        Harness h;
        h.Open();
        auto* check = h.Child<CTransCheck>("autoRename");
        QLineEdit* name = h.Child<QLineEdit>("fileName");
        QCOMPARE(check->m_nCheck, 1);
        QVERIFY(!name->isEnabled());
        check->click();
        QCOMPARE(check->m_nCheck, 0);
        QVERIFY(name->isEnabled());
        check->click();
        QVERIFY(!name->isEnabled());
    }

    void startFolderComesFromSettingsOrDocuments()
    {
        const fs::path documents =
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString();
        const fs::path videos = documents / "Tavolin Videos";
        QVERIFY(documents.string().rfind(qgetenv("HOME").toStdString(), 0) == 0);
        fs::remove_all(videos);
        {
            Harness h;
            h.Open();
            QCOMPARE(h.Child<QLineEdit>("folder")->text().toStdString(), videos.string());
            QVERIFY(fs::is_directory(videos));
            QVERIFY(!h.SettingsWritten());
        }
        {
            Harness h;
            QVERIFY(platform::WritePrivateProfileString("TASKSINFO", "LAST_FOLDER", " /srv/clips/ ", h.Settings()));
            fs::remove_all(videos);
            h.Open();
            QCOMPARE(h.Child<QLineEdit>("folder")->text(), QStringLiteral("/srv/clips/"));
            QVERIFY(!fs::exists(videos));
        }
    }

    void browseReplacesTheFolderUnlessCancelled()
    {
        class PickingDlg : public CAddTaskDlg {
        public:
            using CAddTaskDlg::CAddTaskDlg;
            QString m_csAnswer;
            QString m_csStart;

        protected:
            QString ChooseFolder(const QString& start) override
            {
                m_csStart = start;
                return m_csAnswer;
            }
        };
        QTemporaryDir dir;
        const std::string settings = (fs::path(dir.path().toStdString()) / "settings.ini").string();
        QVERIFY(platform::WritePrivateProfileString("TASKSINFO", "LAST_FOLDER", "/old/", settings));
        PickingDlg dlg(settings);
        auto* folder = dlg.findChild<QLineEdit*>(QStringLiteral("folder"));
        auto* browse = dlg.findChild<QPushButton*>(QStringLiteral("browse"));
        browse->click();
        QCOMPARE(dlg.m_csStart, QStringLiteral("/old/"));
        QCOMPARE(folder->text(), QStringLiteral("/old/"));
        dlg.m_csAnswer = dir.path();
        browse->click();
        QCOMPARE(folder->text(), dir.path());
        QCOMPARE(QString::fromStdString(dlg.m_csFolder), dir.path());
    }
};

static RegisterDialogTest registerAddTaskDlgTest([] { return new AddTaskDlgTest; });

#include "AddTaskDlgTest.moc"
