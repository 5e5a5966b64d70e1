// Pellux's window and its run, driven on the offscreen platform with the fake encoder,
// message boxes and the desktop recorded.
#include <signal.h>

#include <algorithm>
#include <memory>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "converter/CConverterDlg.h"
#include "converter/ConversionRun.h"
#include "desktop/DesktopShell.h"
#include "desktop/MessageBoxes.h"
#include "platform/PrivateProfile.h"
#include "skin/CTransStatic.h"
#include "support/CapturedStandardError.h"

namespace {

const QString kFakeEncoder = QFile::decodeName(TAVOLIN_BIN_DIR "/fake_encoder");
const QString kOstrand = QFile::decodeName(TAVOLIN_BIN_DIR "/ostrand");
// Lists the 3GP profile as one the installed ffmpeg cannot make.
const QString kListingEncoder = QFile::decodeName(TAVOLIN_TESTS_DIR "/support/listing_encoder.sh");

// Takes the place of the message boxes and of the desktop, and records both in one list.
class Recorder : public MessageBoxes, public DesktopShell {
public:
    void Exclaim(QWidget*, const QString& caption, const QString& text) override
    {
        log << caption + QStringLiteral(" | ") + text;
    }
    void ShowInFolder(const QString& path, QWidget*) override { log << QStringLiteral("show ") + path; }
    void OpenFolder(const QString& path, QWidget*) override { log << QStringLiteral("folder ") + path; }
    bool StartProgram(const QString&, const QStringList&) override { return false; }
    QStringList log;
};

QString ReadText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

}  // namespace

class ConverterDlgTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_root;
    Recorder m_recorder;
    std::unique_ptr<CConverterDlg> m_window;

    QString Folder(QAnyStringView name) const { return m_root->path() + u'/' + name.toString(); }
    template <typename T = QPushButton>
    T* Control(const char* name) const
    {
        return m_window->findChild<T*>(QString::fromLatin1(name));
    }
    QString Status() const { return Control<CTransStatic>("status")->text(); }
    void Click(const char* name) const { Control(name)->click(); }
    bool Open(const QString& encoder = kFakeEncoder, int threadWaitMs = 3000,
              const std::vector<std::string>& arguments = {})
    {
        m_window = std::make_unique<CConverterDlg>(ConverterOptions{
            encoder.toStdString(), std::chrono::milliseconds(20), std::chrono::milliseconds(threadWaitMs)});
        return m_window->Initialise(arguments);
    }
    // The fake encoder does what its source file says.
    void PrepareRun(const QByteArray& behaviour, const QString& sourceName = QStringLiteral("clip.flv"))
    {
        QFile source(Folder(QStringLiteral("v/") + sourceName));
        QVERIFY(source.open(QIODevice::WriteOnly) && source.write(behaviour) == behaviour.size());
        Control<QLineEdit>("source")->setText(source.fileName());
        Control<QLineEdit>("destination")->setText(Folder("out"));
    }

private slots:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        for (const char* folder : {"home", "data/Tavolin Data", "v", "out"})
            QVERIFY(QDir().mkpath(Folder(folder)));
        qputenv("XDG_DATA_HOME", Folder("data").toUtf8());
        qputenv("HOME", Folder("home").toUtf8());
        m_recorder.log.clear();
        MessageBoxes::Install(&m_recorder);
        DesktopShell::Install(&m_recorder);
    }

    void cleanup()
    {
        m_window.reset();
        // Threads let go by a closed window finish on their own; none may outlive the test.
        QTRY_COMPARE_WITH_TIMEOUT(RunThreadsAlive(), 0, 10000);
    }

    void StartUpNeedsTheDataFolderAndFillsTheBoxes()
    {
        const QString data = Folder("data/Tavolin Data");
        QVERIFY(QDir(data).removeRecursively());
        CapturedStandardError errors;
        QVERIFY(!Open());
        QVERIFY(QString::fromStdString(errors.Text())
                    .contains(QStringLiteral("\n    mkdir -p \"") + data + QStringLiteral("\"\n")));
        QCOMPARE(m_recorder.log,
                 QStringList{QStringLiteral("Tavolin | Can not find the application data directory \"") +
                             data + QStringLiteral("\" for Tavolin, Please reinstall this program.")});
        QVERIFY(!QFileInfo::exists(data));  // never created
        // Any entry of that name counts, a dangling link too, as for Tavolin; with no folder
        // remembered, one is made in home.
        QVERIFY(QFile::link(Folder("nowhere"), data));
        QVERIFY(Open());
        QCOMPARE(Control<QLineEdit>("destination")->text(),
                 Folder("home") + QStringLiteral("/Pellux Output Videos/"));
        QVERIFY(QFileInfo(Folder("home/Pellux Output Videos")).isDir());

        // The remembered folder, trimmed, and the source from the command line.
        QVERIFY(QFile::remove(data) && QDir().mkpath(data));
        QVERIFY(platform::WritePrivateProfileString("TASKSINFO", "LAST_CONV_FOLDER", "  /x/out/  ",
                                                    (data + QStringLiteral("/settings.ini")).toStdString()));
        QVERIFY(Open(kFakeEncoder, 3000, {"-SOURCE", "/v/a b.flv"}));
        QCOMPARE(Control<QLineEdit>("source")->text(), QStringLiteral("/v/a b.flv"));
        QCOMPARE(Control<QLineEdit>("destination")->text(), QStringLiteral("/x/out/"));
    }

    void OpensCollapsedOverTheFullGradient()
    {
        QVERIFY(Open());
        // Collapsed, the window ends where the option boxes' captions begin.
        int captionTop = -1;
        for (const CTransStatic* label : m_window->findChildren<CTransStatic*>())
            if (label->text() == QStringLiteral("Resolution(Width x Height)"))
                captionTop = label->geometry().top();
        QCOMPARE(m_window->size(), QSize(m_window->FullRect().width(), captionTop));
        const QImage collapsed = m_window->grab().toImage();
        Click("more");
        QCOMPARE(Control("more")->text(), QStringLiteral("More<<"));
        QCOMPARE(m_window->size(), m_window->FullRect().size());
        // The gradient spans the expanded height in both sizes.
        QCOMPARE(collapsed.pixelColor(1, captionTop - 1),
                 m_window->grab().toImage().pixelColor(1, captionTop - 1));
    }

    void RefusalThenNamingPastATakenNameAndCompletion()
    {
        QVERIFY(Open());
        // A refused Start shows why and starts nothing, yet remembers a folder that passed.
        Control<QLineEdit>("destination")
            ->setText(QStringLiteral("  ") + Folder("out") + QStringLiteral(" "));
        Control<QLineEdit>("source")->setText(Folder("v/none.flv"));
        Click("start");
        QCOMPARE(m_recorder.log, QStringList{QStringLiteral(
                                     "Information | Source file does not exists, please load a valid file")});
        QVERIFY(ReadText(Folder("data/Tavolin Data/settings.ini"))
                    .contains(QStringLiteral("LAST_CONV_FOLDER=") + Folder("out/")));
        QVERIFY(QDir(Folder("out")).isEmpty());
        m_recorder.log.clear();

        // A name taken by a dangling link is skipped, never written through.
        QVERIFY(QFile::link(Folder("elsewhere.mp4"), Folder("out/My Clip.mp4")));
        PrepareRun("slow 300", QStringLiteral("My Clip.FLV"));
        const QStringList targets = {Folder("out/My Clip-0.mp4"), Folder("out/My Clip-1.mp4")};
        for (const QString& target : targets) {
            Click("start");
            // Reserved, empty, before the encoder has had a chance to write.
            QVERIFY(QFileInfo::exists(target) && QFileInfo(target).size() == 0);
            QCOMPARE(Control("start")->text(), QStringLiteral("Stop Conversion"));
            QCOMPARE(Status(), QStringLiteral("Converting To - ") + target);
            QTRY_COMPARE_WITH_TIMEOUT(Status(), QStringLiteral("Task Compeleted - ") + target, 10000);
            QCOMPARE(Control<QProgressBar>("progress")->value(), 100);
        }
        QCOMPARE(m_recorder.log,
                 QStringList({QStringLiteral("show ") + targets[0], QStringLiteral("show ") + targets[1]}));
        QVERIFY(!QFileInfo::exists(Folder("elsewhere.mp4")));
        // The encoder got the source as typed and the first profile's defaults.
        QCOMPARE(
            ReadText(targets[1] + QStringLiteral(".run")).split(u'\n', Qt::SkipEmptyParts).mid(2),
            QStringList({kFakeEncoder, QStringLiteral("converter.exe"), QStringLiteral("-i"),
                         Folder("v/My Clip.FLV")}) +
                QStringLiteral("-s 320x240 -b 1200k -ar 44100 -ab 64k -ac 2 -progress-fd 3").split(u' ') +
                QStringList{targets[1]});
    }

    void StopThenStartReusesTheTargetUntilOptionsChange()
    {
        QVERIFY(Open());
        // An encoder that cannot tell the source's length: the bar keeps stepping.
        PrepareRun("channel 60000\nprogress - - 0.5\n");
        const QString target = Folder("out/clip.mp4");
        QSignalSpy positions(Control<QProgressBar>("progress"), &QProgressBar::valueChanged);
        Click("start");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(target + QStringLiteral(".run")), 5000);
        const pid_t first = ReadText(target + QStringLiteral(".run")).section(u'\n', 0, 0).toInt();
        // The bar climbs in tens and starts over after passing 100.
        QTRY_VERIFY_WITH_TIMEOUT(positions.size() >= 12, 10000);
        QCOMPARE(positions.at(9).at(0).toInt(), 100);
        QCOMPARE(positions.at(10).at(0).toInt(), 0);

        Click("start");  // Stop
        QTRY_COMPARE_WITH_TIMEOUT(Status(), QStringLiteral("Task Stopped"), 5000);
        QCOMPARE(Control<QProgressBar>("progress")->value(), 0);
        QVERIFY(first > 0 && ::kill(first, 0) == -1);  // ended and reaped

        // Start again: the same job, with nothing checked or read from the boxes.
        QFile::remove(target + QStringLiteral(".run"));
        Control<QLineEdit>("destination")->setText(QStringLiteral("/nowhere"));
        Click("start");
        QCOMPARE(Status(), QStringLiteral("Converting To - ") + target);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(target + QStringLiteral(".run")), 5000);
        Click("start");
        QTRY_COMPARE_WITH_TIMEOUT(Status(), QStringLiteral("Task Stopped"), 5000);
        QVERIFY(m_recorder.log.isEmpty());

        // Another profile makes the next Start a fresh one, under a new name.
        PrepareRun("sleep");
        Control<QComboBox>("profile")->setCurrentIndex(1);
        emit Control<QComboBox>("profile")->activated(1);
        QCOMPARE(Status(), QStringLiteral("Options changed"));
        Click("start");
        QCOMPARE(Status(), QStringLiteral("Converting To - ") + Folder("out/clip-0.mp4"));
        Click("start");
        QTRY_COMPARE_WITH_TIMEOUT(Status(), QStringLiteral("Task Stopped"), 5000);
        emit Control<QComboBox>("size")->activated(0);  // an option box counts too
        QCOMPARE(Status(), QStringLiteral("Options changed"));
    }

    void TheEncodersPercentageAndItsReasonForAFailure()
    {
        QVERIFY(Open());
        // Known, the percentage stands on the bar through the polls.
        PrepareRun("channel 400\nprogress 42 1 0.5\n");
        Click("start");
        QTRY_COMPARE_WITH_TIMEOUT(Control<QProgressBar>("progress")->value(), 42, 5000);
        QTest::qWait(100);
        QCOMPARE(Control<QProgressBar>("progress")->value(), 42);
        QCOMPARE(Status(), QStringLiteral("Converting To - ") + Folder("out/clip.mp4"));
        QTRY_COMPARE_WITH_TIMEOUT(Status(), QStringLiteral("Task Compeleted - ") + Folder("out/clip.mp4"),
                                  5000);
        QVERIFY(Control<CTransStatic>("status")->toolTip().isEmpty());
        m_recorder.log.clear();

        // The encoder's own reason, else how it ended, goes into the status line's tooltip.
        PrepareRun("channel 0\nfailed needs the wmv2 encoder\n");
        Click("start");
        QTRY_COMPARE_WITH_TIMEOUT(Status(), QStringLiteral("Conversion Failed - ") + Folder("out/clip-0.mp4"),
                                  5000);
        QCOMPARE(Control<CTransStatic>("status")->toolTip(), QStringLiteral("needs the wmv2 encoder"));
        // A failed run is no stopped one: the next Start checks again and picks a new name.
        PrepareRun("fail");
        Click("start");
        QVERIFY(Control<CTransStatic>("status")->toolTip().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(Status(), QStringLiteral("Conversion Failed - ") + Folder("out/clip-1.mp4"),
                                  5000);
        QCOMPARE(Control<CTransStatic>("status")->toolTip(),
                 QStringLiteral("the encoder exited with status 3"));
        QVERIFY(m_recorder.log.isEmpty());
    }

    void AProfileTheEncoderCannotMakeIsMarkedAndNotStarted()
    {
        QVERIFY(Open(kListingEncoder));
        auto* profiles = Control<QComboBox>("profile");
        const int threeGp = profiles->count() - 1;
        QTRY_COMPARE_WITH_TIMEOUT(profiles->itemText(threeGp),
                                  QStringLiteral("3GP - Cell Phone H.263 (*.3gp) (needs AMR-NB support)"),
                                  10000);
        QCOMPARE(profiles->itemText(0), QStringLiteral("iPod (320x240) MPEG-4 Normal (*.mp4)"));
        profiles->setCurrentIndex(threeGp);
        emit profiles->activated(threeGp);
        PrepareRun("ok");
        Click("start");
        QCOMPARE(Status(), QStringLiteral("Profile Unavailable - needs AMR-NB support"));
        QCOMPARE(m_window->Job().m_csTargetName, std::string("3GP - Cell Phone H.263 (*.3gp)"));
        QVERIFY(QDir(Folder("out")).isEmpty());  // no target reserved
        QCOMPARE(Control("start")->text(), QStringLiteral("Start Conversion"));
        QVERIFY(m_recorder.log.isEmpty());
    }

    // One real conversion: ostrand turns an MP4 source into the first profile's file.
    void AnyVideoSourceThroughTheRealEncoder()
    {
        const QString source = Folder("v/clip.mp4");
        const QString make =
            QStringLiteral("-loglevel error -nostdin -f lavfi -i testsrc=size=176x144:rate=15:duration=2 ");
        QCOMPARE(QProcess::execute(QStringLiteral("ffmpeg"), QProcess::splitCommand(make + source)), 0);
        QVERIFY(Open(kOstrand));
        Control<QLineEdit>("source")->setText(source);
        Control<QLineEdit>("destination")->setText(Folder("out"));
        QSignalSpy positions(Control<QProgressBar>("progress"), &QProgressBar::valueChanged);
        Click("start");
        QTRY_COMPARE_WITH_TIMEOUT(Status(), QStringLiteral("Task Compeleted - ") + Folder("out/clip.mp4"),
                                  60000);
        QVERIFY(QFileInfo(Folder("out/clip.mp4")).size() > 0);
        // Steps until the encoder knew the length, then its figures, never falling.
        QList<int> shown;
        for (const QList<QVariant>& position : positions)
            shown << position.at(0).toInt();
        QVERIFY(shown.endsWith(100) && shown.contains(0));
        QVERIFY(std::is_sorted(shown.begin() + shown.lastIndexOf(0), shown.end()));
    }

    // Exit waits for the run's thread, briefly, then lets go; Enter closes at once.
    void ClosingDuringARun()
    {
        for (const bool withEnter : {false, true}) {
            init();
            QVERIFY(Open(kFakeEncoder, 100));
            m_window->show();
            QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
            PrepareRun("slow 800");
            Click("start");
            QTRY_VERIFY_WITH_TIMEOUT(Control<QProgressBar>("progress")->value() >= 20, 5000);
            if (withEnter) {
                // Enter clicks a focused button; anywhere else it confirms the window.
                Control("more")->setFocus();
                QTest::keyClick(Control("more"), Qt::Key_Return);
                QVERIFY(m_window->isVisible() && m_window->size() == m_window->FullRect().size());
                Control<QLineEdit>("source")->setFocus();
                QTest::keyClick(Control<QLineEdit>("source"), Qt::Key_Return);
            } else {
                Click("exit");
            }
            QCOMPARE(m_window->result(), int(withEnter ? QDialog::Accepted : QDialog::Rejected));
            QCOMPARE(RunThreadsAlive(), 1);
            // The window goes away while its run goes on; the encoder finishes its file, and
            // the run's last word reaches nobody.
            m_window.reset();
            QTRY_COMPARE_WITH_TIMEOUT(RunThreadsAlive(), 0, 10000);
            QTest::qWait(50);
            QVERIFY(ReadText(Folder("out/clip.mp4")).startsWith(QStringLiteral("converted")));
            QVERIFY(m_recorder.log.isEmpty());
        }
    }

    void BrowseLeavesTheWindowUsableAndOpenTrims()
    {
        QVERIFY(Open());
        // Browse: a folder picker that leaves the window usable while it is open.
        Click("browse");
        QFileDialog* picker = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<QFileDialog*>(top); dialog && dialog->isVisible())
                picker = dialog;
        QVERIFY(picker && !picker->isModal() && QApplication::activeModalWidget() == nullptr);
        QCOMPARE(picker->fileMode(), QFileDialog::Directory);
        picker->selectFile(Folder("out"));
        static_cast<QDialog*>(picker)->accept();
        QCOMPARE(Control<QLineEdit>("destination")->text(), Folder("out"));
        QCOMPARE(Status(), QStringLiteral("Destination folder changed to ") + Folder("out"));

        // Open: the destination as typed, trimmed; nothing for an empty box.
        Control<QLineEdit>("destination")
            ->setText(QStringLiteral("  ") + Folder("out") + QStringLiteral(" "));
        Click("open");
        Control<QLineEdit>("destination")->setText(QStringLiteral("   "));
        Click("open");
        QCOMPARE(m_recorder.log, QStringList{QStringLiteral("folder ") + Folder("out")});
    }
};

QTEST_MAIN(ConverterDlgTest)
#include "ConverterDlgTest.moc"
