#pragma once
#include <QString>
#include <QStringList>

// What the programs ask of the desktop: show a file selected in the file manager,
// open a folder or a document, start a program of ours detached. Tests install a
// recorder; nothing here waits for what it starts.
class DesktopShell {
public:
    virtual ~DesktopShell() = default;
    // org.freedesktop.FileManager1.ShowItems over D-Bus; the folder with xdg-open
    // where no file manager answers.
    virtual void ShowInFolder(const QString& path) = 0;
    virtual void OpenFolder(const QString& path) = 0;    // xdg-open on the folder
    virtual void OpenDocument(const QString& path) = 0;  // xdg-open (help page)
    virtual bool StartProgram(const QString& program, const QStringList& arguments) = 0;

    static DesktopShell& Current();
    static void Install(DesktopShell* shell);  // null restores the real desktop
};
