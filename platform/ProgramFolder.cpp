#include "platform/ProgramFolder.h"

#include <unistd.h>

namespace platform {

std::string ProgramFolder()
{
    std::string path(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
        if (n < 0)
            return ".";
        if (static_cast<std::size_t>(n) < path.size()) {
            path.resize(static_cast<std::size_t>(n));
            break;
        }
        path.resize(path.size() * 2);  // cut short: try again with more room
    }
    // An executable replaced while it runs reads "<path> (deleted)"; only the file
    // name carries that mark, and it is cut off here with the name.
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

}  // namespace platform
