#pragma once
#include <QString>
#include <QStringList>

class QWidget;

// What the programs ask of the desktop: show a file selected in the file manager,
// open a folder, start a program of ours detached. Tests install a recorder; nothing
// here waits for what it starts. A file or folder that no program could show is told
// in a message box (through MessageBoxes) owned by `owner`, once events flow again. Paths
// are handed on byte for byte (FileNames.h), as file:// addresses to the file manager and
// the opener.
class DesktopShell {
public:
    virtual ~DesktopShell() = default;
    // org.freedesktop.FileManager1.ShowItems over D-Bus; the folder with xdg-open
    // where no file manager answers.
    virtual void ShowInFolder(const QString& path, QWidget* owner) = 0;
    virtual void OpenFolder(const QString& path, QWidget* owner) = 0;  // xdg-open on the folder
    // `program` is a path, not looked up; false when it could not be started.
    virtual bool StartProgram(const QString& program, const QStringList& arguments) = 0;

    // The message boxes' texts when nothing could show the path.
    static QString CannotShowText(const QString& path);
    static QString CannotOpenFolderText(const QString& path);

    static DesktopShell& Current();
    static void Install(DesktopShell* shell);  // null restores the real desktop
};
