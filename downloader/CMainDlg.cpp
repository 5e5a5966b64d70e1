#include "downloader/CMainDlg.h"

#include <algorithm>
#include <iostream>

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <QTableView>
#include <QWindow>

#include "desktop/DesktopShell.h"
#include "desktop/FileNames.h"
#include "desktop/MessageBoxes.h"
#include "downloader/CAddTaskDlg.h"
#include "downloader/CConfirmDeleteDlg.h"
#include "downloader/CDragDlg.h"
#include "downloader/CMyAboutDlg.h"
#include "downloader/HelpWindow.h"
#include "downloader/MainBackground.h"
#include "downloader/MainWindowRules.h"
#include "downloader/SwitchSettings.h"
#include "platform/CommandLine.h"
#include "scheduler/DownloadLimits.h"
#include "skin/CFloatBtn.h"
#include "skin/CMenuButton.h"
#include "skin/CTitleButton.h"
#include "skin/CToolbarBtn.h"
#include "skin/CTransStatic.h"
#include "skin/DialogUnits.h"

namespace {

QString ProductTitle()
{
    return QStringLiteral("%1 %2").arg(QLatin1String(kProductName),
                                       QLatin1String(platform::ProductVersion()));
}

}  // namespace

CMainDlg::CMainDlg(Options options, QWidget* parent)
    : QDialog(parent),
      m_options(std::move(options)),
      m_storePath(m_options.dataFolder + "/tasks.ini"),
      m_settingsPath(m_options.dataFolder + "/settings.ini"),
      m_appIcon(FromFileName(m_options.paths.ApplicationIcon())),
      m_trayAvailable(m_options.trayAvailable ? *m_options.trayAvailable : m_options.trayProbe()),
      m_prompt(this),
      // Workers ring the mailbox's descriptor; the drain runs here, on this thread.
      m_reportsReady(m_reports.Descriptor(), QSocketNotifier::Read)
{
    TaskScheduler::Settings settings;
    settings.storePath = m_storePath;
    settings.encoderPath = m_options.paths.Encoder();
    settings.exitWait = m_options.exitWait;
    settings.storeFailed = [this](const std::string& error) { ReportStoreFailure(error); };
    settings.taskEnded = [this](const CTask& task, StatusCode status) { OnTaskEnded(task, status); };
    settings.profiles = &m_encoderProfiles;
    const DownloadLimits limits = DownloadLimits::Load(m_settingsPath);
    settings.retry.maxRetries = limits.maxRetries;
    settings.maxDownloads = limits.maxDownloads;
    m_scheduler = std::make_unique<TaskScheduler>(m_model, m_reports, m_prompt, std::move(settings));

    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowSystemMenuHint);
    setWindowTitle(ProductTitle());
    setWindowIcon(m_appIcon);
    setFont(skin::DialogUnits::DialogFont());
    const skin::DialogUnits units = skin::DialogUnits::ForApplication();
    setFixedSize(units.ToPixelsX(446), units.ToPixelsY(297));

    CreateControls();
    CreateMenus();
    CreateShortcuts();
    LoadButtonIcons();

    connect(&m_tray, &CTrayIcon::toggleRequested, this, [this] {
        if (m_bTrayReady)
            ToggleWindow();
    });
    m_trayCheck.setInterval(m_options.trayCheckInterval);
    connect(&m_trayCheck, &QTimer::timeout, this, &CMainDlg::CheckForTray);
    connect(&m_reportsReady, &QSocketNotifier::activated, this, &CMainDlg::DrainReports);
}

CMainDlg::~CMainDlg()
{
    // Workers must not outlive the mailbox and the prompt they report to.
    if (!m_bExiting) {
        m_bExiting = true;
        m_prompt.Close();
        m_scheduler->ExitApp();
    }
    m_tray.Remove();
}

void CMainDlg::CreateControls()
{
    const skin::DialogUnits units = skin::DialogUnits::ForApplication();
    auto place = [&](QWidget* widget, int x, int y, int width, int height, const char* name) {
        widget->setGeometry(units.ToPixels(x, y, width, height));
        widget->setObjectName(QString::fromLatin1(name));
    };

    m_list = new QTableView(this);
    place(m_list, 1, 80, 443, 193, "taskList");
    m_list->setModel(&m_model);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setShowGrid(false);
    m_list->setWordWrap(false);
    m_list->setTextElideMode(Qt::ElideRight);
    m_list->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->verticalHeader()->hide();
    m_list->verticalHeader()->setDefaultSectionSize(m_list->fontMetrics().height() + 4);
    m_list->horizontalHeader()->setHighlightSections(false);
    m_list->horizontalHeader()->setStretchLastSection(false);
    for (int column = 0; column < TaskTableModel::kColumnCount; ++column)
        m_list->setColumnWidth(column, TaskTableModel::Columns()[static_cast<std::size_t>(column)].width);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QWidget::customContextMenuRequested, this, &CMainDlg::ShowListMenu);

    auto toolbar = [&](const char* text, int x, const char* name) {
        auto* button = new CToolbarBtn(QString::fromLatin1(text), this);
        place(button, x, 35, 42, 39, name);
        return button;
    };
    m_btnAdd = toolbar("Add", 9, "add");
    m_btnConverter = toolbar("Converter", 55, "converter");
    m_btnStart = toolbar("Start", 101, "start");
    m_btnStop = toolbar("Stop", 147, "stop");
    m_btnRemove = toolbar("Remove", 193, "remove");
    m_btnExit = toolbar("Exit", 396, "exit");

    m_btnHelp = new CMenuButton(QStringLiteral("Help"), this);
    place(m_btnHelp, 407, 16, 19, 14, "help");
    m_btnClearCompleted = new CFloatBtn(QStringLiteral("Clear all compeleted task"), this);
    place(m_btnClearCompleted, 4, 277, 87, 17, "clearCompleted");
    m_btnClose = new CTitleButton(QStringLiteral("x"), this);
    place(m_btnClose, 432, 2, 12, 12, "close");
    m_btnMinimise = new CTitleButton(QStringLiteral("_"), this);
    place(m_btnMinimise, 413, 2, 12, 12, "minimise");

    m_lblFooter = new CTransStatic(ProductTitle(), SS_CENTER | SS_NOPREFIX, this);
    place(m_lblFooter, 117, 280, 259, 8, "footer");
    m_lblTitle = new CTransStatic(QLatin1String(kProductName), SS_LEFT | SS_NOPREFIX, this);
    place(m_lblTitle, 30, 4, 237, 8, "title");
    m_lblTitle->SetType(3);

    connect(m_btnAdd, &QAbstractButton::clicked, this, [this] { AddTask(); });
    connect(m_btnConverter, &QAbstractButton::clicked, this, &CMainDlg::OpenConverter);
    connect(m_btnStart, &QAbstractButton::clicked, this, &CMainDlg::StartSelectedTasks);
    connect(m_btnStop, &QAbstractButton::clicked, this, &CMainDlg::StopSelectedTasks);
    connect(m_btnRemove, &QAbstractButton::clicked, this, &CMainDlg::RemoveSelectedTasks);
    connect(m_btnExit, &QAbstractButton::clicked, this, &CMainDlg::ExitApp);
    connect(m_btnHelp, &QAbstractButton::clicked, this, &CMainDlg::OpenHelp);
    connect(m_btnClearCompleted, &QAbstractButton::clicked, this, &CMainDlg::ClearCompletedTasks);
    connect(m_btnClose, &QAbstractButton::clicked, this, &QWidget::close);
    connect(m_btnMinimise, &QAbstractButton::clicked, this, &QWidget::showMinimized);
}

void CMainDlg::CreateMenus()
{
    QAction* toggle = m_trayMenu.addAction(QStringLiteral("Open/Hide Window"));
    m_trayMenu.addSeparator();
    QAction* add = m_trayMenu.addAction(QStringLiteral("Add Task..."));
    m_trayMenu.addSeparator();
    m_actWatchClipboard = AddSwitch("Watch Clipboard", kWatchClipboardKey);
    m_actNotifications = AddSwitch("Notifications", kNotificationsKey);
    m_notifier.SetEnabled(m_actNotifications->isChecked());
    connect(m_actNotifications, &QAction::toggled, &m_notifier, &DesktopNotifier::SetEnabled);
    m_trayMenu.addSeparator();
    QAction* about = m_trayMenu.addAction(QStringLiteral("About..."));
    QAction* exit = m_trayMenu.addAction(QStringLiteral("Exit"));
    // Queued: the menu closes before a dialog opens or the exit sequence hides it.
    connect(toggle, &QAction::triggered, this, &CMainDlg::ToggleWindow, Qt::QueuedConnection);
    connect(
        add, &QAction::triggered, this,
        [this] {
            const bool outOfSight = !isVisible() || isMinimized();
            AddTask(QString(), outOfSight);
        },
        Qt::QueuedConnection);
    connect(about, &QAction::triggered, this, &CMainDlg::ShowAbout, Qt::QueuedConnection);
    connect(exit, &QAction::triggered, this, &CMainDlg::ExitApp, Qt::QueuedConnection);

    QAction* browseFlv = m_listMenu.addAction(QStringLiteral("Browse Flv File"));
    QAction* browseTarget = m_listMenu.addAction(QStringLiteral("Browse Target File"));
    connect(browseFlv, &QAction::triggered, this, &CMainDlg::BrowseFlvFile);
    connect(browseTarget, &QAction::triggered, this, &CMainDlg::BrowseTargetFile);
    m_actDetails = m_listMenu.addAction(QStringLiteral("Details..."));
    connect(m_actDetails, &QAction::triggered, this, &CMainDlg::ShowDetails);
}

QAction* CMainDlg::AddSwitch(const char* text, const char* key)
{
    QAction* action = m_trayMenu.addAction(QString::fromLatin1(text));
    action->setCheckable(true);
    action->setChecked(ReadSwitch(m_settingsPath, key));
    connect(action, &QAction::toggled, this, [this, key](bool on) { WriteSwitch(m_settingsPath, key, on); });
    return action;
}

void CMainDlg::CreateShortcuts()
{
    // The toolbar buttons take no focus, so the keyboard reaches them through these; each
    // button's tooltip tells its keys. Escape stays Exit (keyPressEvent).
    const std::pair<QAbstractButton*, QKeySequence> shortcuts[] = {
        {m_btnAdd, QKeySequence(QKeySequence::New)},
        {m_btnConverter, QKeySequence(Qt::CTRL | Qt::Key_E)},
        {m_btnStart, QKeySequence(Qt::CTRL | Qt::Key_S)},
        {m_btnStop, QKeySequence(Qt::CTRL | Qt::Key_P)},
        {m_btnRemove, QKeySequence(QKeySequence::Delete)},
        {m_btnHelp, QKeySequence(QKeySequence::HelpContents)},
    };
    for (const auto& [button, keys] : shortcuts) {
        auto* shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, button, &QAbstractButton::click);
        button->setToolTip(
            QStringLiteral("%1 (%2)").arg(button->text(), keys.toString(QKeySequence::NativeText)));
    }
}

void CMainDlg::LoadButtonIcons()
{
    const std::vector<CToolbarBtn*> buttons{m_btnConverter, m_btnAdd,    m_btnStart,
                                            m_btnExit,      m_btnRemove, m_btnStop};
    for (const ToolbarIcon& icon : ToolbarIcons()) {
        const auto button = std::find_if(buttons.begin(), buttons.end(), [&](CToolbarBtn* candidate) {
            return candidate->text() == QLatin1String(icon.button);
        });
        if (button == buttons.end())
            continue;
        // A missing file leaves the button with its text alone; nothing to report.
        const QString path = FromFileName(m_options.paths.ToolbarIcon(icon.file));
        (*button)->SetIcons(LoadToolbarIcon(path, icon.normalSize), icon.normalSize,
                            LoadToolbarIcon(path, icon.hoverSize), icon.hoverSize);
    }
}

void CMainDlg::Start()
{
    m_scheduler->LoadTasks();
    // Half a second or so: asked on a thread, the window does not wait for the answer.
    m_encoderProfiles.Ask(m_options.paths.Encoder(), EncoderProfiles::kAskTimeout);

    if (m_trayAvailable)
        ShowTrayIcon();
    else if (!m_options.trayAvailable)
        m_trayCheck.start();

    if (m_options.dropWindow) {
        m_dragDlg = std::make_unique<CDragDlg>(m_appIcon);
        m_dragDlg->SetWatchClipboard(m_actWatchClipboard->isChecked());
        connect(m_actWatchClipboard, &QAction::toggled, m_dragDlg.get(), &CDragDlg::SetWatchClipboard);
        m_dragDlg->SetClipboardFilter([this](const std::string& url) { return AdmitCopiedAddress(url); });
        // Queued: the drop, or the clipboard change, is answered before the dialog runs its
        // loop; the program the text was dragged from waits for that answer.
        connect(
            m_dragDlg.get(), &CDragDlg::urlDropped, this, [this](const QString& url) { AddTask(url, true); },
            Qt::QueuedConnection);
        connect(m_dragDlg.get(), &CDragDlg::trayMenuRequested, this,
                [this](const QPoint& position) { m_trayMenu.popup(position); });
        connect(m_dragDlg.get(), &CDragDlg::toggleMainWindow, this, &CMainDlg::ToggleWindow);
        m_dragDlg->ShowAtTopRight();
    }

    m_bExiting = false;
    m_bAddOpen = false;
    m_bTrayReady = true;

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
    raise();
    activateWindow();
}

void CMainDlg::ShowTrayIcon()
{
    m_tray.Add(m_appIcon, QLatin1String(kProductName), &m_trayMenu);
}

void CMainDlg::CheckForTray()
{
    // A panel that starts after the program brings its tray late; from then on closing
    // hides the window there.
    if (m_bExiting || !m_options.trayProbe())
        return;
    m_trayCheck.stop();
    m_trayAvailable = true;
    ShowTrayIcon();
}

void CMainDlg::AddTask(const QString& url, bool restoreFirst)
{
    // One Add Task dialog at a time: a second request while one is open is dropped.
    if (m_bExiting || m_bAddOpen)
        return;
    m_bAddOpen = true;
    if (restoreFirst)
        RestoreWindow();
    const std::optional<NewTask> task = RunAddTaskDialog(url);
    m_bAddOpen = false;
    // The dialog's loop may have been where the exit sequence ran.
    if (task && !m_bExiting)
        m_scheduler->AddTask(*task);
    if (!m_pendingAddresses.empty())
        QMetaObject::invokeMethod(this, &CMainDlg::OfferNextAddress, Qt::QueuedConnection);
}

void CMainDlg::OfferAddresses(const QStringList& urls)
{
    m_pendingAddresses.insert(m_pendingAddresses.end(), urls.begin(), urls.end());
    if (!urls.isEmpty())
        QMetaObject::invokeMethod(this, &CMainDlg::OfferNextAddress, Qt::QueuedConnection);
}

void CMainDlg::OfferNextAddress()
{
    // An open dialog takes the next address when it closes.
    if (m_bExiting || m_bAddOpen || m_pendingAddresses.empty())
        return;
    const QString url = m_pendingAddresses.front();
    m_pendingAddresses.pop_front();
    AddTask(url, true);
}

bool CMainDlg::AdmitCopiedAddress(const std::string& url)
{
    // An offer while a dialog is open would be dropped, so it does not count as made.
    if (m_bExiting || m_bAddOpen)
        return false;
    return m_copiedAddresses.Admit(url, [this](std::string_view address) {
        const auto& tasks = m_scheduler->Tasks().Tasks();
        return std::any_of(tasks.begin(), tasks.end(),
                           [&](const auto& task) { return task->m_csUrl == address; });
    });
}

void CMainDlg::OnTaskEnded(const CTask& task, StatusCode status)
{
    TaskEnding ending;
    ending.name = FromFileName(task.m_csFileName);
    ending.status = QString::fromStdString(StatusText(status));
    ending.completed = status == STATUS_TASK_COMPLETED;
    if (ending.completed) {
        // What the task made: its conversion, or the download when it converts nothing.
        const bool converts = task.m_job.m_csTargetType != ".flv";
        ending.file = FromFileName(converts ? task.m_job.m_csTargetFile : task.m_csFilePath);
    }
    m_notifier.Add(ending);
}

void CMainDlg::StartSelectedTasks()
{
    if (!m_bExiting)
        m_scheduler->StartSelectedTasks(SelectedRows());
}

void CMainDlg::StopSelectedTasks()
{
    if (!m_bExiting)
        m_scheduler->StopSelectedTasks(SelectedRows());
}

void CMainDlg::RemoveSelectedTasks()
{
    if (m_bExiting)
        return;
    const std::vector<std::int32_t> rows = SelectedRows();
    if (rows.empty())
        return;
    const std::optional<bool> deleteFiles = RunConfirmDeleteDialog();
    if (!deleteFiles || m_bExiting)
        return;
    m_scheduler->RemoveSelectedTasks(rows, *deleteFiles);
}

void CMainDlg::ClearCompletedTasks()
{
    if (!m_bExiting)
        m_scheduler->ClearCompletedTasks();
}

void CMainDlg::ExitApp()
{
    if (m_bExiting)
        return;
    m_bExiting = true;
    m_bTrayReady = false;
    emit exiting();
    hide();
    m_trayCheck.stop();
    // Nothing drains any more, and a descriptor that stays readable would spin the loop.
    m_reportsReady.setEnabled(false);
    if (m_dragDlg)
        m_dragDlg->hide();
    if (m_help)
        m_help->hide();
    m_tray.Remove();
    // A worker waiting for its file-error box would hold up the wait below.
    m_prompt.Close();
    m_scheduler->ExitApp();
    emit exited();
}

void CMainDlg::reject()
{
    ExitApp();
}

void CMainDlg::ToggleWindow()
{
    if (m_bExiting)
        return;
    if (ActionForToggle(isVisible(), isMinimized()) == ToggleAction::Hide)
        close();
    else
        RestoreWindow();
}

void CMainDlg::RestoreWindow()
{
    if (m_bExiting)
        return;
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void CMainDlg::OpenConverter()
{
    std::optional<std::string> file;
    if (const auto row = FirstSelectedRow())
        file = m_scheduler->Tasks().At(*row).m_csFilePath;
    DesktopShell::Current().StartProgram(FromFileName(m_options.paths.Converter()), ConverterArguments(file));
}

void CMainDlg::OpenHelp()
{
    if (m_bExiting)
        return;
    if (!m_help)
        m_help = new HelpWindow(this);
    const QString page = FromFileName(m_options.paths.HelpPage());
    if (!m_help->Load(page)) {
        MessageBoxes::Current().Exclaim(this, QLatin1String(kProductName),
                                        QStringLiteral("Can not open the help page \"%1\".").arg(page));
        return;
    }
    m_help->show();
    m_help->raise();
    m_help->activateWindow();
}

void CMainDlg::BrowseFlvFile()
{
    if (const auto row = FirstSelectedRow()) {
        const std::string& path = m_scheduler->Tasks().At(*row).m_csFilePath;
        if (!path.empty())
            DesktopShell::Current().ShowInFolder(FromFileName(path), this);
    }
}

void CMainDlg::ShowDetails()
{
    const auto row = FirstSelectedRow();
    if (!row)
        return;
    const CTask& task = m_scheduler->Tasks().At(*row);
    if (task.m_detail.empty())
        return;
    const QString text = QStringLiteral("%1: %2\n\n%3")
                             .arg(FromFileName(task.m_csFileName),
                                  QString::fromStdString(m_model.CellText(*row, COLUMN_STATUS)),
                                  QString::fromStdString(task.m_detail));
    MessageBoxes::Current().Exclaim(this, QStringLiteral("Tavolin"), text);
}

void CMainDlg::BrowseTargetFile()
{
    if (const auto row = FirstSelectedRow()) {
        const std::string& path = m_scheduler->Tasks().At(*row).m_job.m_csTargetFile;
        if (!path.empty())
            DesktopShell::Current().ShowInFolder(FromFileName(path), this);
    }
}

void CMainDlg::ShowAbout()
{
    if (!m_bExiting)
        RunAboutDialog();
}

std::vector<std::int32_t> CMainDlg::SelectedRows() const
{
    std::vector<int> rows;
    if (const QItemSelectionModel* selection = m_list->selectionModel())
        for (const QModelIndex& index : selection->selectedRows())
            rows.push_back(index.row());
    std::vector<std::int32_t> ascending = AscendingRows(std::move(rows));
    // The engine's list and the view always agree; a row beyond it is never handed over.
    std::erase_if(ascending, [this](std::int32_t row) { return row >= m_scheduler->Tasks().Count(); });
    return ascending;
}

std::optional<std::int32_t> CMainDlg::FirstSelectedRow() const
{
    const std::vector<std::int32_t> rows = SelectedRows();
    if (rows.empty())
        return std::nullopt;
    return rows.front();
}

std::optional<NewTask> CMainDlg::RunAddTaskDialog(const QString& url)
{
    CAddTaskDlg dialog(m_settingsPath, url, this, &m_encoderProfiles);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Result();
}

std::optional<bool> CMainDlg::RunConfirmDeleteDialog()
{
    CConfirmDeleteDlg dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.m_bDeleteFiles;
}

void CMainDlg::RunAboutDialog()
{
    CMyAboutDlg dialog(m_appIcon, this);
    dialog.exec();
}

void CMainDlg::ShowListMenu(const QPoint& position)
{
    const auto row = FirstSelectedRow();
    if (m_bExiting || !row)
        return;
    m_actDetails->setEnabled(!m_scheduler->Tasks().At(*row).m_detail.empty());
    m_listMenu.popup(m_list->viewport()->mapToGlobal(position));
}

void CMainDlg::DrainReports()
{
    // A slice at a time: what is left is asked for again behind the input and painting
    // that came meanwhile, so that many busy workers never freeze the window.
    if (!m_bExiting && m_scheduler->DispatchPending(TaskScheduler::kDispatchSlice))
        QMetaObject::invokeMethod(
            this, [this] { DrainReports(); }, Qt::QueuedConnection);
}

void CMainDlg::ReportStoreFailure(const std::string& error)
{
    const QString text = QStringLiteral("Can not save the task list to \"%1\": %2")
                             .arg(FromFileName(m_storePath), QString::fromStdString(error));
    // At exit nobody is left to answer a box; the message goes where a terminal sees it.
    if (m_bExiting) {
        std::cerr << text.toStdString() << '\n';
        return;
    }
    if (m_storeFailureShown)
        return;
    m_storeFailureShown = true;
    // Not from inside the engine's call: the box's loop would dispatch reports into it.
    QMetaObject::invokeMethod(
        this, [this, text] { MessageBoxes::Current().Exclaim(this, QStringLiteral("Tavolin"), text); },
        Qt::QueuedConnection);
}

std::vector<CHoverButton*> CMainDlg::SkinnedButtons() const
{
    return {m_btnMinimise, m_btnClose, m_btnHelp,   m_btnAdd,  m_btnConverter,
            m_btnStart,    m_btnStop,  m_btnRemove, m_btnExit, m_btnClearCompleted};
}

void CMainDlg::paintEvent(QPaintEvent*)
{
    const qreal ratio = devicePixelRatioF();
    if (m_imgBackground.isNull() || m_imgBackground.devicePixelRatio() != ratio ||
        m_imgBackground.size() != size() * ratio) {
        m_imgBackground = PaintMainBackground(size(), ratio, m_appIcon);
        for (CHoverButton* button : SkinnedButtons())
            button->CaptureBackground(m_imgBackground);
    }
    QPainter painter(this);
    painter.drawImage(0, 0, m_imgBackground);
}

void CMainDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    m_imgBackground = QImage();
    setMask(RoundedWindowShape(size()));
}

void CMainDlg::closeEvent(QCloseEvent* event)
{
    // Closing never ends the run: downloads and conversions go on out of sight.
    event->ignore();
    if (m_bExiting)
        return;
    if (ActionForClose(m_trayAvailable) == CloseAction::Hide)
        hide();
    else
        showMinimized();
}

void CMainDlg::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        ExitApp();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        break;  // no command of its own
    default:
        QDialog::keyPressEvent(event);
        return;
    }
    event->accept();
}

void CMainDlg::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QDialog::mousePressEvent(event);
        return;
    }
    // The window has no caption: its body moves it. The window system moves it where it
    // can; elsewhere the window follows the mouse itself.
    if (QWindow* window = windowHandle(); window && window->startSystemMove())
        return;
    m_dragging = true;
    m_ptDragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void CMainDlg::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - m_ptDragOffset);
    else
        QDialog::mouseMoveEvent(event);
}

void CMainDlg::mouseReleaseEvent(QMouseEvent* event)
{
    m_dragging = false;
    QDialog::mouseReleaseEvent(event);
}
