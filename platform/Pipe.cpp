#include "platform/Pipe.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <thread>

#include "platform/AutoResetEvent.h"

namespace platform {

Pipe::~Pipe()
{
    CloseReadEnd();
    CloseWriteEnd();
}

bool Pipe::Open(std::string* why)
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        if (why != nullptr)
            *why = "cannot make a pipe: " + std::error_code(errno, std::generic_category()).message();
        return false;
    }
    // Only our end: the child's writes block as a program expects of a pipe.
    ::fcntl(ends[0], F_SETFL, ::fcntl(ends[0], F_GETFL) | O_NONBLOCK);
    CloseReadEnd();
    CloseWriteEnd();
    m_read = ends[0];
    m_write = ends[1];
    return true;
}

void Pipe::CloseWriteEnd()
{
    if (m_write >= 0)
        ::close(m_write);
    m_write = -1;
}

void Pipe::CloseReadEnd()
{
    if (m_read >= 0)
        ::close(m_read);
    m_read = -1;
}

Pipe::Wake Pipe::Wait(AutoResetEvent* event, std::chrono::milliseconds timeout)
{
    const auto until = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        pollfd fds[2] = {{m_read, POLLIN, 0}, {event != nullptr ? event->Descriptor() : -1, POLLIN, 0}};
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (fds[0].fd < 0 && fds[1].fd < 0) {
            // Nothing to wait on: only the time can pass.
            std::this_thread::sleep_for(left);
            return Wake::TimeUp;
        }
        const int ready = ::poll(fds, 2, static_cast<int>(std::max<long long>(0, left.count())));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return Wake::TimeUp;
        // The event first: a stop must win over a busy writer.
        if (fds[1].revents != 0)
            return Wake::Event;
        return Wake::Input;
    }
}

bool Pipe::Read(std::string& text)
{
    char buffer[4096];
    while (m_read >= 0) {
        const ssize_t n = ::read(m_read, buffer, sizeof buffer);
        if (n > 0) {
            text.append(buffer, static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return true;
        } else {
            CloseReadEnd();  // the end, or an error that no retry mends
        }
    }
    return false;
}

}  // namespace platform
