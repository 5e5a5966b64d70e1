#pragma once
#include <string>

// Where Tavolin finds what it ships with, resolved from the folder that holds the
// running program, never from the current directory: the other programs (Pellux, the
// encoder) lie beside it, the icons and the help page in its resource folder.
class ProgramPaths {
public:
    // `programFolder` without a trailing '/'; `resourceFolder` likewise.
    ProgramPaths(std::string programFolder, std::string resourceFolder);

    // The running program's folder and the resource folder the build placed relative
    // to it (the same relation holds in the build tree and in the installed tree).
    static ProgramPaths ForRunningProgram();
    // The resource folder that belongs to a program folder.
    static std::string ResourceFolderOf(const std::string& programFolder);

    const std::string& ProgramFolder() const { return m_programFolder; }
    const std::string& ResourceFolder() const { return m_resourceFolder; }

    std::string Converter() const;  // pellux
    std::string Encoder() const;    // ostrand
    std::string HelpPage() const;
    std::string ApplicationIcon() const;
    // A toolbar icon file by its fixed name ("doc01.ico").
    std::string ToolbarIcon(const std::string& fileName) const;

private:
    std::string m_programFolder;
    std::string m_resourceFolder;
};
