#include "downloader/CAddTaskDlg.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStandardPaths>

#include "desktop/FileNames.h"
#include "desktop/MessageBoxes.h"
#include "desktop/WindowFrames.h"
#include "downloader/AddTaskRules.h"
#include "fetch/ServiceConfig.h"
#include "fetch/WatchUrl.h"
#include "platform/FileSystem.h"
#include "platform/PrivateProfile.h"
#include "platform/Text.h"
#include "skin/CTransCheck.h"
#include "skin/CTransStatic.h"
#include "skin/DialogUnits.h"
#include "skin/GradientFill.h"

namespace {

constexpr char kSection[] = "TASKSINFO";
constexpr char kLastFolderKey[] = "LAST_FOLDER";
constexpr std::size_t kFolderBuffer = 32768;

constexpr int kDialogWidth = 297;
constexpr int kDialogHeight = 202;
constexpr int kOptionsTop = 130;  // the "Resolution (Width x Height)" label
constexpr int kComboHeight = 13;  // a closed drop-down list

const QColor kBackgroundTop(255, 255, 255);
const QColor kBackgroundBottom(225, 223, 218);

bool IsEnter(const QEvent* event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return false;
    const int key = static_cast<const QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

QString ToQ(const std::string& text)
{
    return QString::fromStdString(text);
}

std::string SelectedText(const QComboBox* box)
{
    return box->currentIndex() >= 0 ? box->currentText().toStdString() : std::string();
}

std::optional<std::string> Selection(const QComboBox* box)
{
    if (box->currentIndex() < 0)
        return std::nullopt;
    return SelectedText(box);
}

void Fill(QComboBox* box, const OptionBox& content)
{
    box->clear();
    for (const std::string& item : content.items)
        box->addItem(ToQ(item));
    box->setCurrentIndex(content.selected);
}

std::string HomeFolder()
{
    return ToFileName(QDir::homePath());
}

// Creation failures are left to the download, which reports its own.
void CreateEmptyFile(const std::string& path)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
}

}  // namespace

CAddTaskDlg::CAddTaskDlg(const std::string& settingsPath, const QString& url, QWidget* parent,
                         const EncoderProfiles* profiles)
    : QDialog(parent, FixedDialogFrame()),
      m_csUrl(url.toStdString()),
      m_settingsPath(settingsPath),
      m_encoderProfiles(profiles)
{
    setWindowTitle(QStringLiteral("Add Task"));
    setFont(skin::DialogUnits::DialogFont());
    CreateControls();

    m_checkAutoRename->SetCheckState(1);
    LoadStartFolder();
    m_editFolder->setText(FromFileName(m_csFolder));
    if (!m_csUrl.empty())
        m_editUrl->setText(ToQ(m_csUrl));

    const skin::DialogUnits units = skin::DialogUnits::ForApplication();
    m_rcFull = QRect(0, 0, units.ToPixelsX(kDialogWidth), units.ToPixelsY(kDialogHeight));
    m_rcCollapsed = m_rcFull;
    m_rcCollapsed.setBottom(units.ToPixelsY(kOptionsTop) - 1);
    setFixedSize(m_rcCollapsed.size());

    m_profiles = BuildProfileCatalogue(CatalogueProgram::Tavolin);
    for (const ConvertProfile& profile : m_profiles) {
        m_comboProfile->addItem(ToQ(ProfileDisplayName(profile.name, UnavailableReason(profile))));
        if (m_comboProfile->count() == 1)
            m_comboProfile->setCurrentIndex(0);
    }
    connect(m_comboProfile, &QComboBox::currentIndexChanged, this, &CAddTaskDlg::OnProfileChanged);

    // Enter must reach no control: it neither confirms, cancels nor presses a button.
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
}

QString CAddTaskDlg::ExampleUrl()
{
    return ToQ(WatchUrlPrefix(ServiceConfig::Current().serviceHost)) + QStringLiteral("Ab3dE_fG-h1");
}

void CAddTaskDlg::CreateControls()
{
    const skin::DialogUnits units = skin::DialogUnits::ForApplication();
    auto place = [&](QWidget* widget, int x, int y, int width, int height, const char* name) {
        widget->setGeometry(units.ToPixels(x, y, width, height));
        widget->setObjectName(QString::fromLatin1(name));
    };
    auto label = [&](const char* text, unsigned style, int x, int y, int width, int height) {
        place(new CTransStatic(QString::fromLatin1(text), style, this), x, y, width, height, "");
    };
    auto button = [&](const char* text, int x, int y, int width, int height, const char* name) {
        auto* result = new QPushButton(QString::fromLatin1(text), this);
        // Buttons are pressed by click or Space only, never by Enter.
        result->setAutoDefault(false);
        result->setDefault(false);
        place(result, x, y, width, height, name);
        return result;
    };
    auto combo = [&](int x, int y, int width, const char* name) {
        auto* result = new QComboBox(this);
        result->setEditable(false);
        place(result, x, y, width, kComboHeight, name);
        return result;
    };
    auto edit = [&](int x, int y, int width, int height, const char* name) {
        auto* result = new QLineEdit(this);
        place(result, x, y, width, height, name);
        return result;
    };

    label("URL:", SS_LEFT, 7, 10, 19, 11);
    m_editUrl = edit(49, 10, 241, 12, "url");
    // One line as wide as the address box, so the whole example stays readable.
    place(new CTransStatic(QStringLiteral("eg. ") + ExampleUrl(), SS_NOPREFIX | SS_CENTERIMAGE, this), 49, 25,
          241, 8, "example");
    label("Save to :", SS_LEFT, 7, 37, 37, 12);
    m_editFolder = edit(49, 37, 181, 12, "folder");
    QPushButton* browse = button("Browse...", 237, 35, 53, 16, "browse");
    label("File Name:", SS_LEFT, 7, 56, 36, 12);
    m_editFileName = edit(49, 56, 181, 12, "fileName");
    m_editFileName->setEnabled(false);
    m_checkAutoRename = new CTransCheck(QStringLiteral("auto rename"), this);
    place(m_checkAutoRename, 238, 56, 52, 10, "autoRename");
    label("Convert To:", SS_LEFT, 7, 75, 40, 8);
    m_comboProfile = combo(7, 88, 283, "profile");
    m_btnMore = button("More>>", 7, 104, 72, 17, "more");
    QPushButton* start = button("Start Download", 133, 104, 72, 17, "startDownload");
    QPushButton* cancel = button("Cancel", 218, 104, 72, 17, "cancel");
    label("Resolution (Width x Height)", SS_LEFT, 7, kOptionsTop, 89, 8);
    label("Video Codec", SS_LEFT, 160, 130, 42, 8);
    m_comboSize = combo(7, 141, 131, "size");
    m_comboVideoCodec = combo(159, 141, 131, "videoCodec");
    label("Video BitRate", SS_LEFT, 7, 155, 44, 8);
    label("Audio BitRate", SS_LEFT, 160, 155, 44, 8);
    m_comboVideoBitRate = combo(7, 167, 131, "videoBitRate");
    m_comboAudioBitRate = combo(159, 167, 131, "audioBitRate");

    connect(browse, &QPushButton::clicked, this, &CAddTaskDlg::OnBrowse);
    connect(m_checkAutoRename, &CTransCheck::clicked, this, &CAddTaskDlg::OnAutoRename);
    connect(m_btnMore, &QPushButton::clicked, this, &CAddTaskDlg::OnMore);
    connect(start, &QPushButton::clicked, this, &CAddTaskDlg::OnStartDownload);
    connect(cancel, &QPushButton::clicked, this, &CAddTaskDlg::reject);
}

void CAddTaskDlg::LoadStartFolder()
{
    m_csFolder = platform::TrimWhiteSpace(
        platform::GetPrivateProfileString(kSection, kLastFolderKey, "", kFolderBuffer, m_settingsPath));
    // A relative folder remembered by an older version names no fixed place: not offered.
    if (!NormaliseFolder(m_csFolder, HomeFolder()).empty())
        return;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty())
        return;
    m_csFolder = ToFileName(documents + QStringLiteral("/Tavolin Videos"));
    if (!platform::AnythingAt(m_csFolder)) {
        // A fresh account may not have its documents folder yet; a failure shows later as
        // the refused folder.
        std::error_code ignored;
        std::filesystem::create_directories(m_csFolder, ignored);
    }
}

NewTask CAddTaskDlg::Result() const
{
    NewTask task;
    task.m_csUrl = m_csUrl;
    task.m_csFolder = m_csFolder;
    task.m_csFileName = m_csFileName;
    ConvertJob& job = task.m_job;
    job.m_csSourceFile = m_csSourceFile;
    job.m_csTargetFile = m_csTargetFile;
    job.m_csTargetName = m_csTargetName;
    job.m_csTargetType = m_csTargetType;
    job.m_csVideoSize = m_csVideoSize;
    job.m_csVideoCodec = m_csVideoCodec;
    job.m_csVideoBitRate = m_csVideoBitRate;
    job.m_csVideoFrameRate = m_csVideoFrameRate;
    job.m_csAudioCodec = m_csAudioCodec;
    job.m_csAudioBitRate = m_csAudioBitRate;
    job.m_csAudioSampleRate = m_csAudioSampleRate;
    job.m_csAudioChannel = m_csAudioChannel;
    return task;
}

QString CAddTaskDlg::ChooseFolder(const QString& start)
{
    return QFileDialog::getExistingDirectory(this, QStringLiteral("Select Destination Folder"), start,
                                             QFileDialog::ShowDirsOnly);
}

void CAddTaskDlg::paintEvent(QPaintEvent*)
{
    // The gradient always spans the full size, so the collapsed dialog shows its upper part.
    QPainter painter(this);
    skin::FillGradient(painter, m_rcFull, kBackgroundTop, kBackgroundBottom, skin::GradientBands::Thin);
}

void CAddTaskDlg::keyPressEvent(QKeyEvent* event)
{
    if (IsEnter(event)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool CAddTaskDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (IsEnter(event))
        return true;
    return QDialog::eventFilter(watched, event);
}

void CAddTaskDlg::OnMore()
{
    if (m_btnMore->text() == QStringLiteral("More>>")) {
        m_btnMore->setText(QStringLiteral("More<<"));
        setFixedSize(m_rcFull.size());
    } else {
        m_btnMore->setText(QStringLiteral("More>>"));
        setFixedSize(m_rcCollapsed.size());
    }
}

void CAddTaskDlg::OnBrowse()
{
    const QString chosen = ChooseFolder(m_editFolder->text().trimmed());
    if (chosen.isEmpty())
        return;
    m_csFolder = ToFileName(chosen);
    m_editFolder->setText(chosen);
}

void CAddTaskDlg::OnAutoRename()
{
    // The check box has already flipped its own state.
    m_editFileName->setEnabled(m_checkAutoRename->m_nCheck == 0);
}

void CAddTaskDlg::OnProfileChanged(int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= m_profiles.size())
        return;
    const OptionBoxes boxes = FillOptionBoxes(m_profiles[static_cast<std::size_t>(index)]);
    Fill(m_comboSize, boxes.size);
    Fill(m_comboVideoBitRate, boxes.videoBitRate);
    Fill(m_comboAudioBitRate, boxes.audioBitRate);
    Fill(m_comboVideoCodec, boxes.videoCodec);
}

std::string CAddTaskDlg::UnavailableReason(const ConvertProfile& profile) const
{
    return m_encoderProfiles ? m_encoderProfiles->UnavailableReason(profile.name) : std::string();
}

void CAddTaskDlg::OnStartDownload()
{
    m_csUrl = platform::TrimWhiteSpace(m_editUrl->text().toStdString());
    m_csFolder = NormaliseFolder(ToFileName(m_editFolder->text()), HomeFolder());

    // A watch page is named after its video and saved as FLV; a direct address after its
    // file, whose extension the download keeps.
    std::string videoId;
    const bool watchPage = ParseWatchUrl(m_csUrl, videoId);
    const DirectName direct = watchPage ? DirectName{} : DirectDownloadName(m_csUrl);
    if (!watchPage && direct.extension.empty()) {
        MessageBoxes::Current().Exclaim(
            this, QStringLiteral("Information"),
            QStringLiteral("Invalid URL, the URL should like this: ") + ExampleUrl());
        return;
    }
    if (m_csFolder.empty() || !platform::CanList(m_csFolder)) {
        MessageBoxes::Current().Exclaim(
            this, QStringLiteral("Information"),
            QStringLiteral("Invaild Folder Path, please select a valid location to save file."));
        return;
    }
    const int index = m_comboProfile->currentIndex();
    if (index >= 0 && static_cast<std::size_t>(index) < m_profiles.size()) {
        const ConvertProfile& profile = m_profiles[static_cast<std::size_t>(index)];
        if (const std::string why = UnavailableReason(profile); !why.empty()) {
            MessageBoxes::Current().Exclaim(
                this, QStringLiteral("Information"),
                QStringLiteral("The profile \"%1\" is unavailable: %2. Please choose "
                               "another profile.")
                    .arg(ToQ(profile.name), ToQ(why)));
            return;
        }
    }
    platform::WritePrivateProfileString(kSection, kLastFolderKey, m_csFolder, m_settingsPath);

    const std::string base =
        CleanBaseName(ChooseBaseName(m_checkAutoRename->m_nCheck != 0, ToFileName(m_editFileName->text()),
                                     watchPage ? videoId : direct.base));
    const std::string sourceType = watchPage ? std::string(".flv") : direct.extension;

    OptionSelection options;
    options.m_csVideoSize = Selection(m_comboSize);
    options.m_csVideoCodec = Selection(m_comboVideoCodec);
    options.m_csVideoBitRate = Selection(m_comboVideoBitRate);
    options.m_csAudioBitRate = Selection(m_comboAudioBitRate);
    const ConvertJob job = ReadProfileChoice(m_profiles, m_comboProfile->currentIndex(), options);
    m_csTargetType = job.m_csTargetType;
    m_csTargetName = job.m_csTargetName;
    m_csAudioSampleRate = job.m_csAudioSampleRate;
    m_csAudioChannel = job.m_csAudioChannel;
    m_csAudioCodec = job.m_csAudioCodec;
    m_csVideoSize = job.m_csVideoSize;
    m_csVideoCodec = job.m_csVideoCodec;
    m_csVideoBitRate = job.m_csVideoBitRate;
    m_csAudioBitRate = job.m_csAudioBitRate;

    const SettledNames names =
        SettleFileNames(m_csFolder, base, sourceType, m_csTargetType, platform::AnythingAt);
    m_csSourceFile = names.sourceFile;
    m_csTargetFile = names.targetFile;
    CreateEmptyFile(m_csSourceFile);
    if (m_csTargetFile != m_csSourceFile)
        CreateEmptyFile(m_csTargetFile);

    m_csFileName = names.base + sourceType;
    accept();
}
