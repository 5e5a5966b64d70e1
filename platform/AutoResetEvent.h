#pragma once
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace platform {

// A signal that one successful wait consumes.
class AutoResetEvent {
public:
    void Set();
    void Reset();
    // True when the event was signalled within the time limit; the signal is then consumed.
    bool Wait(std::chrono::milliseconds timeout);
    // A zero-time test: true (and consumed) when the event is signalled now.
    bool TryWait();

private:
    std::mutex m_mutex;
    std::condition_variable m_cond;
    bool m_signalled = false;
};

}  // namespace platform
