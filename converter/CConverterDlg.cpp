#include "converter/CConverterDlg.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStandardPaths>

#include "convert/VideoFileTypes.h"
#include "converter/ConversionRun.h"
#include "converter/OutputName.h"
#include "converter/ProgressStep.h"
#include "converter/RunChannel.h"
#include "converter/SourceSwitch.h"
#include "converter/StartDecision.h"
#include "desktop/DesktopShell.h"
#include "desktop/FileNames.h"
#include "desktop/MessageBoxes.h"
#include "desktop/WindowFrames.h"
#include "platform/CommandLine.h"
#include "platform/FileSystem.h"
#include "platform/PrivateProfile.h"
#include "platform/Text.h"
#include "platform/WorkerThread.h"
#include "skin/CTransStatic.h"
#include "skin/DialogUnits.h"
#include "skin/GradientFill.h"

namespace {

const QString kStartCaption = QStringLiteral("Start Conversion");
const QString kStopCaption = QStringLiteral("Stop Conversion");
const QString kMoreCaption = QStringLiteral("More>>");
const QString kLessCaption = QStringLiteral("More<<");
const QString kStoppedStatus = QStringLiteral("Task Stopped");
const QString kConvertingPrefix = QStringLiteral("Converting To - ");

constexpr const char* kSettingsSection = "TASKSINFO";
constexpr const char* kFolderKey = "LAST_CONV_FOLDER";
constexpr std::size_t kFolderBufferSize = 32767;

// The expanded window's client area in dialog units.
constexpr int kWidthUnits = 304;
constexpr int kHeightUnits = 178;

QString FromUtf8(const std::string& text)
{
    return QString::fromStdString(text);
}

bool PathExists(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

bool IsFolder(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::is_directory(path, ec);
}

// Picks a free name and creates it empty, so that the name is ours before the encoder
// starts. A name in use in any form, a dangling link included, is taken: the encoder must
// never write through a link. Created exclusively, so a file that appeared since the name
// was picked is never truncated; the next name is taken instead. A file that cannot be
// created for another reason is left to the encoder, which then fails visibly. None when
// every name tried was taken meanwhile.
std::optional<std::string> ReserveTarget(const std::string& folder, const std::string& source,
                                         const std::string& extension)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string target = ChooseTargetPath(folder, source, extension, platform::AnythingAt);
        const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return target;
        }
        if (errno != EEXIST)
            return target;
    }
    return std::nullopt;
}

// Every video type first, then the FLV filter of old.
QString LoadFilters()
{
    QStringList patterns;
    for (const std::string_view extension : kVideoExtensions)
        patterns << QStringLiteral("*") +
                        QLatin1String(extension.data(), static_cast<qsizetype>(extension.size()));
    return QStringLiteral("Video Files (%1);;FLV - Flash Video Format (*.flv)").arg(patterns.join(u' '));
}

std::optional<std::string> SelectedText(const QComboBox* box)
{
    if (box->currentIndex() < 0)
        return std::nullopt;
    return box->currentText().toStdString();
}

}  // namespace

CConverterDlg::CConverterDlg(ConverterOptions options, QWidget* parent)
    : QDialog(parent, FixedWindowFrame()), m_options(std::move(options))
{
    setWindowTitle(QStringLiteral("Pellux"));
    setWindowIcon(QIcon(QStringLiteral(":/pellux/pellux.ico")));
    CreateControls();
}

CConverterDlg::~CConverterDlg()
{
    DisposeRun(std::chrono::milliseconds(0));
    delete m_folderPicker;
}

void CConverterDlg::CreateControls()
{
    setFont(skin::DialogUnits::DialogFont());
    const skin::DialogUnits units = skin::DialogUnits::FromFont(font());
    auto place = [&units](QWidget* control, int x, int y, int width, int height) {
        control->setGeometry(units.ToPixels(x, y, width, height));
    };
    auto label = [&](const char* text, int x, int y, int width, int height) {
        auto* control = new CTransStatic(QString::fromLatin1(text), SS_LEFT, this);
        place(control, x, y, width, height);
        return control;
    };
    auto button = [&](const char* name, const QString& text, int x, int y, int width, int height) {
        auto* control = new QPushButton(text, this);
        control->setObjectName(QString::fromLatin1(name));
        // No button is the window's default: Enter is handled in keyPressEvent, and a
        // button drawn as the default would promise what Enter does not do.
        control->setAutoDefault(false);
        place(control, x, y, width, height);
        return control;
    };
    // A closed drop-down list is as tall as an edit box; the height the layout gives
    // it is that of its open list.
    auto dropDown = [&](const char* name, int x, int y, int width) {
        auto* control = new QComboBox(this);
        control->setObjectName(QString::fromLatin1(name));
        QRect rect = units.ToPixels(x, y, width, 13);
        rect.setHeight(std::max(rect.height(), control->minimumSizeHint().height()));
        control->setGeometry(rect);
        return control;
    };
    auto edit = [&](const char* name, int x, int y, int width, int height) {
        auto* control = new QLineEdit(this);
        control->setObjectName(QString::fromLatin1(name));
        place(control, x, y, width, height);
        return control;
    };

    // Created in the order the keyboard should visit them.
    label("Source File:", 7, 9, 38, 8);
    m_sourceBox = edit("source", 53, 7, 185, 13);
    QPushButton* load = button("load", QStringLiteral("Load..."), 244, 6, 53, 15);
    label("Destination:", 7, 27, 40, 8);
    m_destinationBox = edit("destination", 53, 25, 185, 13);
    QPushButton* browse = button("browse", QStringLiteral("Browse"), 244, 24, 30, 14);
    QPushButton* open = button("open", QStringLiteral("Open"), 275, 24, 22, 14);
    label("Profile:", 7, 46, 24, 8);
    m_profileBox = dropDown("profile", 53, 44, 244);
    label("Status:", 7, 63, 24, 8);
    // Paths are shown here; an '&' in one is a character, not a mnemonic.
    m_status = label("", 53, 62, 244, 10);
    m_status->SetStyle(SS_LEFT | SS_NOPREFIX);
    m_status->setObjectName(QStringLiteral("status"));
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("progress"));
    m_progress->setTextVisible(false);
    place(m_progress, 53, 74, 244, 6);
    m_moreButton = button("more", kMoreCaption, 7, 84, 60, 17);
    m_startButton = button("start", kStartCaption, 156, 84, 60, 17);
    QPushButton* exit = button("exit", QStringLiteral("Exit"), 239, 84, 60, 17);
    m_resolutionLabel = label("Resolution(Width x Height)", 7, 104, 87, 8);
    m_sizeBox = dropDown("size", 7, 115, 139);
    label("Video Codec", 158, 104, 40, 8);
    m_videoCodecBox = dropDown("videoCodec", 158, 115, 139);
    label("Video Bitrate", 7, 139, 42, 8);
    m_videoBitRateBox = dropDown("videoBitRate", 7, 150, 139);
    label("Audio Bitrate", 158, 139, 42, 8);
    m_audioBitRateBox = dropDown("audioBitRate", 158, 150, 139);

    m_rcFull = QRect(QPoint(0, 0), units.ToPixels(0, 0, kWidthUnits, kHeightUnits).size());
    // Collapsed, the window ends where the option boxes' captions begin.
    m_rcCollapsed = m_rcFull;
    m_rcCollapsed.setBottom(m_resolutionLabel->geometry().top() - 1);
    setFixedSize(m_rcCollapsed.size());

    connect(load, &QPushButton::clicked, this, &CConverterDlg::OnLoad);
    connect(browse, &QPushButton::clicked, this, &CConverterDlg::OnBrowse);
    connect(open, &QPushButton::clicked, this, &CConverterDlg::OnOpen);
    connect(m_moreButton, &QPushButton::clicked, this, &CConverterDlg::OnMore);
    connect(m_startButton, &QPushButton::clicked, this, &CConverterDlg::OnStartConversion);
    connect(exit, &QPushButton::clicked, this, &CConverterDlg::reject);
    // activated, not currentIndexChanged: only the user's choices count as changes.
    connect(m_profileBox, &QComboBox::activated, this, &CConverterDlg::OnProfileChanged);
    for (QComboBox* box : {m_sizeBox, m_videoCodecBox, m_videoBitRateBox, m_audioBitRateBox})
        connect(box, &QComboBox::activated, this, &CConverterDlg::OnOptionChanged);

    // The title bar offers no menu of ours here, so the About box is on F1 and on the
    // window's context menu.
    new QShortcut(QKeySequence(Qt::Key_F1), this, [this] { ShowAbout(); });
}

bool CConverterDlg::Initialise(const std::vector<std::string>& arguments)
{
    if (!SetupDataFolder()) {
        hide();
        return false;
    }
    if (const std::optional<std::string> source = SourceFromArguments(arguments))
        m_sourceBox->setText(FromFileName(*source));

    m_profiles = BuildProfileCatalogue(CatalogueProgram::Pellux);
    m_profileBox->clear();
    for (const ConvertProfile& profile : m_profiles)
        m_profileBox->addItem(FromUtf8(profile.name));
    if (!m_profiles.empty()) {
        m_profileBox->setCurrentIndex(0);
        FillOptionBoxes(m_profiles.front());
    }

    SetStatus(QStringLiteral("Please load a file first."));
    m_progress->setRange(kProgressMinimum, kProgressMaximum);
    m_progress->setValue(kProgressMinimum);
    // The encoder takes a while to tell; the window does not wait for it.
    m_encoderProfiles.Ask(m_options.encoderPath, EncoderProfiles::kAskTimeout, [this] {
        QMetaObject::invokeMethod(
            this, [this] { ShowProfileAvailability(); }, Qt::QueuedConnection);
    });
    return true;
}

void CConverterDlg::ShowProfileAvailability()
{
    for (std::size_t i = 0; i < m_profiles.size(); ++i) {
        const std::string& name = m_profiles[i].name;
        m_profileBox->setItemText(static_cast<int>(i), FromUtf8(ProfileDisplayName(
                                                           name, m_encoderProfiles.UnavailableReason(name))));
    }
}

bool CConverterDlg::CheckProfileAvailable()
{
    const std::string reason = m_encoderProfiles.UnavailableReason(m_job.m_csTargetName);
    if (reason.empty())
        return true;
    SetStatus(QStringLiteral("Profile Unavailable - ") + FromUtf8(reason));
    return false;
}

bool CConverterDlg::SetupDataFolder()
{
    const QString appData = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (appData.isEmpty()) {
        MessageBoxes::Current().Exclaim(this, QStringLiteral("Tavolin"),
                                        QStringLiteral("Can not load the application data directory"));
        return false;
    }
    const QString dataFolder = appData + QStringLiteral("/Tavolin Data");
    // Any entry counts, as for Tavolin; the folder belongs to Tavolin's installation and
    // is never created here.
    if (!platform::AnythingAt(ToFileName(dataFolder))) {
        // Before the box, which waits for the user: someone who started the program from a
        // terminal reads there how to make the folder.
        std::fputs(platform::MissingFolderAdvice("pellux", ToFileName(dataFolder)).c_str(), stderr);
        MessageBoxes::Current().Exclaim(
            this, QStringLiteral("Tavolin"),
            QStringLiteral("Can not find the application data directory \"%1\" for Tavolin, Please reinstall "
                           "this program.")
                .arg(dataFolder));
        return false;
    }
    m_dataFolder = ToFileName(dataFolder);
    m_settingsFile = m_dataFolder + "/settings.ini";

    std::string folder(platform::TrimWhiteSpace(platform::GetPrivateProfileString(
        kSettingsSection, kFolderKey, "", kFolderBufferSize, m_settingsFile)));
    if (folder.empty()) {
        const QString fallback = QDir::homePath() + QStringLiteral("/Pellux Output Videos/");
        QDir().mkdir(fallback);  // a failure shows later, when Start rejects the folder
        folder = ToFileName(fallback);
    }
    m_destinationBox->setText(FromFileName(folder));
    return true;
}

void CConverterDlg::FillOptionBoxes(const ConvertProfile& profile)
{
    const OptionBoxes boxes = ::FillOptionBoxes(profile);
    auto fill = [](QComboBox* box, const OptionBox& from) {
        box->clear();
        for (const std::string& item : from.items)
            box->addItem(FromUtf8(item));
        box->setCurrentIndex(from.selected);
    };
    fill(m_sizeBox, boxes.size);
    fill(m_videoBitRateBox, boxes.videoBitRate);
    fill(m_audioBitRateBox, boxes.audioBitRate);
    fill(m_videoCodecBox, boxes.videoCodec);
}

void CConverterDlg::ReadJobFromWindow()
{
    const int index = m_profileBox->currentIndex();
    const ConvertProfile* profile = (index >= 0 && static_cast<std::size_t>(index) < m_profiles.size())
                                        ? &m_profiles[static_cast<std::size_t>(index)]
                                        : nullptr;
    OptionSelection selection;
    selection.m_csVideoSize = SelectedText(m_sizeBox);
    selection.m_csVideoCodec = SelectedText(m_videoCodecBox);
    selection.m_csVideoBitRate = SelectedText(m_videoBitRateBox);
    selection.m_csAudioBitRate = SelectedText(m_audioBitRateBox);
    ReadJobFromSelection(m_job, profile, selection);
}

void CConverterDlg::SetStatus(const QString& text, const QString& why)
{
    m_status->setText(text);
    m_status->setToolTip(why);
}

void CConverterDlg::paintEvent(QPaintEvent*)
{
    // The gradient spans the expanded window even while it is collapsed, so the upper
    // part looks the same in both sizes.
    QPainter painter(this);
    skin::FillGradient(painter, m_rcFull, QColor(255, 255, 255), QColor(225, 223, 218),
                       skin::GradientBands::Tall);
}

void CConverterDlg::keyPressEvent(QKeyEvent* event)
{
    // Enter clicks the focused button; anywhere else it confirms the window, which
    // closes it.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const bool plain = event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier;
    if (enter && plain) {
        auto* button = qobject_cast<QPushButton*>(focusWidget());
        if (button != nullptr && button->parentWidget() == this)
            button->click();
        else
            accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CConverterDlg::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    menu.addAction(QStringLiteral("&About Pellux..."), this, [this] { ShowAbout(); });
    menu.exec(event->globalPos());
}

void CConverterDlg::ShowAbout()
{
    QMessageBox box(this);
    box.setWindowTitle(QStringLiteral("About Pellux"));
    box.setIconPixmap(windowIcon().pixmap(32, 32));
    box.setTextFormat(Qt::PlainText);
    box.setText(QStringLiteral("Pellux Version 1.0"));
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

void CConverterDlg::OnLoad()
{
    const QString path = QFileDialog::getOpenFileName(this, QString(), QString(), LoadFilters());
    if (path.isEmpty())
        return;
    m_sourceBox->setText(path);
    SetStatus(QStringLiteral("File Loaded : ") + path);
    m_progress->setValue(kProgressMinimum);
}

void CConverterDlg::OnBrowse()
{
    // Not modal, and owned by no window: the converter stays usable while it is open.
    if (m_folderPicker) {
        m_folderPicker->raise();
        m_folderPicker->activateWindow();
        return;
    }
    m_folderPicker = new QFileDialog(nullptr, QStringLiteral("Select Destination Folder"));
    m_folderPicker->setAttribute(Qt::WA_DeleteOnClose);
    m_folderPicker->setFileMode(QFileDialog::Directory);
    m_folderPicker->setOption(QFileDialog::ShowDirsOnly);
    connect(m_folderPicker, &QFileDialog::fileSelected, this, &CConverterDlg::OnDestinationChosen);
    m_folderPicker->show();
}

void CConverterDlg::OnDestinationChosen(const QString& folder)
{
    if (folder.isEmpty()) {
        m_destinationBox->setText(QStringLiteral("INVALID FOLDER"));
        SetStatus(QStringLiteral("Invalid destination folder. "));
        return;
    }
    m_destinationBox->setText(folder);
    SetStatus(QStringLiteral("Destination folder changed to ") + folder);
}

void CConverterDlg::OnOpen()
{
    const QString folder = m_destinationBox->text().trimmed();
    if (!folder.isEmpty())
        DesktopShell::Current().OpenFolder(folder, this);
}

void CConverterDlg::OnMore()
{
    // The caption is the only record of the state.
    if (m_moreButton->text() == kMoreCaption) {
        m_moreButton->setText(kLessCaption);
        setFixedSize(m_rcFull.size());
    } else {
        m_moreButton->setText(kMoreCaption);
        setFixedSize(m_rcCollapsed.size());
    }
}

void CConverterDlg::OnProfileChanged()
{
    const int index = m_profileBox->currentIndex();
    if (index >= 0 && static_cast<std::size_t>(index) < m_profiles.size())
        FillOptionBoxes(m_profiles[static_cast<std::size_t>(index)]);
    SetStatus(QStringLiteral("Options changed"));
}

void CConverterDlg::OnOptionChanged()
{
    SetStatus(QStringLiteral("Options changed"));
}

void CConverterDlg::OnStartConversion()
{
    if (m_startButton->text() == kStopCaption) {
        if (m_channel)
            m_channel->StopEvent().Set();
        return;
    }
    // Resuming a stopped run: the same job and the same target, nothing read again.
    if (m_status->text() == kStoppedStatus) {
        if (CheckProfileAvailable())
            StartRun(m_job.m_csTargetFile);
        return;
    }

    const StartRequest request{ToFileName(m_destinationBox->text()), ToFileName(m_sourceBox->text())};
    const StartDecision decision = DecideStart(request, FileQueries{IsFolder, PathExists});
    if (decision.rememberFolder)
        platform::WritePrivateProfileString(kSettingsSection, kFolderKey, decision.destination,
                                            m_settingsFile);
    if (decision.refusal != StartRefusal::None) {
        MessageBoxes::Current().Exclaim(this, QStringLiteral("Information"),
                                        FromUtf8(std::string(RefusalMessage(decision.refusal))));
        return;
    }
    m_job.m_csSourceFile = decision.source;
    ReadJobFromWindow();
    // Refused before a target is reserved: nothing is left behind.
    if (!CheckProfileAvailable())
        return;
    const std::optional<std::string> target =
        ReserveTarget(decision.destination, decision.source, m_job.m_csTargetType);
    if (!target) {
        SetStatus(QStringLiteral("Conversion Failed - no free name for the output file in ") +
                  FromFileName(decision.destination));
        return;
    }
    StartRun(*target);
}

void CConverterDlg::StartRun(const std::string& target)
{
    DisposeRun(m_options.threadWait);
    m_job.m_csTargetFile = target;
    m_channel = RunChannel::Create(this, this);
    // Shown now rather than when the thread first reports: a second click before that
    // must stop this run, not start another one.
    RunStarted(target);
    m_pThread = std::make_unique<platform::WorkerThread>(
        [channel = m_channel, job = m_job, encoder = m_options.encoderPath, poll = m_options.pollInterval] {
            RunConversion(channel, job, encoder, poll);
        });
}

void CConverterDlg::DisposeRun(std::chrono::milliseconds wait)
{
    if (m_pThread) {
        m_pThread->WaitFor(wait);
        m_pThread.reset();  // a thread still running is let go; it only holds the channel
    }
    if (m_channel) {
        m_channel->Detach();
        m_channel.reset();
    }
}

void CConverterDlg::reject()
{
    // The encoder itself is not stopped; it goes on writing its file.
    if (m_pThread)
        m_pThread->WaitFor(m_options.threadWait);
    QDialog::reject();
}

void CConverterDlg::done(int result)
{
    DisposeRun(std::chrono::milliseconds(0));
    if (m_folderPicker)
        m_folderPicker->close();
    QDialog::done(result);
}

void CConverterDlg::RunStarted(const std::string& target)
{
    m_startButton->setText(kStopCaption);
    SetStatus(kConvertingPrefix + FromFileName(target));
    m_progress->setValue(kProgressMinimum);
}

void CConverterDlg::RunStep(const std::string& target)
{
    m_progress->setValue(NextProgressPosition(m_progress->value()));
    SetStatus(kConvertingPrefix + FromFileName(target));
}

void CConverterDlg::RunProgress(const std::string& target, int percent)
{
    m_progress->setValue(percent);
    SetStatus(kConvertingPrefix + FromFileName(target));
}

void CConverterDlg::RunStopped()
{
    m_startButton->setText(kStartCaption);
    SetStatus(kStoppedStatus);
    m_progress->setValue(kProgressMinimum);
}

void CConverterDlg::RunCompleted(const std::string& target)
{
    SetStatus(QStringLiteral("Task Compeleted - ") + FromFileName(target));
    m_startButton->setText(kStartCaption);
    m_progress->setValue(kProgressMaximum);
    DesktopShell::Current().ShowInFolder(FromFileName(target), this);
}

void CConverterDlg::RunFailed(const std::string& target, const std::string& why)
{
    SetStatus(QStringLiteral("Conversion Failed - ") + FromFileName(target), FromFileName(why));
    m_startButton->setText(kStartCaption);
    m_progress->setValue(kProgressMinimum);
}
