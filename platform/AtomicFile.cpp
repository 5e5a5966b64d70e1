#include "platform/AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <optional>
#include <sstream>
#include <string_view>

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

struct FileName {
    std::string folder;
    std::string base;
};

FileName SplitTarget(const std::string& target)
{
    const std::size_t slash = target.rfind('/');
    if (slash == std::string::npos)
        return {".", target};
    return {slash == 0 ? "/" : target.substr(0, slash), target.substr(slash + 1)};
}

// ".tasks.ini.tmp": what every temporary file beside tasks.ini begins with; the writer's
// pid and a counter follow.
std::string TemporaryPrefix(const std::string& base)
{
    return "." + base + ".tmp";
}

// The pid in a temporary file's name ("<pid>-<n>" after the prefix).
std::optional<pid_t> WriterOf(std::string_view rest)
{
    const std::size_t dash = rest.find('-');
    if (dash == std::string_view::npos || dash == 0 || dash + 1 == rest.size())
        return std::nullopt;
    pid_t pid = 0;
    const auto [end, ec] = std::from_chars(rest.data(), rest.data() + dash, pid);
    if (ec != std::errc() || end != rest.data() + dash || pid <= 0)
        return std::nullopt;
    for (const char c : rest.substr(dash + 1))
        if (c < '0' || c > '9')
            return std::nullopt;
    return pid;
}

// When the process started, in seconds since the epoch; none when that cannot be told.
std::optional<double> StartTimeOf(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return std::nullopt;
    // The command name in parentheses may hold blanks; the fields after it are plain.
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos)
        return std::nullopt;
    std::istringstream fields(line.substr(close + 1));
    std::string field;
    unsigned long long ticks = 0;
    // starttime is the 22nd field; the 3rd (state) is the first after the name.
    for (int i = 3; i <= 22 && fields >> field; ++i)
        if (i == 22)
            ticks = std::strtoull(field.c_str(), nullptr, 10);
    std::ifstream system("/proc/stat");
    for (std::string key; system >> key;) {
        if (key == "btime") {
            double boot = 0;
            system >> boot;
            const long perSecond = ::sysconf(_SC_CLK_TCK);
            if (boot <= 0 || perSecond <= 0 || ticks == 0)
                return std::nullopt;
            return boot + static_cast<double>(ticks) / static_cast<double>(perSecond);
        }
        system.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    }
    return std::nullopt;
}

// A live writer holds its temporary file locked from just after creating it until the
// rename; the moment between the two is covered by asking whether its process lives.
// A live process that started after the file was last written only took over the pid
// of a writer that is gone.
bool MayStillBeWritten(pid_t pid, const struct stat& file)
{
    if (::kill(pid, 0) != 0 && errno == ESRCH)
        return false;
    const std::optional<double> started = StartTimeOf(pid);
    // The start time has a resolution of a second at best.
    return !started || static_cast<double>(file.st_mtime) + 2 >= *started;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view content, std::string* error)
{
    if (path.empty())
        return Fail(error, "empty file path");
    const std::string target = ResolveTarget(path);
    const auto [folder, base] = SplitTarget(target);
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
        temp = folder + "/" + TemporaryPrefix(base) + std::to_string(::getpid()) + "-" +
               std::to_string(counter.fetch_add(1));
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return Fail(error, ErrnoText("cannot create a file beside", path, errno));
    }
    if (fd < 0)
        return Fail(error, "cannot find a free temporary name beside \"" + path + "\"");
    // Held until the file is renamed or removed, or this process ends: how a later start
    // tells a file a crash left behind from one still being written.
    ::flock(fd, LOCK_EX);

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

int RemoveAbandonedTemporaries(const std::string& path)
{
    if (path.empty())
        return 0;
    const auto [folder, base] = SplitTarget(ResolveTarget(path));
    const std::string prefix = TemporaryPrefix(base);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return 0;
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (!name.starts_with(prefix))
            continue;
        const std::optional<pid_t> writer = WriterOf(name.substr(prefix.size()));
        if (!writer || *writer == ::getpid())
            continue;
        const std::string file = folder + "/" + std::string(name);
        const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0)
            continue;
        struct stat info {};
        const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
        if (!held && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && !MayStillBeWritten(*writer, info) &&
            ::unlink(file.c_str()) == 0)
            ++removed;
        ::close(fd);
    }
    ::closedir(dir);
    return removed;
}

}  // namespace platform
