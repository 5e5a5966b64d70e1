#pragma once
// A child process started from an argument vector (never through a shell), polled
// without waiting, ended at once on request, and always reaped.

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// How a child ended: its exit status, or the signal that ended it.
struct ProcessExit {
    int code = -1;   // the exit status when it exited, else -1
    int signal = 0;  // the signal that ended it, else 0

    bool Succeeded() const { return signal == 0 && code == 0; }
    bool operator==(const ProcessExit&) const = default;
};

// A descriptor of ours that a child gets as its descriptor `as` (1 for its output).
struct HandedDescriptor {
    int fd = -1;
    int as = -1;
};

// One child at a time; used by one thread. Not copyable: it owns the child.
class Process {
public:
    Process() = default;
    // A child still running is killed and reaped: no encoder outlives its owner
    // unnoticed, and no zombie stays behind.
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Starts argv[0] (a path, not searched for) with argv as its arguments. The child
    // reads /dev/null, keeps our standard output and error unless `handed` replaces
    // them, gets the `handed` descriptors, inherits no other descriptor, and starts with
    // default signal handling. False, with the reason in *why, when the program cannot
    // be started; a started program that then fails shows only in its exit status, so
    // "cannot start" never looks like exit 127.
    bool Start(const std::vector<std::string>& argv, std::string* why = nullptr,
               const std::vector<HandedDescriptor>& handed = {});

    bool IsStarted() const { return m_pid > 0; }
    pid_t Pid() const { return m_pid; }

    // True once the child has ended (it is reaped then). Never waits.
    bool HasEnded();
    // Ends the child at once (SIGKILL) and reaps it; nothing when it has ended already.
    void Kill();
    // Polls until the child ends or the time is up; true when it has ended.
    bool WaitFor(std::chrono::milliseconds timeout);
    // How the child ended; none while it runs or when it never started.
    std::optional<ProcessExit> Exit() const { return m_exit; }

private:
    bool Reap(bool wait);

    pid_t m_pid = -1;
    std::optional<ProcessExit> m_exit;
};

}  // namespace platform
