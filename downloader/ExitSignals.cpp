#include "downloader/ExitSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>

#include <QSocketNotifier>

namespace {

constexpr std::array<int, 3> kSignals{SIGTERM, SIGINT, SIGHUP};

// The handler may only touch these: the pipe's ends, set before the handlers go in.
volatile sig_atomic_t g_nWriteEnd = -1;
int g_nReadEnd = -1;
std::array<struct sigaction, kSignals.size()> g_previous{};

extern "C" void OnExitSignal(int signalNumber)
{
    const int savedErrno = errno;
    const int fd = g_nWriteEnd;
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signalNumber);
        // A full pipe already holds a request; dropping this one loses nothing.
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

}  // namespace

ExitSignals::ExitSignals(QObject* parent) : QObject(parent)
{
    if (g_nReadEnd >= 0)
        return;  // another object holds the signals
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    g_nReadEnd = ends[0];
    g_nWriteEnd = ends[1];
    m_notifier = new QSocketNotifier(g_nReadEnd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ExitSignals::OnReadable);

    struct sigaction action {};
    action.sa_handler = OnExitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        ::sigaction(kSignals[i], &action, &g_previous[i]);
}

ExitSignals::~ExitSignals()
{
    if (!m_notifier)
        return;
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        ::sigaction(kSignals[i], &g_previous[i], nullptr);
    const int writeEnd = g_nWriteEnd;
    g_nWriteEnd = -1;
    delete m_notifier;
    m_notifier = nullptr;
    ::close(writeEnd);
    ::close(g_nReadEnd);
    g_nReadEnd = -1;
}

void ExitSignals::OnReadable()
{
    unsigned char bytes[16];
    int last = 0;
    for (;;) {
        const ssize_t n = ::read(g_nReadEnd, bytes, sizeof bytes);
        if (n <= 0)
            break;
        last = bytes[n - 1];
    }
    if (last != 0)
        emit exitRequested(last);
}
