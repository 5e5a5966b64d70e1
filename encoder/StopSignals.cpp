#include "encoder/StopSignals.h"

#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>

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
}

StopSignals::~StopSignals()
{
    if (m_fd >= 0)
        close(m_fd);
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
        if (m_nStopSignal == 0)
            m_nStopSignal = signal;
        stops.push_back(signal);
    }
    return stops;
}
