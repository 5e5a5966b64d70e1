#include "encoder/ProgramLookup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace {

bool IsExecutableFile(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::optional<std::string> FindProgram(std::string_view name, std::string_view searchPath)
{
    if (name.empty())
        return std::nullopt;
    if (name.find('/') != std::string_view::npos) {
        std::string path(name);
        if (IsExecutableFile(path))
            return path;
        return std::nullopt;
    }
    for (;;) {
        auto colon = searchPath.find(':');
        std::string_view folder = searchPath.substr(0, colon);
        std::string candidate =
            folder.empty() ? std::string(name) : std::string(folder) + "/" + std::string(name);
        if (folder.empty())
            candidate = "./" + candidate;
        if (IsExecutableFile(candidate))
            return candidate;
        if (colon == std::string_view::npos)
            return std::nullopt;
        searchPath.remove_prefix(colon + 1);
    }
}

std::string ProgramSearchPath()
{
    const char* path = std::getenv("PATH");
    return path ? std::string(path) : std::string("/usr/local/bin:/usr/bin:/bin");
}
