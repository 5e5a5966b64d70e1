#include "platform/WorkerThread.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <utility>

namespace platform {

namespace {

std::mutex g_factoryMutex;
ThreadFactory g_factory;

ThreadFactory CurrentFactory()
{
    std::lock_guard<std::mutex> lock(g_factoryMutex);
    return g_factory;
}

void Tell(const WorkerThread::FailureHandler& failed, const std::string& why)
{
    if (!failed)
        return;
    try {
        failed(why);
    } catch (...) {
        // The handler is the last word; nothing may leave a worker.
    }
}

}  // namespace

struct WorkerThread::State {
    std::mutex mutex;
    std::condition_variable cond;
    bool finished = false;
};

WorkerThread::WorkerThread(std::function<void()> routine, FailureHandler failed)
    : m_state(std::make_shared<State>())
{
    // The thread holds its own reference to the state, so a thread that outlives
    // this object (let go by the destructor) still has somewhere to report to.
    auto body = [state = m_state, routine = std::move(routine), failed]() {
        try {
            if (routine)
                routine();
        } catch (const std::exception& e) {
            Tell(failed, std::string("an unexpected error: ") + e.what());
        } catch (...) {
            Tell(failed, "an unexpected error");
        }
        {
            std::lock_guard<std::mutex> lock(state->mutex);
            state->finished = true;
        }
        state->cond.notify_all();
    };
    try {
        const ThreadFactory factory = CurrentFactory();
        m_thread = factory ? factory(std::move(body)) : std::thread(std::move(body));
    } catch (const std::exception& e) {
        m_state->finished = true;
        Tell(failed, std::string("cannot start a thread: ") + e.what());
    }
}

WorkerThread::~WorkerThread()
{
    if (!m_thread.joinable())
        return;
    if (m_thread.get_id() != std::this_thread::get_id() && !IsRunning())
        m_thread.join();
    else
        m_thread.detach();
}

ThreadFactory WorkerThread::SetFactory(ThreadFactory factory)
{
    std::lock_guard<std::mutex> lock(g_factoryMutex);
    return std::exchange(g_factory, std::move(factory));
}

bool WorkerThread::IsRunning() const
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return !m_state->finished;
}

bool WorkerThread::WaitFor(std::chrono::milliseconds timeout)
{
    if (timeout.count() < 0)
        timeout = std::chrono::milliseconds(0);
    return WaitUntil(std::chrono::steady_clock::now() + timeout);
}

bool WorkerThread::WaitUntil(std::chrono::steady_clock::time_point deadline)
{
    std::unique_lock<std::mutex> lock(m_state->mutex);
    return m_state->cond.wait_until(lock, deadline, [this] { return m_state->finished; });
}

void WorkerThread::Join()
{
    // A routine that joins its own thread would deadlock; it simply returns instead.
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
}

}  // namespace platform
