// The main window over a real task engine and a temporary data folder: every command
// reaches the engine with the right rows, the desktop is asked for the right things,
// and closing, Enter and Escape do what they should.
#include <filesystem>
#include <map>
#include <memory>

#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include "WindowTestSupport.h"
#include "downloader/CDragDlg.h"
#include "downloader/CMainDlg.h"
#include "downloader/MainBackground.h"
#include "fetch/ServiceConfig.h"
#include "fetch/VideoService.h"
#include "skin/CFloatBtn.h"
#include "skin/CTitleButton.h"
#include "skin/CToolbarBtn.h"

namespace {

// The window with its dialogs replaced by scripted answers.
class ScriptedMainDlg : public CMainDlg {
public:
    using CMainDlg::CMainDlg;

    std::vector<std::optional<NewTask>> m_addAnswers;
    std::vector<std::optional<bool>> m_confirmAnswers;
    std::function<void()> m_duringAdd;
    QStringList m_addUrls;
    int m_nConfirms = 0;
    int m_nAbouts = 0;

protected:
    std::optional<NewTask> RunAddTaskDialog(const QString& url) override
    {
        m_addUrls << url;
        if (m_duringAdd)
            m_duringAdd();
        if (m_addAnswers.empty())
            return std::nullopt;
        std::optional<NewTask> answer = m_addAnswers.front();
        m_addAnswers.erase(m_addAnswers.begin());
        return answer;
    }

    std::optional<bool> RunConfirmDeleteDialog() override
    {
        ++m_nConfirms;
        if (m_confirmAnswers.empty())
            return std::nullopt;
        std::optional<bool> answer = m_confirmAnswers.front();
        m_confirmAnswers.erase(m_confirmAnswers.begin());
        return answer;
    }

    void RunAboutDialog() override { ++m_nAbouts; }
};

std::vector<StoredTask> Named(std::initializer_list<const char*> names, const std::string& folder = "/videos/")
{
    std::vector<StoredTask> tasks;
    for (const char* name : names) {
        StoredTask task = TaskNamed(name);
        task.folder = folder;
        tasks.push_back(task);
    }
    return tasks;
}

void Select(CMainDlg& window, std::initializer_list<int> rows)
{
    QItemSelectionModel* selection = window.List()->selectionModel();
    selection->clearSelection();
    for (const int row : rows)
        selection->select(window.Model().index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

QStringList Names(CMainDlg& window)
{
    QStringList names;
    for (int row = 0; row < window.Model().rowCount(); ++row)
        names << QString::fromStdString(window.Model().CellText(row, 0));
    return names;
}

QString Status(CMainDlg& window, int row)
{
    return QString::fromStdString(window.Model().CellText(row, 2));
}

QStringList MenuItems(const QMenu& menu)
{
    QStringList items;
    for (const QAction* action : menu.actions())
        items << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return items;
}

int CountPixels(const QImage& image, const QRect& area, const std::function<bool(QColor)>& match)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += match(image.pixelColor(x, y)) ? 1 : 0;
    return count;
}

}  // namespace

class MainDlgTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<QTemporaryDir> m_bin;
    std::unique_ptr<ScriptedMainDlg> m_window;

    std::filesystem::path DataFolder() const { return m_data->path().toStdString(); }
    std::string ResourceFolder() const { return ProgramPaths::ResourceFolderOf(TAVOLIN_BIN_DIR); }

    ScriptedMainDlg& Open(const std::vector<StoredTask>& tasks, bool trayAvailable = true,
                          std::optional<std::string> resources = std::nullopt)
    {
        WriteText(DataFolder() / "tasks.ini", StoreText(tasks));
        CMainDlg::Options options;
        options.m_csDataFolder = DataFolder().string();
        options.m_paths = ProgramPaths(m_bin->path().toStdString(), resources.value_or(ResourceFolder()));
        options.m_trayAvailable = trayAvailable;
        options.m_exitWait = std::chrono::milliseconds(3000);
        m_window = std::make_unique<ScriptedMainDlg>(std::move(options));
        m_window->Start();
        return *m_window;
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
        m_data.reset();
        m_bin.reset();
    }

    void removeHandsOverTheSelectedRowsAfterConfirming()
    {
        ScriptedMainDlg& window = Open(Named({"t0", "t1", "t2", "t3", "t4"}));
        window.m_confirmAnswers = {std::nullopt, false};
        Select(window, {3, 1});
        QCOMPARE(window.SelectedRows(), (std::vector<std::int32_t>{1, 3}));

        window.findChild<CToolbarBtn*>(QStringLiteral("remove"))->click();  // cancelled
        QCOMPARE(window.m_nConfirms, 1);
        QCOMPARE(Names(window), (QStringList{"t0", "t1", "t2", "t3", "t4"}));

        window.findChild<CToolbarBtn*>(QStringLiteral("remove"))->click();
        QCOMPARE(window.m_nConfirms, 2);
        QCOMPARE(Names(window), (QStringList{"t0", "t2", "t4"}));
        QCOMPARE(window.Scheduler().Tasks().Count(), 3);
        QCOMPARE(window.Scheduler().Tasks().At(1).m_csFileName, std::string("t2"));

        window.List()->selectionModel()->clearSelection();
        window.RemoveSelectedTasks();
        QCOMPARE(window.m_nConfirms, 2);  // nothing selected: not even asked
    }

    void removeWithFilesDeletesThoseOfTheRemovedTasksOnly()
    {
        const std::filesystem::path videos = DataFolder() / "videos";
        std::filesystem::create_directory(videos);
        for (const char* file : {"a", "a.mp4", "b", "b.mp4"})
            WriteText(videos / file, "data");
        ScriptedMainDlg& window = Open(Named({"a", "b"}, videos.string() + "/"));
        window.m_confirmAnswers = {true};
        Select(window, {1});
        window.RemoveSelectedTasks();
        QCOMPARE(Names(window), QStringList{"a"});
        QTRY_VERIFY(!std::filesystem::exists(videos / "b") && !std::filesystem::exists(videos / "b.mp4"));
        QVERIFY(std::filesystem::exists(videos / "a") && std::filesystem::exists(videos / "a.mp4"));
    }

    void clearCompletedTakesOnlyCompleteTasks()
    {
        std::vector<StoredTask> tasks = Named({"done", "converting", "idle", "flv"});
        tasks[0].finished = tasks[0].allFinished = true;
        tasks[1].finished = true;
        tasks[3].finished = tasks[3].allFinished = true;
        tasks[3].targetType = ".flv";
        ScriptedMainDlg& window = Open(tasks);
        QCOMPARE(Status(window, 0), QStringLiteral("Task Completed"));
        window.findChild<CFloatBtn*>(QStringLiteral("clearCompleted"))->click();
        QCOMPARE(Names(window), (QStringList{"converting", "idle"}));
    }

    void startAndStopReachOnlyTheSelectedRows()
    {
        VideoService service;
        ServiceConfig config;
        config.m_csServiceHost = service.Host();
        ServiceConfig::Install(config);

        std::vector<StoredTask> tasks = Named({"slow", "downloaded", "untouched"}, m_data->path().toStdString() + "/");
        tasks[0].url = service.WatchUrl("slow-4000000");
        tasks[1].finished = true;  // its conversion is still to do
        tasks[2].url = service.WatchUrl("untouched-1000");
        ScriptedMainDlg& window = Open(tasks);

        std::map<int, QStringList> history;
        connect(&window.Model(), &QAbstractItemModel::dataChanged, &window,
                [&](const QModelIndex& from, const QModelIndex&) {
                    if (from.column() == 2)
                        history[from.row()] << Status(window, from.row());
                });

        Select(window, {1, 0});
        window.findChild<CToolbarBtn*>(QStringLiteral("start"))->click();
        QTRY_VERIFY(history[1].contains(QStringLiteral("Waiting")));
        QTRY_VERIFY_WITH_TIMEOUT(Status(window, 0).endsWith(QLatin1Char('%')), 15000);

        Select(window, {0});
        window.findChild<CToolbarBtn*>(QStringLiteral("stop"))->click();
        QTRY_COMPARE(Status(window, 0), QStringLiteral("Task Stopped"));

        QVERIFY(!history.count(2));
        QCOMPARE(Status(window, 2), QStringLiteral("Task Stopped"));
        for (const std::string& line : service.RequestLines())
            QVERIFY2(line.find("untouched") == std::string::npos, line.c_str());
    }

    void addOpensOneDialogAndHandsItsTaskOver()
    {
        VideoService service;
        ServiceConfig config;
        config.m_csServiceHost = service.Host();
        ServiceConfig::Install(config);
        ScriptedMainDlg& window = Open({});

        NewTask task;
        task.m_csUrl = service.WatchUrl("clip-30000");
        task.m_csFolder = m_data->path().toStdString() + "/";
        task.m_csFileName = "clip.flv";
        task.m_job.m_csTargetType = ".flv";
        task.m_job.m_csTargetName = "FLV - Flash Video Format Orignal (*.flv)";
        window.m_addAnswers = {task};
        // Further requests while the dialog is open are dropped, whichever way they come.
        window.m_duringAdd = [&window] {
            window.AddTask(QStringLiteral("http://elsewhere/watch?v=1"), true);
            window.findChild<CToolbarBtn*>(QStringLiteral("add"))->click();
        };

        window.findChild<CToolbarBtn*>(QStringLiteral("add"))->click();
        QCOMPARE(window.m_addUrls, QStringList{QString()});
        QCOMPARE(window.Model().rowCount(), 1);
        QCOMPARE(window.Model().CellText(0, 0), std::string("clip.flv"));
        QCOMPARE(window.Model().CellText(0, 4), task.m_job.m_csTargetName);
        QTRY_COMPARE_WITH_TIMEOUT(Status(window, 0), QStringLiteral("Task Completed"), 15000);
        QCOMPARE(std::filesystem::file_size(DataFolder() / "clip.flv"), std::uintmax_t{30000});

        window.m_duringAdd = nullptr;
        window.findChild<CToolbarBtn*>(QStringLiteral("add"))->click();  // cancelled this time
        QCOMPARE(window.m_addUrls.size(), 2);
        QCOMPARE(window.Model().rowCount(), 1);
    }

    void droppedAddressAndTrayAddBringTheWindowBack()
    {
        ScriptedMainDlg& window = Open({});
        QVERIFY(window.DropWindow());
        window.hide();
        const QString url = QStringLiteral("http://videos.example/watch?v=abc");
        emit window.DropWindow()->urlDropped(url);
        QCOMPARE(window.m_addUrls, QStringList{url});
        QVERIFY(window.isVisible());

        window.hide();
        const QList<QAction*> items = window.TrayMenu().actions();
        items.at(2)->trigger();  // "Add Task..."
        QTRY_COMPARE(window.m_addUrls.size(), 2);
        QCOMPARE(window.m_addUrls.last(), QString());
        QVERIFY(window.isVisible());
        QCOMPARE(window.Model().rowCount(), 0);  // both cancelled
    }

    void desktopIsAskedForTheFirstSelectedTask()
    {
        ShellRecorder shell;
        std::vector<StoredTask> tasks = Named({"t0", "t1", "t2"});
        ScriptedMainDlg& window = Open(tasks);
        const QString bin = m_bin->path();
        const QString resources = QString::fromStdString(ResourceFolder());

        window.findChild<CToolbarBtn*>(QStringLiteral("converter"))->click();
        window.OpenHelp();
        emit window.List()->customContextMenuRequested(QPoint(5, 5));
        QVERIFY(!window.ListMenu().isVisible());  // no selection, no menu

        Select(window, {2, 0});
        window.findChild<CToolbarBtn*>(QStringLiteral("converter"))->click();
        QCOMPARE(MenuItems(window.ListMenu()), (QStringList{"Browse Flv File", "Browse Target File"}));
        emit window.List()->customContextMenuRequested(QPoint(5, 5));
        QVERIFY(window.ListMenu().isVisible());
        window.ListMenu().hide();
        window.ListMenu().actions().at(0)->trigger();
        window.ListMenu().actions().at(1)->trigger();

        QCOMPARE(shell.m_calls, (QStringList{QStringLiteral("start ") + bin + QStringLiteral("/pellux []"),
                                             QStringLiteral("open ") + resources + QStringLiteral("/help.html"),
                                             QStringLiteral("start ") + bin + QStringLiteral("/pellux [-source][/videos/t0]"),
                                             QStringLiteral("show /videos/t0"), QStringLiteral("show /videos/t0.mp4")}));
    }

    void trayMenuItemsAndCommands()
    {
        ScriptedMainDlg& window = Open({});
        QCOMPARE(MenuItems(window.TrayMenu()),
                 (QStringList{"Open/Hide Window", "-", "Add Task...", "-", "About...", "Exit"}));
        const QList<QAction*> items = window.TrayMenu().actions();
        items.at(4)->trigger();
        QTRY_COMPARE(window.m_nAbouts, 1);
        items.at(0)->trigger();
        QTRY_VERIFY(!window.isVisible());
        QVERIFY(!window.IsExiting());
        items.at(0)->trigger();
        QTRY_VERIFY(window.isVisible());
        QSignalSpy exited(&window, &CMainDlg::exited);
        items.at(5)->trigger();
        QTRY_COMPARE(exited.size(), 1);
        QVERIFY(!window.isVisible());
    }

    void closingKeepsTheRunAndOnlyEscapeEndsIt()
    {
        ScriptedMainDlg& window = Open(Named({"t0"}));
        QSignalSpy exited(&window, &CMainDlg::exited);

        window.findChild<CTitleButton*>(QStringLiteral("close"))->click();
        QVERIFY(!window.isVisible());
        window.RestoreWindow();
        QVERIFY(window.isVisible());
        window.findChild<CTitleButton*>(QStringLiteral("minimise"))->click();
        QVERIFY(window.isMinimized());
        window.ToggleWindow();  // a minimised window comes back
        QVERIFY(window.isVisible() && !window.isMinimized());

        QTest::keyClick(&window, Qt::Key_Return);
        QTest::keyClick(&window, Qt::Key_Enter);
        QVERIFY(window.isVisible());
        QCOMPARE(exited.size(), 0);

        QTest::keyClick(&window, Qt::Key_Escape);
        QCOMPARE(exited.size(), 1);
        QVERIFY(window.IsExiting() && !window.isVisible());
        // The store was rewritten whole, with the keys the fixture left out.
        QVERIFY(ReadText(DataFolder() / "tasks.ini").find("m_csSourceFile0=") != std::string::npos);
        window.ExitApp();
        QCOMPARE(exited.size(), 1);
    }

    void withoutATrayClosingMinimises()
    {
        ScriptedMainDlg& window = Open({}, false);
        QVERIFY(!window.TrayAvailable());
        window.close();
        QVERIFY(window.isMinimized());
        QVERIFY(!window.IsExiting());
    }

    void skinAndIconsShowThroughTheWindow()
    {
        ScriptedMainDlg& window = Open({});
        const QImage shown = window.grab().toImage();
        const QImage skin = mainwnd::PaintMainBackground(window.size(), shown.devicePixelRatio(), QPixmap());
        const QPoint header(window.width() - 150, 10);
        QCOMPARE(shown.pixelColor(header * shown.devicePixelRatio()), skin.pixelColor(header));

        // A toolbar button at rest shows the window's own background around its icon.
        const QRect add = window.findChild<CToolbarBtn*>(QStringLiteral("add"))->geometry();
        for (const QPoint corner : {add.topLeft() + QPoint(1, 1), add.topRight() + QPoint(-1, 1)})
            QCOMPARE(shown.pixelColor(corner), skin.pixelColor(corner));
        const auto green = [](QColor c) { return c.green() > 150 && c.red() < 120 && c.blue() < 120; };
        QVERIFY(CountPixels(shown, add, green) > 10);  // the plus sign of the document icon

        // Without its icon files a button is left with its text; nothing is reported.
        BoxRecorder boxes;
        QTemporaryDir empty;
        ScriptedMainDlg& bare = Open({}, true, empty.path().toStdString());
        const QImage plain = bare.grab().toImage();
        QCOMPARE(CountPixels(plain, add, green), 0);
        QVERIFY(boxes.m_boxes.isEmpty());
    }
};

static RegisterWindowTest g_register([] { return new MainDlgTest; });

#include "MainDlgTest.moc"
