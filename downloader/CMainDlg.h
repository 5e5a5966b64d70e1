#pragma once
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QDialog>
#include <QIcon>
#include <QImage>
#include <QMenu>
#include <QPoint>
#include <QSocketNotifier>
#include <QStringList>
#include <QTimer>

#include "desktop/CTrayIcon.h"
#include "desktop/DesktopNotifier.h"
#include "downloader/ClipboardDuplicates.h"
#include "downloader/ProgramPaths.h"
#include "downloader/TaskTableModel.h"
#include "downloader/UiFilePrompt.h"
#include "scheduler/TaskScheduler.h"
#include "tasks/ReportQueue.h"

class CDragDlg;
class CFloatBtn;
class CHoverButton;
class CMenuButton;
class CTitleButton;
class CToolbarBtn;
class HelpWindow;
class CTransStatic;
class QAction;
class QTableView;

// Tavolin's one main window: caption-less and skinned, with the toolbar, the task list,
// the footer, the tray icon and the drop window. Every command goes to the task engine
// (TaskScheduler) with the selected rows; the window itself keeps no task rules. Closing
// it only hides it; Exit (button, tray menu, Escape, a termination signal) ends the run.
class CMainDlg : public QDialog {
    Q_OBJECT

public:
    struct Options {
        std::string dataFolder;  // exists; holds tasks.ini and settings.ini
        ProgramPaths paths = ProgramPaths::ForRunningProgram();
        std::optional<bool> trayAvailable;  // unset: ask trayProbe, again and again while there is none
        std::function<bool()> trayProbe = CTrayIcon::DesktopHasTray;
        std::chrono::milliseconds trayCheckInterval{2000};
        bool dropWindow = true;
        std::chrono::milliseconds exitWait{5000};
    };

    explicit CMainDlg(Options options, QWidget* parent = nullptr);
    ~CMainDlg() override;

    // Loads the task store, shows the tray icon and the drop window, and the window.
    void Start();

    // The commands.
    // `restoreFirst`: a dropped address or the tray brings the window back before the
    // dialog opens.
    void AddTask(const QString& url = QString(), bool restoreFirst = false);
    // Addresses from the command line: each is offered in an Add Task dialog of its own,
    // one after another, the next when the dialog before has closed.
    void OfferAddresses(const QStringList& urls);
    void StartSelectedTasks();
    void StopSelectedTasks();
    void RemoveSelectedTasks();
    void ClearCompletedTasks();
    // The exit sequence: hides every window, removes the tray icon, saves the store,
    // stops every thread, then emits exited(). Later calls do nothing.
    void ExitApp();

    void ToggleWindow();
    void RestoreWindow();
    void OpenConverter();
    // The help page in a window of its own; a message box when the page is missing.
    void OpenHelp();
    void BrowseFlvFile();
    void BrowseTargetFile();
    // Why the first selected task failed, in a message box.
    void ShowDetails();
    void ShowAbout();

    // Selected rows, ascending.
    std::vector<std::int32_t> SelectedRows() const;

    bool IsExiting() const { return m_bExiting; }
    bool TrayAvailable() const { return m_trayAvailable; }
    const std::string& SettingsPath() const { return m_settingsPath; }
    const std::string& StorePath() const { return m_storePath; }
    const QIcon& AppIcon() const { return m_appIcon; }

    TaskTableModel& Model() { return m_model; }
    QTableView* List() const { return m_list; }
    TaskScheduler& Scheduler() { return *m_scheduler; }
    CDragDlg* DropWindow() const { return m_dragDlg.get(); }
    QMenu& TrayMenu() { return m_trayMenu; }
    QAction* WatchClipboardSwitch() const { return m_actWatchClipboard; }
    QAction* NotificationsSwitch() const { return m_actNotifications; }
    DesktopNotifier& Notifier() { return m_notifier; }
    QMenu& ListMenu() { return m_listMenu; }
    CTrayIcon& Tray() { return m_tray; }
    HelpWindow* Help() const { return m_help; }

signals:
    // The exit sequence begins: nothing new may reach this run any more.
    void exiting();
    // The exit sequence has ended; the program may end.
    void exited();

public slots:
    void reject() override;  // Escape and every other cancel path: Exit

protected:
    // The dialogs, replaceable so the commands can be driven without modal loops.
    // Nothing means the user cancelled.
    virtual std::optional<NewTask> RunAddTaskDialog(const QString& url);
    virtual std::optional<bool> RunConfirmDeleteDialog();  // the answer: delete files too
    virtual void RunAboutDialog();

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void CreateControls();
    void CreateMenus();
    // A checkable tray menu item kept in settings.ini under `key`.
    QAction* AddSwitch(const char* text, const char* key);
    void OfferNextAddress();
    bool AdmitCopiedAddress(const std::string& url);
    void OnTaskEnded(const CTask& task, StatusCode status);
    void CreateShortcuts();
    void LoadButtonIcons();
    void ShowTrayIcon();
    void CheckForTray();
    void ShowListMenu(const QPoint& position);
    void DrainReports();
    void ReportStoreFailure(const std::string& error);
    std::optional<std::int32_t> FirstSelectedRow() const;
    std::vector<CHoverButton*> SkinnedButtons() const;

    Options m_options;
    std::string m_storePath;
    std::string m_settingsPath;
    QIcon m_appIcon;
    bool m_trayAvailable = false;
    bool m_bTrayReady = false;
    bool m_bExiting = false;
    bool m_bAddOpen = false;
    bool m_storeFailureShown = false;

    TaskTableModel m_model;
    UiFilePrompt m_prompt;
    ReportQueue m_reports;
    QSocketNotifier m_reportsReady;
    EncoderProfiles m_encoderProfiles;  // outlives the scheduler, which reads it
    std::unique_ptr<TaskScheduler> m_scheduler;

    QTableView* m_list = nullptr;
    std::unique_ptr<CDragDlg> m_dragDlg;
    HelpWindow* m_help = nullptr;  // made on the first Help, a child of this window
    CTrayIcon m_tray;
    QTimer m_trayCheck;  // while the desktop has no tray: one may come later
    QMenu m_trayMenu;
    QMenu m_listMenu;
    QAction* m_actDetails = nullptr;
    QAction* m_actWatchClipboard = nullptr;
    QAction* m_actNotifications = nullptr;
    DesktopNotifier m_notifier;
    ClipboardDuplicates m_copiedAddresses;
    std::deque<QString> m_pendingAddresses;

    CToolbarBtn* m_btnAdd = nullptr;
    CToolbarBtn* m_btnStart = nullptr;
    CToolbarBtn* m_btnStop = nullptr;
    CToolbarBtn* m_btnRemove = nullptr;
    CToolbarBtn* m_btnExit = nullptr;
    CMenuButton* m_btnHelp = nullptr;
    CToolbarBtn* m_btnConverter = nullptr;
    CTitleButton* m_btnClose = nullptr;
    CTitleButton* m_btnMinimise = nullptr;
    CFloatBtn* m_btnClearCompleted = nullptr;
    CTransStatic* m_lblFooter = nullptr;
    CTransStatic* m_lblTitle = nullptr;

    QImage m_imgBackground;  // the painted skin, kept until the size changes
    bool m_dragging = false;
    QPoint m_ptDragOffset;
};
