#pragma once
#include <QDialog>
#include <QString>

class QTextBrowser;

// The help page in a window of Tavolin's own, read from the program's resource folder,
// so Help works on a desktop that has no browser or opener. Not modal: the main window
// stays usable beside it.
class HelpWindow : public QDialog {
    Q_OBJECT

public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Shows the page at `path`; false, with the window left as it was, when there is no
    // readable file there.
    bool Load(const QString& path);

    QTextBrowser* Browser() const { return m_browser; }

private:
    QTextBrowser* m_browser;
};
