// Pellux's window and its run, driven on the offscreen platform with a stand-in encoder
// (and the real one once), message boxes and the file manager recorded.
#include <signal.h>

#include <memory>

#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "converter/CConverterDlg.h"
#include "converter/ConversionRun.h"
#include "converter/ProgressStep.h"
#include "platform/PrivateProfile.h"
#include "skin/CTransStatic.h"
#include "skin/DesktopShell.h"
#include "skin/MessageBoxes.h"

namespace {

struct Message {
    QString caption;
    QString text;
};

class RecordingBoxes : public MessageBoxes {
public:
    void Exclaim(QWidget*, const QString& caption, const QString& text) override
    {
        messages.push_back({caption, text});
    }
    std::vector<Message> messages;
};

class RecordingShell : public DesktopShell {
public:
    void ShowInFolder(const QString& path) override { calls << "show " + path; }
    void OpenFolder(const QString& path) override { calls << "folder " + path; }
    void OpenDocument(const QString& path) override { calls << "document " + path; }
    bool StartProgram(const QString& program, const QStringList& arguments) override
    {
        calls << "start " + program + " " + arguments.join(' ');
        return true;
    }
    QStringList calls;
};

QString ReadText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

void WriteText(const QString& path, const QByteArray& text)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

}  // namespace

class ConverterDlgTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void MissingDataFolderEndsTheProgram();
    void StartStateFromSettingsAndCommandLine();
    void DefaultDestinationIsCreatedInHome();
    void ChecksInTheirOrder_data();
    void ChecksInTheirOrder();
    void NamingAndCompletion();
    void StopThenStartReusesTheTarget();
    void NewProfileAfterStopIsAFreshStart();
    void EncoderMissingOrFailing_data();
    void EncoderMissingOrFailing();
    void ClosingDuringARun_data();
    void ClosingDuringARun();
    void EnterOnAFocusedButtonClicksIt();
    void LoadBrowseAndOpen();
    void AboutBox();
    void RealEncoderEndToEnd();

private:
    ConverterOptions StandInOptions() const;
    std::unique_ptr<CConverterDlg> MakeWindow(const ConverterOptions& options,
                                              const std::vector<std::string>& arguments = {});
    template <typename T>
    static T* Control(CConverterDlg& window, const char* name)
    {
        T* control = window.findChild<T*>(QString::fromLatin1(name));
        if (control == nullptr)
            qFatal("no control %s", name);
        return control;
    }
    static QString Status(CConverterDlg& window) { return Control<CTransStatic>(window, "status")->text(); }
    static QString StartCaption(CConverterDlg& window) { return Control<QPushButton>(window, "start")->text(); }
    static void ClickStart(CConverterDlg& window) { Control<QPushButton>(window, "start")->click(); }
    void PrepareRun(CConverterDlg& window, const QString& sourceName, const QByteArray& behaviour);
    QString Folder(const QString& name) const { return m_root->path() + "/" + name; }

    std::unique_ptr<QTemporaryDir> m_root;
    RecordingBoxes m_boxes;
    RecordingShell m_shell;
};

void ConverterDlgTest::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
    for (const char* folder : {"home", "data/Tavolin Data", "v", "out"})
        QVERIFY(QDir().mkpath(Folder(QString::fromLatin1(folder))));
    qputenv("XDG_DATA_HOME", Folder("data").toUtf8());
    qputenv("HOME", Folder("home").toUtf8());
    m_boxes.messages.clear();
    m_shell.calls.clear();
    MessageBoxes::Install(&m_boxes);
    DesktopShell::Install(&m_shell);
}

void ConverterDlgTest::cleanup()
{
    // Threads let go by a closed window finish on their own; none may outlive the test.
    QTRY_COMPARE_WITH_TIMEOUT(RunThreadsAlive(), 0, 10000);
    MessageBoxes::Install(nullptr);
    DesktopShell::Install(nullptr);
    m_root.reset();
}

ConverterOptions ConverterDlgTest::StandInOptions() const
{
    ConverterOptions options;
    options.m_csEncoderPath = STAND_IN_ENCODER;
    options.m_pollInterval = std::chrono::milliseconds(20);
    options.m_threadWait = std::chrono::milliseconds(3000);
    return options;
}

std::unique_ptr<CConverterDlg> ConverterDlgTest::MakeWindow(const ConverterOptions& options,
                                                            const std::vector<std::string>& arguments)
{
    auto window = std::make_unique<CConverterDlg>(options);
    if (!window->Initialise(arguments))
        return nullptr;
    return window;
}

void ConverterDlgTest::PrepareRun(CConverterDlg& window, const QString& sourceName, const QByteArray& behaviour)
{
    WriteText(Folder("v/" + sourceName), behaviour);
    Control<QLineEdit>(window, "source")->setText(Folder("v/" + sourceName));
    Control<QLineEdit>(window, "destination")->setText(Folder("out"));
}

void ConverterDlgTest::MissingDataFolderEndsTheProgram()
{
    QVERIFY(QDir(Folder("data/Tavolin Data")).removeRecursively());
    CConverterDlg window(StandInOptions());
    QVERIFY(!window.Initialise({}));
    QVERIFY(!window.isVisible());
    QCOMPARE(m_boxes.messages.size(), std::size_t(1));
    QCOMPARE(m_boxes.messages[0].caption, QString("Tavolin"));
    QCOMPARE(m_boxes.messages[0].text, "Can not find the application data directory \"" + Folder("data") +
                                           "/Tavolin Data\" for Tavolin, Please reinstall this program.");
    // Never created, and nothing written anywhere near it.
    QVERIFY(!QFileInfo::exists(Folder("data/Tavolin Data")));
    QVERIFY(!QFileInfo::exists(Folder("home/Pellux Output Videos")));

    // Any entry of that name counts as the data folder.
    WriteText(Folder("data/Tavolin Data"), "");
    m_boxes.messages.clear();
    CConverterDlg second(StandInOptions());
    QVERIFY(second.Initialise({}));
    QVERIFY(m_boxes.messages.empty());
}

void ConverterDlgTest::StartStateFromSettingsAndCommandLine()
{
    const std::string settings = (Folder("data/Tavolin Data") + "/settings.ini").toStdString();
    QVERIFY(platform::WritePrivateProfileString("TASKSINFO", "LAST_CONV_FOLDER", "  /x/out/  ", settings));
    auto window = MakeWindow(StandInOptions(), {"-SOURCE", "/v/a b.flv"});
    QVERIFY(window);
    QCOMPARE(window->SettingsPath(), settings);
    QCOMPARE(Control<QLineEdit>(*window, "source")->text(), QString("/v/a b.flv"));
    QCOMPARE(Control<QLineEdit>(*window, "destination")->text(), QString("/x/out/"));
    QVERIFY(!QFileInfo::exists(Folder("home/Pellux Output Videos")));
    QCOMPARE(Status(*window), QString("Please load a file first."));
    QCOMPARE(StartCaption(*window), QString("Start Conversion"));

    auto* profile = Control<QComboBox>(*window, "profile");
    QCOMPARE(profile->count(), 12);
    QCOMPARE(profile->currentIndex(), 0);
    QCOMPARE(profile->currentText(), QString("iPod (320x240) MPEG-4 Normal (*.mp4)"));
    QCOMPARE(Control<QComboBox>(*window, "size")->currentText(), QString("320x240"));
    QCOMPARE(Control<QComboBox>(*window, "videoBitRate")->currentText(), QString("1200"));
    QCOMPARE(Control<QComboBox>(*window, "audioBitRate")->currentText(), QString("64"));
    QCOMPARE(Control<QComboBox>(*window, "videoCodec")->currentText(), QString("Auto"));
    auto* progress = Control<QProgressBar>(*window, "progress");
    QCOMPARE(progress->minimum(), 0);
    QCOMPARE(progress->maximum(), 100);
    QCOMPARE(progress->value(), 0);

    // Opens collapsed; More>> twice comes back to the collapsed size.
    auto* more = Control<QPushButton>(*window, "more");
    const QRect full = window->FullRect();
    const QRect collapsed = window->CollapsedRect();
    QVERIFY(collapsed.height() < full.height());
    QCOMPARE(collapsed.width(), full.width());
    // Collapsed, the window ends where the option boxes' captions begin.
    int captionTop = -1;
    for (const CTransStatic* label : window->findChildren<CTransStatic*>())
        if (label->text() == "Resolution(Width x Height)")
            captionTop = label->geometry().top();
    QCOMPARE(collapsed.height(), captionTop);
    QCOMPARE(window->size(), collapsed.size());
    QCOMPARE(more->text(), QString("More>>"));
    more->click();
    QCOMPARE(more->text(), QString("More<<"));
    QCOMPARE(window->size(), full.size());
    // The lower part's controls fit the expanded window and not the collapsed one.
    for (const char* box : {"size", "videoCodec", "videoBitRate", "audioBitRate"}) {
        const QRect rect = Control<QComboBox>(*window, box)->geometry();
        QVERIFY2(full.contains(rect), box);
        QVERIFY2(rect.top() >= collapsed.height(), box);
    }

    // The gradient runs over the expanded height: collapsed, the bottom row is still
    // far from the end colour.
    const QImage expanded = window->grab().toImage();
    more->click();
    QCOMPARE(window->size(), collapsed.size());
    const QImage shrunk = window->grab().toImage();
    QCOMPARE(shrunk.pixelColor(1, 0), QColor(255, 255, 255));
    QCOMPARE(expanded.pixelColor(1, full.height() / 2), shrunk.pixelColor(1, full.height() / 2));
    QVERIFY(expanded.pixelColor(1, full.height() - 1).red() < shrunk.pixelColor(1, collapsed.height() - 1).red());
    QVERIFY(qAbs(expanded.pixelColor(1, full.height() - 1).red() - 225) <= 1);

    // The switch alone, or with two paths, is ignored.
    auto alone = MakeWindow(StandInOptions(), {"-source"});
    QVERIFY(Control<QLineEdit>(*alone, "source")->text().isEmpty());
    auto twoPaths = MakeWindow(StandInOptions(), {"-source", "/v/a.flv", "/v/b.flv"});
    QVERIFY(Control<QLineEdit>(*twoPaths, "source")->text().isEmpty());
}

void ConverterDlgTest::DefaultDestinationIsCreatedInHome()
{
    auto window = MakeWindow(StandInOptions());
    QVERIFY(window);
    QCOMPARE(Control<QLineEdit>(*window, "destination")->text(), Folder("home") + "/Pellux Output Videos/");
    QVERIFY(QFileInfo(Folder("home/Pellux Output Videos")).isDir());
    // Created once; a second start finds it there and keeps its contents.
    WriteText(Folder("home/Pellux Output Videos/kept.mp4"), "x");
    auto again = MakeWindow(StandInOptions());
    QVERIFY(QFileInfo::exists(Folder("home/Pellux Output Videos/kept.mp4")));
}

void ConverterDlgTest::ChecksInTheirOrder_data()
{
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("remembered");

    const QString bad = "Invaild Destination Folder, please select a valid location to save file.";
    QTest::newRow("destination before source") << "@/nowhere" << "" << bad << "";
    QTest::newRow("relative destination") << "out" << "@/v/clip.flv" << bad << "";
    QTest::newRow("no source") << "  @/out  " << "   " << "Please load a flv file." << "@/out/";
    QTest::newRow("not flv") << "@/out/" << "@/v/clip.mp4" << "Please load a valid flv file !" << "@/out/";
    QTest::newRow("missing source") << "@/out" << "@/v/none.flv"
                                    << "Source file does not exists, please load a valid file" << "@/out/";
}

void ConverterDlgTest::ChecksInTheirOrder()
{
    QFETCH(QString, destination);
    QFETCH(QString, source);
    QFETCH(QString, message);
    QFETCH(QString, remembered);
    destination.replace('@', m_root->path());
    source.replace('@', m_root->path());
    remembered.replace('@', m_root->path());
    WriteText(Folder("v/clip.flv"), "ok");
    WriteText(Folder("v/clip.mp4"), "ok");

    auto window = MakeWindow(StandInOptions());
    QVERIFY(window);
    Control<QLineEdit>(*window, "destination")->setText(destination);
    Control<QLineEdit>(*window, "source")->setText(source);
    ClickStart(*window);

    QCOMPARE(m_boxes.messages.size(), std::size_t(1));
    QCOMPARE(m_boxes.messages[0].caption, QString("Information"));
    QCOMPARE(m_boxes.messages[0].text, message);
    const std::string stored =
        platform::GetPrivateProfileString("TASKSINFO", "LAST_CONV_FOLDER", "", 32767, window->SettingsPath());
    QCOMPARE(QString::fromStdString(stored), remembered);
    // Nothing started: no run, no reserved file, the window as it was.
    QCOMPARE(StartCaption(*window), QString("Start Conversion"));
    QCOMPARE(Status(*window), QString("Please load a file first."));
    QCOMPARE(RunThreadsAlive(), 0);
    QVERIFY(QDir(Folder("out")).isEmpty());
}

void ConverterDlgTest::NamingAndCompletion()
{
    auto window = MakeWindow(StandInOptions());
    QVERIFY(window);
    PrepareRun(*window, "My Clip.FLV", "slow 300");
    const QString source = Folder("v/My Clip.FLV");
    const QStringList expected = {Folder("out/My Clip.mp4"), Folder("out/My Clip-0.mp4"), Folder("out/My Clip-1.mp4")};

    for (const QString& target : expected) {
        ClickStart(*window);
        // Reserved, empty, before the encoder has had a chance to write.
        QVERIFY2(QFileInfo::exists(target), qPrintable(target));
        QCOMPARE(QFileInfo(target).size(), 0);
        QCOMPARE(StartCaption(*window), QString("Stop Conversion"));
        QCOMPARE(Status(*window), "Converting To - " + target);
        QCOMPARE(QString::fromStdString(window->Job().m_csTargetFile), target);

        QTRY_COMPARE_WITH_TIMEOUT(Status(*window), "Task Compeleted - " + target, 10000);
        QCOMPARE(StartCaption(*window), QString("Start Conversion"));
        QCOMPARE(Control<QProgressBar>(*window, "progress")->value(), 100);
        QCOMPARE(m_shell.calls.last(), "show " + target);
    }
    QCOMPARE(m_shell.calls.size(), 3);
    QVERIFY(m_boxes.messages.empty());

    // The encoder got the source as typed and the first profile's defaults.
    const QStringList lines = ReadText(expected.last()).split('\n', Qt::SkipEmptyParts);
    const QStringList arguments = {"converted", STAND_IN_ENCODER, "converter.exe", "-i", source, "-s", "320x240",
                                   "-b", "1200k", "-ar", "44100", "-ab", "64k", "-ac", "2", expected.last()};
    QCOMPARE(lines, arguments);
    QCOMPARE(QString::fromStdString(window->Job().m_csSourceFile), source);
    QCOMPARE(window->Job().m_csTargetType, std::string(".mp4"));
    QCOMPARE(window->Job().m_csTargetName, std::string("iPod (320x240) MPEG-4 Normal (*.mp4)"));
    const std::string stored =
        platform::GetPrivateProfileString("TASKSINFO", "LAST_CONV_FOLDER", "", 32767, window->SettingsPath());
    QCOMPARE(QString::fromStdString(stored), Folder("out/"));
}

void ConverterDlgTest::StopThenStartReusesTheTarget()
{
    auto window = MakeWindow(StandInOptions());
    QVERIFY(window);
    PrepareRun(*window, "clip.flv", "sleep");
    const QString target = Folder("out/clip.mp4");
    auto* progress = Control<QProgressBar>(*window, "progress");
    QSignalSpy positions(progress, &QProgressBar::valueChanged);

    ClickStart(*window);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(target + ".pid"), 5000);
    const pid_t first = ReadText(target + ".pid").trimmed().toInt();
    QVERIFY(first > 0);
    // The bar climbs in tens and starts over after passing 100.
    QTRY_VERIFY_WITH_TIMEOUT(positions.size() > 14, 10000);
    int previous = 0;
    bool wrapped = false;
    for (const QList<QVariant>& signal : positions) {
        const int position = signal.at(0).toInt();
        if (position == 0 && previous == 0)
            continue;
        QCOMPARE(position, NextProgressPosition(previous));
        wrapped = wrapped || (previous == 100 && position == 0);
        previous = position;
    }
    QVERIFY(wrapped);

    ClickStart(*window);  // Stop
    QTRY_COMPARE_WITH_TIMEOUT(Status(*window), QString("Task Stopped"), 5000);
    QCOMPARE(StartCaption(*window), QString("Start Conversion"));
    QCOMPARE(progress->value(), 0);
    QCOMPARE(::kill(first, 0), -1);  // ended and reaped

    // Start again: the same job, with nothing checked or read from the boxes.
    QFile::remove(target + ".pid");
    Control<QLineEdit>(*window, "destination")->setText("/nowhere");
    Control<QLineEdit>(*window, "source")->clear();
    ClickStart(*window);
    QVERIFY(m_boxes.messages.empty());
    QCOMPARE(Status(*window), "Converting To - " + target);
    QCOMPARE(QString::fromStdString(window->Job().m_csTargetFile), target);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(target + ".pid"), 5000);
    QVERIFY(ReadText(target + ".pid").trimmed().toInt() != first);
    QVERIFY(!QFileInfo::exists(Folder("out/clip-0.mp4")));

    ClickStart(*window);
    QTRY_COMPARE_WITH_TIMEOUT(Status(*window), QString("Task Stopped"), 5000);
    QVERIFY(m_shell.calls.isEmpty());
}

void ConverterDlgTest::NewProfileAfterStopIsAFreshStart()
{
    auto window = MakeWindow(StandInOptions());
    QVERIFY(window);
    PrepareRun(*window, "clip.flv", "sleep");
    ClickStart(*window);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(Folder("out/clip.mp4.pid")), 5000);
    ClickStart(*window);
    QTRY_COMPARE_WITH_TIMEOUT(Status(*window), QString("Task Stopped"), 5000);

    auto* profile = Control<QComboBox>(*window, "profile");
    profile->setCurrentIndex(1);
    emit profile->activated(1);
    QCOMPARE(Status(*window), QString("Options changed"));
    QCOMPARE(Control<QComboBox>(*window, "videoBitRate")->currentText(), QString("1500"));

    ClickStart(*window);
    const QString target = Folder("out/clip-0.mp4");
    QCOMPARE(Status(*window), "Converting To - " + target);
    QCOMPARE(window->Job().m_csTargetName, std::string("iPod (320x240) MPEG-4 Excellent (*.mp4)"));
    QCOMPARE(window->Job().m_csVideoBitRate, std::string("1500"));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(target + ".pid"), 5000);
    ClickStart(*window);
    QTRY_COMPARE_WITH_TIMEOUT(Status(*window), QString("Task Stopped"), 5000);

    // An option box counts as a change too.
    auto* size = Control<QComboBox>(*window, "size");
    size->setCurrentIndex(0);
    emit size->activated(0);
    QCOMPARE(Status(*window), QString("Options changed"));
}

void ConverterDlgTest::EncoderMissingOrFailing_data()
{
    QTest::addColumn<bool>("missing");
    QTest::addColumn<QByteArray>("behaviour");
    QTest::newRow("encoder missing") << true << QByteArray("ok");
    QTest::newRow("encoder fails") << false << QByteArray("fail");
}

void ConverterDlgTest::EncoderMissingOrFailing()
{
    QFETCH(bool, missing);
    QFETCH(QByteArray, behaviour);
    ConverterOptions options = StandInOptions();
    if (missing)
        options.m_csEncoderPath = Folder("no-such-encoder").toStdString();
    auto window = MakeWindow(options);
    QVERIFY(window);
    PrepareRun(*window, "clip.flv", behaviour);

    const QString target = Folder("out/clip.mp4");
    ClickStart(*window);
    QTRY_COMPARE_WITH_TIMEOUT(Status(*window), "Conversion Failed - " + target, 5000);
    QCOMPARE(StartCaption(*window), QString("Start Conversion"));
    QCOMPARE(Control<QProgressBar>(*window, "progress")->value(), 0);
    QVERIFY(m_shell.calls.isEmpty());
    QVERIFY(m_boxes.messages.empty());

    // A failed run is no stopped one: the next Start checks again and picks a new name.
    ClickStart(*window);
    QCOMPARE(Status(*window), "Converting To - " + Folder("out/clip-0.mp4"));
    QTRY_COMPARE_WITH_TIMEOUT(Status(*window), "Conversion Failed - " + Folder("out/clip-0.mp4"), 5000);
}

void ConverterDlgTest::ClosingDuringARun_data()
{
    QTest::addColumn<bool>("withEnter");
    QTest::newRow("Exit waits, then lets go") << false;
    QTest::newRow("Enter closes at once") << true;
}

void ConverterDlgTest::ClosingDuringARun()
{
    QFETCH(bool, withEnter);
    ConverterOptions options = StandInOptions();
    options.m_threadWait = std::chrono::milliseconds(100);
    auto window = MakeWindow(options);
    QVERIFY(window);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    PrepareRun(*window, "clip.flv", "slow 800");
    const QString target = Folder("out/clip.mp4");
    ClickStart(*window);
    QTRY_VERIFY_WITH_TIMEOUT(Control<QProgressBar>(*window, "progress")->value() >= 20, 5000);

    QElapsedTimer timer;
    timer.start();
    if (withEnter) {
        QLineEdit* source = Control<QLineEdit>(*window, "source");
        source->setFocus();
        QTest::keyClick(source, Qt::Key_Return);
        QCOMPARE(window->result(), int(QDialog::Accepted));
    } else {
        Control<QPushButton>(*window, "exit")->click();
        QCOMPARE(window->result(), int(QDialog::Rejected));
        QVERIFY(timer.elapsed() >= 90);  // it waited for the thread, briefly
    }
    QVERIFY(!window->isVisible());
    QCOMPARE(RunThreadsAlive(), 1);

    // The window goes away while its run goes on; the encoder finishes its file, and
    // the run's last word reaches nobody.
    window.reset();
    QTRY_COMPARE_WITH_TIMEOUT(RunThreadsAlive(), 0, 10000);
    QTest::qWait(50);
    QVERIFY(ReadText(target).startsWith("converted"));
    QVERIFY(m_shell.calls.isEmpty());
}

void ConverterDlgTest::EnterOnAFocusedButtonClicksIt()
{
    auto window = MakeWindow(StandInOptions());
    QVERIFY(window);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    auto* more = Control<QPushButton>(*window, "more");
    more->setFocus();
    QTest::keyClick(more, Qt::Key_Return);
    QCOMPARE(more->text(), QString("More<<"));
    QVERIFY(window->isVisible());

    QTest::keyClick(window.get(), Qt::Key_Escape);
    QVERIFY(!window->isVisible());
    QCOMPARE(window->result(), int(QDialog::Rejected));
}

void ConverterDlgTest::LoadBrowseAndOpen()
{
    auto window = MakeWindow(StandInOptions());
    QVERIFY(window);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    WriteText(Folder("v/clip.flv"), "ok");
    auto* progress = Control<QProgressBar>(*window, "progress");
    progress->setValue(40);

    // Load: a modal file dialog for FLV files; its choice lands in the source box.
    QStringList filters;
    QTimer::singleShot(0, window.get(), [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr)
            return;
        filters = dialog->nameFilters();
        dialog->selectFile(Folder("v/clip.flv"));
        static_cast<QDialog*>(dialog)->accept();
    });
    Control<QPushButton>(*window, "load")->click();
    QCOMPARE(filters, QStringList{"FLV - Flash Video Format (*.flv)"});
    QCOMPARE(Control<QLineEdit>(*window, "source")->text(), Folder("v/clip.flv"));
    QCOMPARE(Status(*window), "File Loaded : " + Folder("v/clip.flv"));
    QCOMPARE(progress->value(), 0);

    // Cancel changes nothing.
    QTimer::singleShot(0, window.get(), [] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget()))
            dialog->reject();
    });
    Control<QPushButton>(*window, "load")->click();
    QCOMPARE(Control<QLineEdit>(*window, "source")->text(), Folder("v/clip.flv"));

    // Browse: a folder picker that leaves the window usable while it is open.
    Control<QPushButton>(*window, "browse")->click();
    QFileDialog* picker = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QFileDialog*>(top); dialog && dialog->isVisible())
            picker = dialog;
    QVERIFY(picker);
    QCOMPARE(picker->windowTitle(), QString("Select Destination Folder"));
    QCOMPARE(picker->fileMode(), QFileDialog::Directory);
    QVERIFY(!picker->isModal());
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    Control<QPushButton>(*window, "more")->click();  // the window still answers
    QCOMPARE(Control<QPushButton>(*window, "more")->text(), QString("More<<"));
    picker->selectFile(Folder("out"));
    static_cast<QDialog*>(picker)->accept();
    QCOMPARE(Control<QLineEdit>(*window, "destination")->text(), Folder("out"));
    QCOMPARE(Status(*window), "Destination folder changed to " + Folder("out"));

    // Open: the destination as typed, trimmed; nothing for an empty box.
    Control<QLineEdit>(*window, "destination")->setText("  " + Folder("out") + " ");
    Control<QPushButton>(*window, "open")->click();
    QCOMPARE(m_shell.calls, QStringList{"folder " + Folder("out")});
    Control<QLineEdit>(*window, "destination")->setText("   ");
    Control<QPushButton>(*window, "open")->click();
    QCOMPARE(m_shell.calls.size(), 1);
}

void ConverterDlgTest::AboutBox()
{
    auto window = MakeWindow(StandInOptions());
    QVERIFY(window);
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));

    QString caption;
    QString text;
    auto answerAbout = [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr)
            return;
        caption = box->windowTitle();
        text = box->text();
        box->accept();
    };
    QTimer::singleShot(0, window.get(), answerAbout);
    QTest::keyClick(window.get(), Qt::Key_F1);
    QCOMPARE(caption, QString("About Pellux"));
    QCOMPARE(text, QString("Pellux Version 1.0"));

    // The context menu offers the same box.
    caption.clear();
    QStringList items;
    QTimer::singleShot(0, window.get(), [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr)
            return;
        for (const QAction* action : menu->actions())
            items << action->text();
        QTimer::singleShot(0, window.get(), answerAbout);
        menu->actions().first()->trigger();
        menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), window->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(window.get(), &event);
    QCOMPARE(items, QStringList{"&About Pellux..."});
    QCOMPARE(caption, QString("About Pellux"));
}

void ConverterDlgTest::RealEncoderEndToEnd()
{
    const QString encoder = QStringLiteral(TAVOLIN_BIN_DIR "/ostrand");
    if (!QFileInfo(encoder).isExecutable())
        QSKIP("ostrand is not built");
    const QString ffmpeg = QStandardPaths::findExecutable("ffmpeg");
    if (ffmpeg.isEmpty())
        QSKIP("ffmpeg is not installed");

    const QString source = Folder("v/Test Clip.flv");
    QProcess make;
    make.start(ffmpeg, {"-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=duration=1:size=160x120:rate=10", "-f",
                        "lavfi", "-i", "sine=frequency=440:duration=1", "-c:v", "flv1", "-c:a", "libmp3lame", "-ar",
                        "44100", "-shortest", source});
    QVERIFY(make.waitForFinished(60000));
    QCOMPARE(make.exitCode(), 0);

    ConverterOptions options;
    options.m_csEncoderPath = encoder.toStdString();
    options.m_pollInterval = std::chrono::milliseconds(100);
    auto window = MakeWindow(options);
    QVERIFY(window);
    Control<QLineEdit>(*window, "source")->setText(source);
    Control<QLineEdit>(*window, "destination")->setText(Folder("out"));
    ClickStart(*window);

    const QString target = Folder("out/Test Clip.mp4");
    QTRY_VERIFY_WITH_TIMEOUT(!Status(*window).startsWith("Converting To - "), 120000);
    QCOMPARE(Status(*window), "Task Compeleted - " + target);
    QCOMPARE(m_shell.calls, QStringList{"show " + target});
    QFile output(target);
    QVERIFY(output.open(QIODevice::ReadOnly));
    QVERIFY(output.size() > 1000);
    QCOMPARE(output.read(12).mid(4, 4), QByteArray("ftyp"));  // an MP4 container
}

QTEST_MAIN(ConverterDlgTest)
#include "ConverterDlgTest.moc"
