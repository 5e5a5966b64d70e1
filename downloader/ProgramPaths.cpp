#include "downloader/ProgramPaths.h"

#include <utility>

#include "platform/ProgramFolder.h"

#ifndef TAVOLIN_RESOURCE_RELPATH
#define TAVOLIN_RESOURCE_RELPATH "../share/tavolin"
#endif

ProgramPaths::ProgramPaths(std::string programFolder, std::string resourceFolder)
    : m_programFolder(std::move(programFolder)), m_resourceFolder(std::move(resourceFolder))
{
}

ProgramPaths ProgramPaths::ForRunningProgram()
{
    std::string folder = platform::ProgramFolder();
    std::string resources = ResourceFolderOf(folder);
    return ProgramPaths(std::move(folder), std::move(resources));
}

std::string ProgramPaths::ResourceFolderOf(const std::string& programFolder)
{
    const std::string relative = TAVOLIN_RESOURCE_RELPATH;
    if (relative.empty() || relative == ".")
        return programFolder;
    if (programFolder == "/")
        return "/" + relative;
    return programFolder + "/" + relative;
}

std::string ProgramPaths::Converter() const
{
    return m_programFolder + "/pellux";
}

std::string ProgramPaths::Encoder() const
{
    return m_programFolder + "/ostrand";
}

std::string ProgramPaths::HelpPage() const
{
    return m_resourceFolder + "/help.html";
}

std::string ProgramPaths::ApplicationIcon() const
{
    return m_resourceFolder + "/tavolin.ico";
}

std::string ProgramPaths::ToolbarIcon(const std::string& fileName) const
{
    return m_resourceFolder + "/icons/" + fileName;
}
