#pragma once
#include <QDialog>

class CTransRadio;

// Asked before the selected tasks are removed: remove the tasks only, or their files too.
// The answer is m_bDeleteFiles, meaningful only when the dialog ended with Accepted.
class CConfirmDeleteDlg : public QDialog {
    Q_OBJECT

public:
    explicit CConfirmDeleteDlg(QWidget* parent = nullptr);

    bool m_bDeleteFiles = false;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void OnDeleteTaskOnly();
    void OnDeleteTaskAndFiles();
    void OnOK();

    CTransRadio* m_radioTaskOnly = nullptr;
    CTransRadio* m_radioTaskAndFiles = nullptr;
};
