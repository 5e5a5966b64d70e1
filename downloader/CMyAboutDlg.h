#pragma once
#include <QDialog>
#include <QIcon>

// The About box: the application icon with "Tavolin Version 1.7.1" beside it, a line
// about the program, and OK.
class CMyAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CMyAboutDlg(const QIcon& icon, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QIcon m_icon;
};
