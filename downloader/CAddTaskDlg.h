#pragma once
#include <string>
#include <vector>

#include <QDialog>
#include <QRect>
#include <QString>

#include "convert/EncoderProfiles.h"
#include "convert/ProfileCatalogue.h"
#include "scheduler/NewTask.h"

class CTransCheck;
class QComboBox;
class QLineEdit;
class QPushButton;

// The modal dialog that describes a new download: address (a watch page or a direct
// video address), folder, file name and conversion profile. On "Start Download" it checks
// the address and the folder, settles a file name that collides with nothing on disk,
// creates both files empty, remembers the folder in settings.ini and ends with Accepted;
// the results are then in the members below (and in Result()). Cancel, Escape and the
// close button write and create nothing.
class CAddTaskDlg : public QDialog {
    Q_OBJECT

public:
    // `settingsPath` is settings.ini in the data folder; `url` prefills the address box;
    // `profiles` (none: all) tells which profiles the encoder can make.
    explicit CAddTaskDlg(const std::string& settingsPath, const QString& url = QString(),
                         QWidget* parent = nullptr, const EncoderProfiles* profiles = nullptr);

    // What AddTask needs, valid after the dialog ended with Accepted.
    NewTask Result() const;

    // A watch-page address of the run's service host, shown as the example.
    static QString ExampleUrl();

    std::vector<ConvertProfile> m_profiles;

    std::string m_csUrl;       // trimmed
    std::string m_csFolder;    // ends in '/' after a successful confirm
    std::string m_csFileName;  // final base name + the download's extension (".flv" for a watch page)

    std::string m_csTargetName;
    std::string m_csTargetType;
    std::string m_csVideoSize;
    std::string m_csVideoCodec;
    std::string m_csVideoBitRate;
    std::string m_csVideoFrameRate;  // never set
    std::string m_csAudioCodec;
    std::string m_csAudioBitRate;
    std::string m_csAudioSampleRate;
    std::string m_csAudioChannel;
    std::string m_csSourceFile;  // the downloaded file
    std::string m_csTargetFile;  // the converted file (the downloaded one for the FLV profile)

    // Client rectangles at full and at collapsed size; the collapsed one ends where the
    // option boxes' first label begins.
    QRect m_rcFull;
    QRect m_rcCollapsed;

protected:
    // The folder picker; an empty answer means the user cancelled.
    virtual QString ChooseFolder(const QString& start);

    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void LoadStartFolder();
    void OnMore();
    void OnBrowse();
    void OnAutoRename();
    void OnProfileChanged(int index);
    void OnStartDownload();
    // Why the encoder cannot make the profile; empty when it can.
    std::string UnavailableReason(const ConvertProfile& profile) const;

    std::string m_settingsPath;
    const EncoderProfiles* m_encoderProfiles;

    QLineEdit* m_editUrl = nullptr;
    QLineEdit* m_editFolder = nullptr;
    QLineEdit* m_editFileName = nullptr;
    CTransCheck* m_checkAutoRename = nullptr;
    QComboBox* m_comboProfile = nullptr;
    QComboBox* m_comboSize = nullptr;
    QComboBox* m_comboVideoCodec = nullptr;
    QComboBox* m_comboVideoBitRate = nullptr;
    QComboBox* m_comboAudioBitRate = nullptr;
    QPushButton* m_btnMore = nullptr;
};
