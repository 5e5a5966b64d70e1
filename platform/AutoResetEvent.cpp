#include "platform/AutoResetEvent.h"

namespace platform {

void AutoResetEvent::Set()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_signalled = true;
    }
    // One signal releases one waiter; the rest keep waiting.
    m_cond.notify_one();
}

void AutoResetEvent::Reset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_signalled = false;
}

bool AutoResetEvent::Wait(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (timeout.count() < 0)
        timeout = std::chrono::milliseconds(0);
    if (!m_cond.wait_for(lock, timeout, [this] { return m_signalled; }))
        return false;
    m_signalled = false;
    return true;
}

bool AutoResetEvent::TryWait()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_signalled)
        return false;
    m_signalled = false;
    return true;
}

}  // namespace platform
