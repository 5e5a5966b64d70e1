#include <atomic>
#include <memory>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QtTest>

#include "DialogsTestSupport.h"
#include "downloader/CAddTaskDlg.h"
#include "platform/PrivateProfile.h"
#include "skin/DialogUnits.h"

namespace {

// Answers the folder picker with m_answer (empty: cancelled) and records where it started.
class PickingDlg : public CAddTaskDlg {
public:
    using CAddTaskDlg::CAddTaskDlg;
    QString m_answer;
    QString m_start;

protected:
    QString ChooseFolder(const QString& start) override
    {
        m_start = start;
        return m_answer;
    }
};

}  // namespace

class AddTaskDlgTest : public QObject {
    Q_OBJECT

    // A fresh folder per test, holding settings.ini and the download folder "dl".
    std::unique_ptr<QTemporaryDir> m_dir;
    BoxRecorder m_boxes;
    std::unique_ptr<PickingDlg> m_dlg;

    QString Path(QAnyStringView name) const { return m_dir->path() + u'/' + name.toString(); }
    std::string Settings() const { return Path("settings.ini").toStdString(); }
    CAddTaskDlg& Open(const QString& url = QString())
    {
        m_dlg = std::make_unique<PickingDlg>(Settings(), url);
        m_dlg->show();
        return *m_dlg;
    }
    template <typename T = QWidget>
    T* Child(const char* name) const
    {
        return m_dlg->findChild<T*>(QString::fromLatin1(name));
    }
    void Type(const char* box, QAnyStringView text) const { Child<QLineEdit>(box)->setText(text.toString()); }
    void Click(const char* button) const { Child<QAbstractButton>(button)->click(); }
    QStringList Downloads() const
    {
        return QDir(Path("dl")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    }

private slots:
    void init()
    {
        m_dlg.reset();
        m_boxes.m_boxes.clear();
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir().mkpath(Path("dl")));
    }

    void refusedInputKeepsTheDialogOpenAndOnlyCancelEndsIt()
    {
        QVERIFY(QFile(Path("file")).open(QIODevice::WriteOnly));
        CAddTaskDlg& dlg = Open();
        Type("url", "hello");
        Type("folder", Path("missing"));
        // Enter reaches no control: it neither confirms, cancels nor presses a button.
        for (const char* control : {"url", "folder", "profile", "startDownload", "cancel", "more"}) {
            QTest::keyClick(Child(control), Qt::Key_Return);
            QTest::keyClick(Child(control), Qt::Key_Enter);
        }
        QVERIFY(m_boxes.m_boxes.isEmpty() && dlg.isVisible());
        QCOMPARE(Child<QPushButton>("more")->text(), QStringLiteral("More>>"));
        Click("startDownload");                                        // the address is checked first
        Type("url", QStringLiteral("https://cdn.example/page.html"));  // an address, but of no video
        Click("startDownload");
        Type("url", WatchUrl("abc"));
        Type("folder", Path("file"));
        Click("startDownload");
        const QString invalid = QStringLiteral("Information | Invalid URL, the URL should like this: ");
        QCOMPARE(m_boxes.m_boxes,
                 QStringList({invalid + CAddTaskDlg::ExampleUrl(), invalid + CAddTaskDlg::ExampleUrl(),
                              QStringLiteral("Information | Invaild Folder Path, please select a valid "
                                             "location to save file.")}));
        QVERIFY(dlg.isVisible());
        Click("cancel");
        QVERIFY(!dlg.isVisible() && dlg.result() == QDialog::Rejected);
        // Nothing remembered, nothing created.
        QVERIFY(!QFile::exists(Path("settings.ini")) && Downloads().isEmpty());
    }

    void acceptedTaskCarriesTheAddressFolderAndOptions()
    {
        CAddTaskDlg& dlg = Open(WatchUrl("given"));
        QCOMPARE(Child<QLineEdit>("url")->text(), WatchUrl("given"));
        // Collapsed at first, More>> shows the option boxes.
        const skin::DialogUnits units = skin::DialogUnits::ForApplication();
        QCOMPARE(dlg.size(), QSize(units.ToPixelsX(297), units.ToPixelsY(130)));
        Click("more");
        QCOMPARE(dlg.size(), QSize(units.ToPixelsX(297), units.ToPixelsY(202)));

        Child<QComboBox>("profile")->setCurrentIndex(12);  // 3GP
        QCOMPARE(Child<QComboBox>("audioBitRate")->currentText(), QStringLiteral("4.75"));
        Child<QComboBox>("size")->setCurrentIndex(2);
        Child<QComboBox>("audioBitRate")->setCurrentIndex(7);
        Type("url", QStringLiteral("  ") + WatchUrl("Xy_9") + QStringLiteral(" \t"));
        Type("folder", QStringLiteral("  ") + Path("dl") + QStringLiteral(" "));
        Click("startDownload");
        QVERIFY(!dlg.isVisible() && dlg.result() == QDialog::Accepted);
        const std::string folder = Path("dl/").toStdString();
        QCOMPARE(platform::GetPrivateProfileString("TASKSINFO", "LAST_FOLDER", "", 32768, Settings()),
                 folder);
        // Auto rename is on: the files are named after the video.
        const NewTask t = dlg.Result();
        QCOMPARE(QString::fromStdString(t.m_csUrl), WatchUrl("Xy_9"));
        QCOMPARE(t.m_csFolder + ' ' + t.m_csFileName + ' ' + t.m_job.m_csSourceFile + ' ' +
                     t.m_job.m_csTargetFile + ' ' + t.m_job.m_csVideoSize + ' ' + t.m_job.m_csAudioBitRate +
                     ' ' + t.m_job.m_csAudioSampleRate,
                 folder + " Xy_9.flv " + folder + "Xy_9.flv " + folder + "Xy_9.3gp 352x288 12.2 8000");
    }

    // The naming rules have their own table; here the dialog applies them to what it is
    // given and creates the names it chose.
    void typedNameIsCleanedAndCollisionsCount()
    {
        const struct {
            const char* url;  // empty: a watch page of the video "vid"
            bool autoRename;
            const char* typed;
            int profile;
            const char* existing;  // a name ending in '/' is a folder
            const char* made;      // the source file, then the target, split by '|'
        } cases[] = {
            {"", true, "ignored", 0, "", "vid.flv"},
            {"", false, " a/b:c ", 1, "a_b_c.mp4", "a_b_c(0).flv|a_b_c(0).mp4"},
            {"", false, "clip", 10, "clip.wmv/", "clip(0).flv|clip(0).wmv"},
            // A video file's address: named after its file, whose extension the download keeps.
            {"https://cdn.example/v/My%20Clip.mp4?sig=1", true, "", 1, "", "My Clip.mp4|My Clip-0.mp4"},
        };
        for (const auto& c : cases) {
            init();
            const QStringList created = QString::fromLatin1(c.made).split(u'|');
            const QString existing = QString::fromLatin1(c.existing);
            QFile file(Path(QStringLiteral("dl/") + existing));
            QVERIFY(existing.isEmpty() || (existing.endsWith(u'/') ? QDir().mkpath(file.fileName())
                                                                   : file.open(QIODevice::WriteOnly)));
            CAddTaskDlg& dlg = Open();
            if (!c.autoRename)
                Click("autoRename");
            QCOMPARE(Child<QLineEdit>("fileName")->isEnabled(), !c.autoRename);
            Type("fileName", QString::fromLatin1(c.typed));
            Child<QComboBox>("profile")->setCurrentIndex(c.profile);
            Type("url", *c.url ? QString::fromLatin1(c.url) : WatchUrl("vid"));
            Type("folder", Path("dl"));
            Click("startDownload");
            QVERIFY(m_boxes.m_boxes.isEmpty());
            const QString made = QString::fromStdString(dlg.m_csFileName) + u' ' +
                                 QString::fromStdString(dlg.m_csSourceFile) + u' ' +
                                 QString::fromStdString(dlg.m_csTargetFile);
            QCOMPARE(made, created.first() + u' ' + Path(QStringLiteral("dl/") + created.first()) + u' ' +
                               Path(QStringLiteral("dl/") + created.last()));
            for (const QString& name : created)  // new and empty
                QVERIFY(QFileInfo(Path(QStringLiteral("dl/") + name)).size() == 0 &&
                        QFileInfo(Path(QStringLiteral("dl/") + name)).isFile());
            QCOMPARE(Downloads().size(), (existing.isEmpty() ? 0 : 1) + created.size());
        }
    }

    void aProfileTheEncoderCannotMakeIsMarkedAndRefused()
    {
        EncoderProfiles profiles;
        std::atomic<bool> answered{false};
        profiles.Ask(TAVOLIN_TESTS_DIR "/support/listing_encoder.sh", std::chrono::seconds(10),
                     [&answered] { answered = true; });
        QTRY_VERIFY_WITH_TIMEOUT(answered, 10000);
        m_dlg = std::make_unique<PickingDlg>(Settings(), WatchUrl("vid"), nullptr, &profiles);
        m_dlg->show();
        auto* box = Child<QComboBox>("profile");
        QCOMPARE(box->itemText(12), QStringLiteral("3GP - Cell Phone H.263 (*.3gp) (needs AMR-NB support)"));
        box->setCurrentIndex(12);
        Type("folder", Path("dl"));
        Click("startDownload");
        QCOMPARE(m_boxes.m_boxes,
                 QStringList{QStringLiteral(
                     "Information | The profile \"3GP - Cell Phone H.263 (*.3gp)\" is unavailable: "
                     "needs AMR-NB support. Please choose another profile.")});
        QVERIFY(m_dlg->isVisible());
        QVERIFY(!QFile::exists(Path("settings.ini")) && Downloads().isEmpty());
        box->setCurrentIndex(1);
        Click("startDownload");
        QVERIFY(!m_dlg->isVisible());
        QCOMPARE(m_dlg->Result().m_job.m_csTargetName, std::string("iPod (320x240) MPEG-4 Normal (*.mp4)"));
    }

    void startFolderFromSettingsOrDocumentsAndBrowse()
    {
        const QString videos = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
                               QStringLiteral("/Tavolin Videos");
        QVERIFY(videos.startsWith(qEnvironmentVariable("HOME")));
        QDir(videos).removeRecursively();
        // A relative folder remembered by an older version is not offered again.
        QVERIFY(platform::WritePrivateProfileString("TASKSINFO", "LAST_FOLDER", "dl/", Settings()));
        Open();
        QCOMPARE(Child<QLineEdit>("folder")->text(), videos);
        QVERIFY(QFileInfo(videos).isDir());

        QDir(videos).removeRecursively();
        QVERIFY(platform::WritePrivateProfileString("TASKSINFO", "LAST_FOLDER", " /srv/clips/ ", Settings()));
        Open();
        QVERIFY(!QFileInfo::exists(videos));
        QCOMPARE(Child<QLineEdit>("folder")->text(), QStringLiteral("/srv/clips/"));
        // Browse starts from the folder shown; a cancelled choice changes nothing.
        Click("browse");
        QCOMPARE(m_dlg->m_start, QStringLiteral("/srv/clips/"));
        QCOMPARE(Child<QLineEdit>("folder")->text(), QStringLiteral("/srv/clips/"));
        m_dlg->m_answer = Path("dl");
        Click("browse");
        QCOMPARE(Child<QLineEdit>("folder")->text(), Path("dl"));
    }
};

static RegisterTest registerAddTaskDlgTest([] { return new AddTaskDlgTest; });

#include "AddTaskDlgTest.moc"
