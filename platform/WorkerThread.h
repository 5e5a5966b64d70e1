#pragma once
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace platform {

// How a WorkerThread makes its thread. Tests put in one that fails, as a system out of
// threads does.
using ThreadFactory = std::function<std::thread(std::function<void()>)>;

// An owned thread that can be waited for with a time limit. Destroying it joins a
// thread that has ended; one that still runs is let go, never freed under its feet
// (its state is shared with the running routine).
class WorkerThread {
public:
    // Told why the routine did not run to its end, in one line: what an exception that
    // escaped it said (on the worker thread), or that no thread could be made (on the
    // creating thread, before the constructor returns).
    using FailureHandler = std::function<void(const std::string& why)>;

    // Where the thread is made. Making one maps its stack, which waits for the process's
    // address-space lock; with many busy threads faulting in pages that wait can reach tens
    // of milliseconds, too long for the window's thread. Aside hands the making to a thread
    // of its own and returns at once; a failure is then told on that thread.
    enum class Start { Here, Aside };

    explicit WorkerThread(std::function<void()> routine, FailureHandler failed = {},
                          Start start = Start::Here);
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // False when no thread could be made; the routine then never runs. Started aside, true
    // until the making is known to have failed.
    bool Started() const;
    bool IsRunning() const;
    // True when the routine has returned within the time limit.
    bool WaitFor(std::chrono::milliseconds timeout);
    bool WaitUntil(std::chrono::steady_clock::time_point deadline);
    void Join();

    // Replaces how every later WorkerThread makes its thread; an empty one restores the
    // plain std::thread. Returns the factory it replaced.
    static ThreadFactory SetFactory(ThreadFactory factory);

private:
    struct State;
    static void Make(const std::shared_ptr<State>& state, std::function<void()> body,
                     const FailureHandler& failed);

    std::shared_ptr<State> m_state;
};

}  // namespace platform
