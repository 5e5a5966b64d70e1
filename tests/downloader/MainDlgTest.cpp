// The main window over a real task engine and a temporary data folder: every command
// reaches the engine with the right rows, the desktop is asked for the right things,
// and closing, Enter and Escape do what they should.
#include <filesystem>
#include <memory>

#include <QClipboard>
#include <QDropEvent>
#include <QMimeData>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>

#include "WindowTestSupport.h"
#include "downloader/CDragDlg.h"
#include "downloader/CMainDlg.h"
#include "downloader/HelpWindow.h"
#include "fetch/ServiceConfig.h"
#include "skin/CFloatBtn.h"
#include "skin/CMenuButton.h"
#include "skin/CTitleButton.h"
#include "skin/CToolbarBtn.h"
#include "support/Files.h"
#include "support/ShellRecorder.h"
#include "support/VideoService.h"

namespace {

// The window with its dialogs replaced by scripted answers.
class ScriptedMainDlg : public CMainDlg {
public:
    using CMainDlg::CMainDlg;

    std::optional<NewTask> m_addAnswer;  // unset: cancelled
    std::optional<bool> m_confirmAnswer;
    std::function<void()> m_duringAdd;
    QStringList m_addUrls;
    int m_confirms = 0;

    void Click(const char* button) { findChild<CToolbarBtn*>(QLatin1String(button))->click(); }

protected:
    std::optional<NewTask> RunAddTaskDialog(const QString& url) override
    {
        m_addUrls << url;
        if (m_duringAdd)
            m_duringAdd();
        return std::exchange(m_addAnswer, std::nullopt);
    }
    std::optional<bool> RunConfirmDeleteDialog() override
    {
        ++m_confirms;
        return m_confirmAnswer;
    }
};

void Select(CMainDlg& window, std::initializer_list<int> rows)
{
    QItemSelectionModel* selection = window.List()->selectionModel();
    selection->clearSelection();
    for (const int row : rows)
        selection->select(window.Model().index(row, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

QStringList Names(CMainDlg& window, int column = 0)
{
    QStringList names;
    for (int row = 0; row < window.Model().rowCount(); ++row)
        names << QString::fromStdString(window.Model().CellText(row, column));
    return names;
}

QString Status(CMainDlg& window, int row)
{
    return Names(window, 2).value(row);
}

}  // namespace

class MainDlgTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<QTemporaryDir> m_bin;
    std::unique_ptr<ScriptedMainDlg> m_window;
    std::unique_ptr<VideoService> m_service;

    std::filesystem::path DataFolder() const { return m_data->path().toStdString(); }
    std::string ResourceFolder() const { return ProgramPaths::ResourceFolderOf(TAVOLIN_BIN_DIR); }

    // Without a tray probe, a tray is there from the start.
    ScriptedMainDlg& Open(const std::vector<StoredTask>& tasks, std::function<bool()> trayProbe = {})
    {
        WriteText(DataFolder() / "tasks.ini", StoreText(tasks));
        CMainDlg::Options options;
        options.dataFolder = DataFolder().string();
        options.paths = ProgramPaths(m_bin->path().toStdString(), ResourceFolder());
        options.exitWait = std::chrono::milliseconds(3000);
        options.trayAvailable = trayProbe ? std::nullopt : std::optional<bool>(true);
        if (trayProbe)
            options.trayProbe = std::move(trayProbe);
        options.trayCheckInterval = std::chrono::milliseconds(20);
        m_window = std::make_unique<ScriptedMainDlg>(std::move(options));
        m_window->Start();
        return *m_window;
    }

    VideoService& StartService()
    {
        m_service = std::make_unique<VideoService>();
        ServiceConfig config;
        config.serviceHost = m_service->Host();
        ServiceConfig::Install(config);
        return *m_service;
    }

private slots:
    void init()
    {
        m_data = std::make_unique<QTemporaryDir>();
        m_bin = std::make_unique<QTemporaryDir>();
        ServiceConfig::Install(ServiceConfig{});
    }

    void cleanup()
    {
        m_window.reset();
        m_service.reset();
        m_data.reset();
        m_bin.reset();
    }

    void removeHandsOverTheSelectedRowsAndOnlyTheirFiles()
    {
        const std::filesystem::path videos = DataFolder() / "videos";
        std::filesystem::create_directory(videos);
        for (const char* file : {"t1", "t1.mp4", "t2", "t2.mp4"})
            WriteText(videos / file, "data");
        std::vector<StoredTask> tasks = Named({"t0", "t1", "t2", "t3", "t4"}, videos.string() + "/");
        tasks[0].finished = tasks[0].allFinished = true;
        tasks[2].finished = true;  // still to be converted
        ScriptedMainDlg& window = Open(tasks);
        Select(window, {3, 1});
        QCOMPARE(window.SelectedRows(), (std::vector<std::int32_t>{1, 3}));

        window.Click("remove");  // cancelled
        QCOMPARE(Names(window).join(u' '), QStringLiteral("t0 t1 t2 t3 t4"));
        window.m_confirmAnswer = true;  // and delete the files
        window.Click("remove");
        QCOMPARE(window.m_confirms, 2);
        QCOMPARE(Names(window).join(u' '), QStringLiteral("t0 t2 t4"));
        QTRY_VERIFY(!std::filesystem::exists(videos / "t1") && !std::filesystem::exists(videos / "t1.mp4"));
        QVERIFY(std::filesystem::exists(videos / "t2") && std::filesystem::exists(videos / "t2.mp4"));

        window.List()->selectionModel()->clearSelection();
        window.RemoveSelectedTasks();
        QCOMPARE(window.m_confirms, 2);  // nothing selected: not even asked
        QCOMPARE(Status(window, 0), QStringLiteral("Task Completed"));
        window.findChild<CFloatBtn*>(QStringLiteral("clearCompleted"))->click();
        QCOMPARE(Names(window).join(u' '), QStringLiteral("t2 t4"));
    }

    void addRequestsOpenOneDialogAndBringTheWindowBack()
    {
        VideoService& service = StartService();
        ScriptedMainDlg& window = Open({});
        NewTask task;
        task.m_csUrl = service.WatchUrl("clip-30000");
        task.m_csFolder = m_data->path().toStdString() + "/";
        task.m_csFileName = "clip.flv";
        task.m_job.m_csTargetType = ".flv";
        window.m_addAnswer = task;
        // Further requests while the dialog is open are dropped, whichever way they come.
        window.m_duringAdd = [&window] {
            window.AddTask(QStringLiteral("http://elsewhere/watch?v=1"), true);
            window.Click("add");
        };
        window.hide();
        // Dropped text, as the drag manager delivers it: the drop is answered before the
        // dialog runs, so the program it came from is not kept waiting.
        const QString url = QStringLiteral("http://videos.example/watch?v=abc");
        QMimeData text;
        text.setText(url);
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction | Qt::MoveAction, &text, Qt::LeftButton,
                              Qt::NoModifier);
        QDropEvent drop(QPointF(20, 20), Qt::CopyAction | Qt::MoveAction, &text, Qt::LeftButton,
                        Qt::NoModifier);
        QVERIFY(QCoreApplication::sendEvent(window.DropWindow(), &enter) && enter.isAccepted());
        QVERIFY(QCoreApplication::sendEvent(window.DropWindow(), &drop) && drop.isAccepted());
        QVERIFY(window.m_addUrls.isEmpty());
        QTRY_COMPARE(window.m_addUrls, QStringList{url});
        QVERIFY(window.isVisible());
        QCOMPARE(Names(window), QStringList{QStringLiteral("clip.flv")});
        QTRY_COMPARE_WITH_TIMEOUT(Status(window, 0), QStringLiteral("Task Completed"), 15000);
        QCOMPARE(std::filesystem::file_size(DataFolder() / "clip.flv"), std::uintmax_t{30000});

        window.m_duringAdd = nullptr;
        window.hide();
        QAction* add = window.TrayMenu().actions().at(2);
        QCOMPARE(add->text(), QStringLiteral("Add Task..."));
        add->trigger();
        QTRY_COMPARE(window.m_addUrls, (QStringList{url, QString()}));
        QVERIFY(window.isVisible());
        window.Click("add");
        QCOMPARE(window.m_addUrls.size(), 3);
        QCOMPARE(window.Model().rowCount(), 1);  // both cancelled
    }

    void clipboardOffersNoListedAddressAndItsSwitchIsKept()
    {
        std::vector<StoredTask> tasks = Named({"t0"});
        tasks[0].url = "https://cdn.example/listed.mp4";
        const auto copy = [](const char* text) {
            QGuiApplication::clipboard()->setText(QString::fromLatin1(text));
            QTest::qWait(50);
        };
        QAction* watch = Open(tasks).WatchClipboardSwitch();
        QVERIFY(watch->isChecked() && m_window->TrayMenu().actions().contains(watch));
        copy("https://cdn.example/listed.mp4");
        copy("https://cdn.example/new.mp4");
        watch->trigger();
        copy("https://cdn.example/other.mp4");
        QCOMPARE(m_window->m_addUrls, QStringList{QStringLiteral("https://cdn.example/new.mp4")});
        // The next run keeps the choice.
        m_window.reset();
        QVERIFY(!Open(tasks).WatchClipboardSwitch()->isChecked());
        copy("https://cdn.example/third.mp4");
        QVERIFY(m_window->m_addUrls.isEmpty());
    }

    void endedTasksReachTheNotifierUnlessSwitchedOff()
    {
        ScriptedMainDlg& window = Open(Named({"t0", "t1"}));
        window.Scheduler().OnTaskReport({0, REPORT_STATUS, STATUS_DOWNLOAD_FAILED});
        QCOMPARE(window.Notifier().Waiting(), std::size_t{1});
        window.NotificationsSwitch()->trigger();
        window.Scheduler().OnTaskReport({1, REPORT_STATUS, STATUS_DOWNLOAD_FAILED});
        QCOMPARE(window.Notifier().Waiting(), std::size_t{0});
    }

    void desktopIsAskedForTheFirstSelectedTask()
    {
        ShellRecorder shell;
        ScriptedMainDlg& window = Open(Named({"t0", "t1", "t2"}));

        window.Click("converter");
        emit window.List()->customContextMenuRequested(QPoint(5, 5));
        QVERIFY(!window.ListMenu().isVisible());  // no selection, no menu

        Select(window, {2, 0});
        window.Click("converter");
        emit window.List()->customContextMenuRequested(QPoint(5, 5));
        QVERIFY(window.ListMenu().isVisible());
        window.ListMenu().hide();
        window.ListMenu().actions().at(0)->trigger();  // Browse Flv File
        window.ListMenu().actions().at(1)->trigger();  // Browse Target File
        QAction* details = window.ListMenu().actions().at(2);
        QVERIFY(!details->isEnabled());  // nothing failed yet

        // A failure's reason: in every cell's tooltip of its row and behind Details.
        BoxRecorder boxes;
        window.Scheduler().OnTaskDetail(0, "request 1: 404 Not Found");
        window.Scheduler().OnTaskReport({0, REPORT_STATUS, STATUS_DOWNLOAD_FAILED});
        QCOMPARE(window.Model().index(0, COLUMN_SIZE).data(Qt::ToolTipRole).toString(),
                 QStringLiteral("-\nrequest 1: 404 Not Found"));
        emit window.List()->customContextMenuRequested(QPoint(5, 5));
        window.ListMenu().hide();
        QVERIFY(details->isEnabled());
        details->trigger();
        QCOMPARE(boxes.m_boxes,
                 QStringList{QStringLiteral("Tavolin | t0: Download Failed\n\nrequest 1: 404 Not Found")});

        const QString bin = m_bin->path();
        QCOMPARE(shell.m_calls,
                 (QStringList{QStringLiteral("start %1/pellux []").arg(bin),
                              QStringLiteral("start %1/pellux [-source][/videos/t0]").arg(bin),
                              QStringLiteral("show /videos/t0"), QStringLiteral("show /videos/t0.mp4")}));
    }

    void keyboardReachesTheToolbarAndTheTooltipsSaySo()
    {
        ShellRecorder shell;
        ScriptedMainDlg& window = Open({});
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const std::pair<QKeySequence, const char*> shortcuts[] = {
            {QKeySequence(Qt::CTRL | Qt::Key_N), "add"},   {QKeySequence(Qt::CTRL | Qt::Key_E), "converter"},
            {QKeySequence(Qt::CTRL | Qt::Key_S), "start"}, {QKeySequence(Qt::CTRL | Qt::Key_P), "stop"},
            {QKeySequence(Qt::Key_Delete), "remove"},      {QKeySequence(Qt::Key_F1), "help"},
        };
        for (const auto& [keys, name] : shortcuts) {
            auto* button = window.findChild<QAbstractButton*>(QLatin1String(name));
            QSignalSpy clicked(button, &QAbstractButton::clicked);
            QTest::keySequence(&window, keys);
            QVERIFY2(
                clicked.size() == 1 && button->toolTip().contains(keys.toString(QKeySequence::NativeText)),
                name);
        }
    }

    void trayThatComesLaterTakesTheWindowAndAClickTogglesIt()
    {
        bool tray = false;
        Open({}, [&tray] { return tray; });
        m_window->close();  // nowhere to hide yet: minimised
        QVERIFY(!m_window->Tray().IsShown() && m_window->isMinimized());
        tray = true;  // a panel starts after the program
        QTRY_VERIFY(m_window->Tray().IsShown());
        m_window->RestoreWindow();
        m_window->close();
        QVERIFY(!m_window->isVisible());
        emit m_window->Tray().findChild<QSystemTrayIcon*>()->activated(QSystemTrayIcon::Trigger);
        QVERIFY(m_window->isVisible());
    }

    void helpOpensItsOwnWindowWithoutAnyOtherProgram()
    {
        ShellRecorder shell;
        BoxRecorder boxes;
        ScriptedMainDlg& window = Open({});
        window.findChild<CMenuButton*>(QStringLiteral("help"))->click();
        QVERIFY(window.Help() && window.Help()->isVisible());
        QVERIFY(window.Help()->Browser()->toPlainText().contains(QStringLiteral("Adding a task")));
        QCOMPARE(window.Help()->windowTitle(), QStringLiteral("Tavolin Help"));
        QVERIFY(shell.m_calls.isEmpty() && boxes.m_boxes.isEmpty());
        window.ExitApp();
        QVERIFY(!window.Help()->isVisible());
    }

    void closingKeepsTheRunAndOnlyEscapeEndsIt()
    {
        ScriptedMainDlg& window = Open(Named({"t0"}));
        QSignalSpy exited(&window, &CMainDlg::exited);
        window.findChild<CTitleButton*>(QStringLiteral("close"))->click();
        QVERIFY(!window.isVisible());
        window.RestoreWindow();

        QTest::keyClick(&window, Qt::Key_Return);
        QTest::keyClick(&window, Qt::Key_Enter);
        QCOMPARE(exited.size(), 0);
        QTest::keyClick(&window, Qt::Key_Escape);
        QCOMPARE(exited.size(), 1);
        QVERIFY(window.IsExiting() && !window.isVisible());
        window.ExitApp();
        QCOMPARE(exited.size(), 1);
    }
};

static RegisterTest g_register([] { return new MainDlgTest; });

#include "MainDlgTest.moc"
