#include "platform/Process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <thread>
#include <utility>

extern char** environ;

namespace platform {

namespace {

std::string ErrorText(int err)
{
    return std::error_code(err, std::generic_category()).message();
}

void SetWhy(std::string* why, std::string text)
{
    if (why != nullptr)
        *why = std::move(text);
}

// posix_spawn may report a failed exec only as exit status 127 of the child; checking
// first keeps "cannot start" apart from a program that ran and ended with 127.
bool CheckProgram(const std::string& path, std::string* why)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        SetWhy(why, path + ": " + ErrorText(errno));
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        SetWhy(why, path + ": not a program file");
        return false;
    }
    if (::access(path.c_str(), X_OK) != 0) {
        SetWhy(why, path + ": " + ErrorText(errno));
        return false;
    }
    return true;
}

class SpawnSetup {
public:
    SpawnSetup()
    {
        posix_spawn_file_actions_init(&m_actions);
        posix_spawnattr_init(&m_attr);
    }
    ~SpawnSetup()
    {
        posix_spawnattr_destroy(&m_attr);
        posix_spawn_file_actions_destroy(&m_actions);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    int Prepare(const std::vector<HandedDescriptor>& handed)
    {
        if (int rc = posix_spawn_file_actions_addopen(&m_actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0))
            return rc;
        // A descriptor handed as its own number loses its close-on-exec flag here.
        int highest = STDERR_FILENO;
        for (const HandedDescriptor& descriptor : handed) {
            if (int rc = posix_spawn_file_actions_adddup2(&m_actions, descriptor.fd, descriptor.as))
                return rc;
            highest = std::max(highest, descriptor.as);
        }
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
        // Descriptors opened elsewhere without O_CLOEXEC (a library's socket, say)
        // must not leak into the encoder and outlive our use of them.
        for (int fd = STDERR_FILENO + 1; fd < highest; ++fd) {
            const bool isHanded = std::any_of(handed.begin(), handed.end(),
                                              [fd](const HandedDescriptor& d) { return d.as == fd; });
            if (isHanded)
                continue;
            if (int rc = posix_spawn_file_actions_addclose(&m_actions, fd))
                return rc;
        }
        if (int rc = posix_spawn_file_actions_addclosefrom_np(&m_actions, highest + 1))
            return rc;
#endif
        // A parent that blocks or ignores signals (SIGPIPE for sockets) must not pass
        // that on: the child is ended and interrupted like any program.
        sigset_t none;
        sigemptyset(&none);
        sigset_t all;
        sigfillset(&all);
        sigdelset(&all, SIGKILL);
        sigdelset(&all, SIGSTOP);
        if (int rc = posix_spawnattr_setsigmask(&m_attr, &none))
            return rc;
        if (int rc = posix_spawnattr_setsigdefault(&m_attr, &all))
            return rc;
        return posix_spawnattr_setflags(&m_attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }

    const posix_spawn_file_actions_t* Actions() const
    {
        return &m_actions;
    }
    const posix_spawnattr_t* Attributes() const
    {
        return &m_attr;
    }

private:
    posix_spawn_file_actions_t m_actions;
    posix_spawnattr_t m_attr;
};

}  // namespace

Process::~Process()
{
    Kill();
}

bool Process::Start(const std::vector<std::string>& argv, std::string* why,
                    const std::vector<HandedDescriptor>& handed)
{
    if (!HasEnded()) {
        SetWhy(why, "a process is still running");
        return false;
    }
    if (argv.empty() || argv[0].empty()) {
        SetWhy(why, "no program given");
        return false;
    }
    if (!CheckProgram(argv[0], why))
        return false;

    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    SpawnSetup setup;
    int rc = setup.Prepare(handed);
    pid_t pid = -1;
    if (rc == 0)
        rc = ::posix_spawn(&pid, argv[0].c_str(), setup.Actions(), setup.Attributes(), args.data(), environ);
    if (rc != 0) {
        SetWhy(why, argv[0] + ": " + ErrorText(rc));
        return false;
    }
    m_pid = pid;
    m_exit.reset();
    return true;
}

bool Process::Reap(bool wait)
{
    int status = 0;
    pid_t rc;
    do {
        rc = ::waitpid(m_pid, &status, wait ? 0 : WNOHANG);
    } while (rc < 0 && errno == EINTR);
    if (rc == 0)
        return false;
    ProcessExit exit;
    if (rc > 0 && WIFEXITED(status))
        exit.code = WEXITSTATUS(status);
    else if (rc > 0 && WIFSIGNALED(status))
        exit.signal = WTERMSIG(status);
    // rc < 0 (ECHILD): someone else reaped it, with SIGCHLD ignored for instance. It
    // has ended all the same; how is unknown, which reads as no success.
    m_exit = exit;
    return true;
}

bool Process::HasEnded()
{
    if (!IsStarted() || m_exit)
        return true;
    return Reap(false);
}

void Process::Kill()
{
    // Once reaped, the process id may belong to someone else: never signal it again.
    if (!IsStarted() || m_exit)
        return;
    ::kill(m_pid, SIGKILL);
    Reap(true);
}

bool Process::WaitFor(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!HasEnded()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return false;
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(deadline - now, std::chrono::milliseconds(5)));
    }
    return true;
}

}  // namespace platform
