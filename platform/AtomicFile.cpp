#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/Text.h"

namespace platform {

namespace {

std::string ErrnoText(const std::string& what, const std::string& path, int err)
{
    return what + " \"" + path + "\": " + std::strerror(err);
}

bool Fail(std::string* error, std::string text)
{
    if (error)
        *error = std::move(text);
    return false;
}

// Writes to a link land in the file it points to, so the link itself survives.
std::string ResolveTarget(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved))
            return resolved;
    }
    return path;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view content, std::string* error)
{
    if (path.empty())
        return Fail(error, "empty file path");
    const std::string target = ResolveTarget(path);
    const std::size_t slash = target.rfind('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    if (base.empty())
        return Fail(error, "no file name in \"" + path + "\"");

    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode))
        return Fail(error, "\"" + path + "\" is not a regular file");

    // O_EXCL with a fresh name per attempt: never reuse or follow someone else's file.
    // Mode 0666 lets the umask decide the permissions of a new file.
    static std::atomic<unsigned> counter{0};
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = folder + "/." + base + ".tmp" + std::to_string(::getpid()) + "-" +
               std::to_string(counter.fetch_add(1));
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return Fail(error, ErrnoText("cannot create a file beside", path, errno));
    }
    if (fd < 0)
        return Fail(error, "cannot find a free temporary name beside \"" + path + "\"");

    auto abandon = [&](const std::string& what, int err) {
        ::close(fd);
        ::unlink(temp.c_str());
        return Fail(error, ErrnoText(what, path, err));
    };

    if (exists) {
        if (::fchmod(fd, old.st_mode & 07777) != 0)
            return abandon("cannot keep the permissions of", errno);
        // Only root can hand the file back to another owner; elsewhere it stays ours.
        if (::geteuid() == 0 && ::fchown(fd, old.st_uid, old.st_gid) != 0)
            return abandon("cannot keep the owner of", errno);
    }
    if (!WriteAll(fd, content.data(), content.size()))
        return abandon("cannot write", errno);
    if (::fsync(fd) != 0)
        return abandon("cannot flush", errno);
    if (::close(fd) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        return Fail(error, ErrnoText("cannot close", path, err));
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        return Fail(error, ErrnoText("cannot replace", path, err));
    }

    // The rename is only durable once the folder entry is on disk. Some file systems
    // refuse fsync on folders; the file itself is already replaced, so that is no failure.
    int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

}  // namespace platform
