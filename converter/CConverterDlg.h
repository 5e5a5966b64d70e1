#pragma once
#include <memory>
#include <string>
#include <vector>

#include <QDialog>
#include <QPointer>
#include <QRect>

#include "convert/ConvertJob.h"
#include "convert/EncoderProfiles.h"
#include "convert/ProfileCatalogue.h"
#include "converter/ConverterOptions.h"
#include "converter/RunView.h"

class CTransStatic;
class QComboBox;
class QFileDialog;
class QLineEdit;
class QProgressBar;
class QPushButton;
class RunChannel;
namespace platform {
class WorkerThread;
}

// Pellux's one window: a source file, a destination folder and a profile, and one
// conversion run at a time with a progress bar, stop, restart and completion.
class CConverterDlg : public QDialog, private RunView {
    Q_OBJECT

public:
    explicit CConverterDlg(ConverterOptions options, QWidget* parent = nullptr);
    ~CConverterDlg() override;

    // Finds the data folder, applies the command line (the program's arguments after
    // its name), fills the profiles and sets the first texts. False, after telling the
    // user, when the shared data folder is missing: the program must end then.
    bool Initialise(const std::vector<std::string>& arguments);

    const ConvertJob& Job() const { return m_job; }
    const std::string& SettingsPath() const { return m_settingsFile; }
    QRect FullRect() const { return m_rcFull; }
    QRect CollapsedRect() const { return m_rcCollapsed; }

    // Exit, Escape and the close box wait for the run thread first; Enter (accept)
    // closes at once. Either way the run thread loses its link to this window.
    void reject() override;
    void done(int result) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void CreateControls();
    bool SetupDataFolder();
    void FillOptionBoxes(const ConvertProfile& profile);
    // Marks the profiles the encoder cannot make, once it has told.
    void ShowProfileAvailability();
    // False, with the reason in the status line, when the job's profile cannot be made.
    bool CheckProfileAvailable();
    void ReadJobFromWindow();
    // `why` becomes the status line's tooltip; every new text drops the old one.
    void SetStatus(const QString& text, const QString& why = QString());

    void OnLoad();
    void OnBrowse();
    void OnDestinationChosen(const QString& folder);
    void OnOpen();
    void OnMore();
    void OnStartConversion();
    void OnProfileChanged();
    void OnOptionChanged();
    void ShowAbout();

    void StartRun(const std::string& target);
    // Waits at most `wait` for the last run's thread, then lets it go and cuts its
    // link to this window.
    void DisposeRun(std::chrono::milliseconds wait);

    void RunStarted(const std::string& target) override;
    void RunStep(const std::string& target) override;
    void RunProgress(const std::string& target, int percent) override;
    void RunStopped() override;
    void RunCompleted(const std::string& target) override;
    void RunFailed(const std::string& target, const std::string& why) override;

    const ConverterOptions m_options;
    QRect m_rcFull;
    QRect m_rcCollapsed;
    std::vector<ConvertProfile> m_profiles;
    ConvertJob m_job;
    std::shared_ptr<RunChannel> m_channel;
    std::unique_ptr<platform::WorkerThread> m_pThread;
    std::string m_dataFolder;
    std::string m_settingsFile;
    EncoderProfiles m_encoderProfiles;

    QComboBox* m_sizeBox = nullptr;
    QComboBox* m_videoBitRateBox = nullptr;
    QComboBox* m_audioBitRateBox = nullptr;
    QComboBox* m_videoCodecBox = nullptr;
    QComboBox* m_profileBox = nullptr;
    QLineEdit* m_sourceBox = nullptr;
    QLineEdit* m_destinationBox = nullptr;
    CTransStatic* m_status = nullptr;
    QPushButton* m_startButton = nullptr;
    QPushButton* m_moreButton = nullptr;
    QProgressBar* m_progress = nullptr;
    CTransStatic* m_resolutionLabel = nullptr;
    QPointer<QFileDialog> m_folderPicker;
};
