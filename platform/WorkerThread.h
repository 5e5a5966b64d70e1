#pragma once
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace platform {

// An owned thread that can be waited for with a time limit. Destroying it joins a
// thread that has ended; one that still runs is let go, never freed under its feet
// (its state is shared with the running routine).
class WorkerThread {
public:
    explicit WorkerThread(std::function<void()> routine);
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    bool IsRunning() const;
    // True when the routine has returned within the time limit.
    bool WaitFor(std::chrono::milliseconds timeout);
    void Join();

private:
    struct State;
    std::shared_ptr<State> m_state;
    std::thread m_thread;
};

}  // namespace platform
