#include "platform/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace platform {

namespace {

FileRead Failed(const std::string& path, int err, std::string* error)
{
    if (error)
        *error = "cannot read \"" + path + "\": " + std::strerror(err);
    return FileRead::Failed;
}

}  // namespace

bool AnythingAt(const std::string& path)
{
    std::error_code error;
    const auto status = std::filesystem::symlink_status(path, error);
    return !error && status.type() != std::filesystem::file_type::not_found;
}

FileRead ReadWholeFile(const std::string& path, std::string& text, std::string* error)
{
    text.clear();
    // Non-blocking, so that a pipe in the file's place cannot hold the caller up.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return errno == ENOENT ? FileRead::Missing : Failed(path, errno, error);
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int err = errno;
        ::close(fd);
        return Failed(path, err, error);
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        if (error)
            *error = "cannot read \"" + path + "\": not a regular file";
        return FileRead::Failed;
    }
    text.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int err = errno;
            ::close(fd);
            text.clear();
            return Failed(path, err, error);
        }
        if (n == 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return FileRead::Read;
}

bool CanList(const std::string& path)
{
    DIR* folder = ::opendir(path.c_str());
    if (folder == nullptr)
        return false;
    ::closedir(folder);
    return true;
}

}  // namespace platform
