#include "encoder/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>

namespace {

using Clock = std::chrono::steady_clock;

void CloseIfOpen(int& fd)
{
    if (fd >= 0)
        close(fd);
    fd = -1;
}

// One of the child's outputs that comes to us through a pipe.
struct OutputPipe {
    int target;  // the child's descriptor
    std::function<void(std::string_view)> sink;
    int ends[2] = {-1, -1};  // read, write

    bool Wanted() const { return static_cast<bool>(sink); }
};

// Reads what is there without waiting; false once the writer has closed its end.
bool ReadAvailable(int fd, const std::function<void(std::string_view)>& sink)
{
    char buffer[4096];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) {
            sink(std::string_view(buffer, static_cast<std::size_t>(n)));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
}

int MillisecondsUntil(Clock::time_point when)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(when - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 60'000)) + 1;
}

}  // namespace

ChildOutcome ChildProcess::Run(const std::vector<std::string>& argv, StopSignals& stops,
                               const ChildOptions& options)
{
    ChildOutcome outcome;
    if (argv.empty() || argv.front().empty()) {
        outcome.startError = "no program given";
        return outcome;
    }
    // Everything the child needs is prepared here: after fork it only makes system calls.
    std::vector<char*> cargv;
    for (const std::string& arg : argv)
        cargv.push_back(const_cast<char*>(arg.c_str()));
    cargv.push_back(nullptr);

    OutputPipe pipes[2] = {{STDOUT_FILENO, options.onOutput}, {STDERR_FILENO, options.onError}};
    if (options.captureOutput && !pipes[0].Wanted())
        pipes[0].sink = [&outcome](std::string_view chunk) { outcome.output.append(chunk); };
    int execReport[2] = {-1, -1};
    auto closeAll = [&] {
        for (int* fd : {&execReport[0], &execReport[1]})
            CloseIfOpen(*fd);
        for (OutputPipe& output : pipes) {
            CloseIfOpen(output.ends[0]);
            CloseIfOpen(output.ends[1]);
        }
    };
    bool piped = pipe2(execReport, O_CLOEXEC) == 0;
    for (OutputPipe& output : pipes)
        piped = piped && (!output.Wanted() || pipe2(output.ends, O_CLOEXEC) == 0);
    if (!piped) {
        outcome.startError = std::string("cannot create a pipe: ") + std::strerror(errno);
        closeAll();
        return outcome;
    }
    int devNull = open("/dev/null", O_RDONLY | O_CLOEXEC);

    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        // Ends the child when this process ends, whatever ends it. If we died before
        // this line took effect, the child has already been handed to another parent.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        sigprocmask(SIG_SETMASK, &stops.OriginalMask(), nullptr);
        if (devNull >= 0)
            dup2(devNull, STDIN_FILENO);
        for (const OutputPipe& output : pipes) {
            if (output.ends[1] >= 0)
                dup2(output.ends[1], output.target);
        }
        execv(cargv[0], cargv.data());
        int error = errno;
        [[maybe_unused]] ssize_t written = write(execReport[1], &error, sizeof error);
        _exit(127);
    }

    CloseIfOpen(execReport[1]);
    for (OutputPipe& output : pipes)
        CloseIfOpen(output.ends[1]);
    CloseIfOpen(devNull);
    if (pid < 0) {
        outcome.startError = std::string("cannot start a process: ") + std::strerror(errno);
        closeAll();
        return outcome;
    }

    // The report pipe closes on a successful exec; an errno arrives through it otherwise.
    int execError = 0;
    ssize_t got;
    do {
        got = read(execReport[0], &execError, sizeof execError);
    } while (got < 0 && errno == EINTR);
    if (got == static_cast<ssize_t>(sizeof execError)) {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        closeAll();
        outcome.startError = std::strerror(execError);
        return outcome;
    }
    CloseIfOpen(execReport[0]);

    for (OutputPipe& output : pipes) {
        if (output.ends[0] >= 0)
            fcntl(output.ends[0], F_SETFL, fcntl(output.ends[0], F_GETFL) | O_NONBLOCK);
    }

    std::optional<Clock::time_point> timeLimitAt;
    if (options.timeLimit)
        timeLimitAt = Clock::now() + *options.timeLimit;
    std::optional<Clock::time_point> killAfterStopAt;
    bool timedOut = false;
    bool reaped = false;
    int status = 0;

    auto forwardStop = [&](int signal) {
        kill(pid, signal);
        if (!killAfterStopAt)
            killAfterStopAt = Clock::now() + options.stopGrace;
    };
    // A stop that came before this child existed still applies to it.
    if (stops.StopSignal() != 0)
        forwardStop(stops.StopSignal());

    for (;;) {
        if (!reaped) {
            pid_t r = waitpid(pid, &status, WNOHANG);
            reaped = r == pid;
        }
        if (reaped) {
            // Only the child writes to the pipes; take what it left and stop listening.
            for (OutputPipe& output : pipes) {
                if (output.ends[0] >= 0)
                    ReadAvailable(output.ends[0], output.sink);
                CloseIfOpen(output.ends[0]);
            }
            break;
        }

        pollfd fds[3];
        OutputPipe* polled[3] = {};
        nfds_t count = 0;
        int timeout = stops.IsOpen() ? -1 : 50;  // without the signal descriptor, poll for the child's end
        if (stops.IsOpen())
            fds[count++] = {stops.Descriptor(), POLLIN, 0};
        for (OutputPipe& output : pipes) {
            if (output.ends[0] < 0)
                continue;
            polled[count] = &output;
            fds[count++] = {output.ends[0], POLLIN, 0};
        }
        for (auto at : {timeLimitAt, killAfterStopAt}) {
            if (!at)
                continue;
            int ms = MillisecondsUntil(*at);
            timeout = timeout < 0 ? ms : std::min(timeout, ms);
        }

        int ready = poll(fds, count, timeout);
        if (ready < 0 && errno != EINTR)
            break;

        if (stops.IsOpen()) {
            for (int signal : stops.TakePending())
                forwardStop(signal);
        }
        for (nfds_t i = 0; ready > 0 && i < count; ++i) {
            OutputPipe* output = polled[i];
            if (output && fds[i].revents != 0 && !ReadAvailable(output->ends[0], output->sink))
                CloseIfOpen(output->ends[0]);
        }
        const auto now = Clock::now();
        if (timeLimitAt && now >= *timeLimitAt && !timedOut) {
            timedOut = true;
            kill(pid, SIGKILL);
        }
        if (killAfterStopAt && now >= *killAfterStopAt) {
            kill(pid, SIGKILL);
            killAfterStopAt.reset();
        }
    }

    if (!reaped) {
        // poll failed for good; the child must not be left behind.
        kill(pid, SIGKILL);
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    closeAll();
    if (timedOut) {
        outcome.kind = ChildOutcome::Kind::TimedOut;
    } else if (WIFSIGNALED(status)) {
        outcome.kind = ChildOutcome::Kind::Signalled;
        outcome.code = WTERMSIG(status);
    } else {
        outcome.kind = ChildOutcome::Kind::Exited;
        outcome.code = WEXITSTATUS(status);
    }
    return outcome;
}
