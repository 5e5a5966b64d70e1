#include "encoder/StopSignals.h"

#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>

namespace {

sigset_t PipeSignal()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGPIPE);
    return set;
}

}  // namespace

StopSignals::StopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (int s : {SIGTERM, SIGINT, SIGHUP, SIGCHLD})
        sigaddset(&set, s);
    sigprocmask(SIG_BLOCK, &set, &m_original);
    m_fd = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    // Without the descriptor nobody would see a stop request: let the signals end us
    // as they normally would (the kernel then ends the child too).
    if (m_fd < 0)
        sigprocmask(SIG_SETMASK, &m_original, nullptr);
    // A reader of the progress channel that goes away must not end us: the write fails
    // with EPIPE instead. Children get the original mask back.
    const sigset_t pipe = PipeSignal();
    sigprocmask(SIG_BLOCK, &pipe, nullptr);
}

StopSignals::~StopSignals()
{
    if (m_fd >= 0)
        close(m_fd);
    // A broken pipe seen while blocked is still pending and would end us now.
    const sigset_t pipe = PipeSignal();
    const timespec none{};
    while (sigtimedwait(&pipe, nullptr, &none) == SIGPIPE) {
    }
    sigprocmask(SIG_SETMASK, &m_original, nullptr);
}

bool StopSignals::IsStopSignal(int signal)
{
    return signal == SIGTERM || signal == SIGINT || signal == SIGHUP;
}

std::vector<int> StopSignals::TakePending()
{
    std::vector<int> stops;
    if (m_fd < 0)
        return stops;
    signalfd_siginfo info;
    for (;;) {
        ssize_t n = read(m_fd, &info, sizeof info);
        if (n < 0 && errno == EINTR)
            continue;
        if (n != static_cast<ssize_t>(sizeof info))
            break;
        int signal = static_cast<int>(info.ssi_signo);
        if (!IsStopSignal(signal))
            continue;
        if (m_stopSignal == 0)
            m_stopSignal = signal;
        stops.push_back(signal);
    }
    return stops;
}
