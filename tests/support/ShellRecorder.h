#pragma once
#include <QString>
#include <QStringList>

#include "desktop/DesktopShell.h"

// Takes the desktop's place for as long as it lives: records what would have been
// started or shown.
class ShellRecorder : public DesktopShell {
public:
    ShellRecorder() { DesktopShell::Install(this); }
    ~ShellRecorder() override { DesktopShell::Install(nullptr); }
    void ShowInFolder(const QString& path, QWidget*) override { m_calls << QStringLiteral("show ") + path; }
    void OpenFolder(const QString& path, QWidget*) override { m_calls << QStringLiteral("folder ") + path; }
    bool StartProgram(const QString& program, const QStringList& arguments) override
    {
        m_calls << QStringLiteral("start %1 [%2]").arg(program, arguments.join(QStringLiteral("][")));
        return true;
    }
    QStringList m_calls;
};
