#include "platform/AutoResetEvent.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace platform {

AutoResetEvent::~AutoResetEvent()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void AutoResetEvent::Set()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_signalled && m_fd >= 0) {
            const std::uint64_t one = 1;
            [[maybe_unused]] const ssize_t written = ::write(m_fd, &one, sizeof one);
        }
        m_signalled = true;
    }
    // One signal releases one waiter; the rest keep waiting.
    m_cond.notify_one();
}

void AutoResetEvent::Reset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ConsumeLocked();
}

bool AutoResetEvent::Wait(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (timeout.count() < 0)
        timeout = std::chrono::milliseconds(0);
    if (!m_cond.wait_for(lock, timeout, [this] { return m_signalled; }))
        return false;
    ConsumeLocked();
    return true;
}

bool AutoResetEvent::TryWait()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_signalled)
        return false;
    ConsumeLocked();
    return true;
}

int AutoResetEvent::Descriptor()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_fd < 0)
        m_fd = ::eventfd(m_signalled ? 1 : 0, EFD_CLOEXEC | EFD_NONBLOCK);
    return m_fd;
}

void AutoResetEvent::ConsumeLocked()
{
    if (m_signalled && m_fd >= 0) {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t read = ::read(m_fd, &count, sizeof count);
    }
    m_signalled = false;
}

}  // namespace platform
