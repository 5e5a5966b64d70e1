#pragma once
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace platform {

// A signal that one successful wait consumes.
class AutoResetEvent {
public:
    AutoResetEvent() = default;
    ~AutoResetEvent();
    AutoResetEvent(const AutoResetEvent&) = delete;
    AutoResetEvent& operator=(const AutoResetEvent&) = delete;

    void Set();
    void Reset();
    // True when the event was signalled within the time limit; the signal is then consumed.
    bool Wait(std::chrono::milliseconds timeout);
    // A zero-time test: true (and consumed) when the event is signalled now.
    bool TryWait();

    // A descriptor that polls readable exactly while the event is signalled, to wait for
    // it together with other descriptors; made on first use, -1 when it cannot be. Only
    // a wait consumes the signal, never a read of the descriptor.
    int Descriptor();

private:
    // Under the lock: the signal is taken, so the descriptor goes quiet too.
    void ConsumeLocked();

    std::mutex m_mutex;
    std::condition_variable m_cond;
    bool m_signalled = false;
    int m_fd = -1;
};

}  // namespace platform
