#include "platform/WorkerThread.h"

#include <condition_variable>
#include <mutex>

namespace platform {

struct WorkerThread::State {
    std::mutex mutex;
    std::condition_variable cond;
    bool finished = false;
};

WorkerThread::WorkerThread(std::function<void()> routine) : m_state(std::make_shared<State>())
{
    // The thread holds its own reference to the state, so a thread that outlives
    // this object (let go by the destructor) still has somewhere to report to.
    m_thread = std::thread([state = m_state, routine = std::move(routine)]() {
        try {
            if (routine)
                routine();
        } catch (...) {
            // Nothing may leave a worker: an escaping exception would end the program.
        }
        {
            std::lock_guard<std::mutex> lock(state->mutex);
            state->finished = true;
        }
        state->cond.notify_all();
    });
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

bool WorkerThread::IsRunning() const
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return !m_state->finished;
}

bool WorkerThread::WaitFor(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(m_state->mutex);
    if (timeout.count() < 0)
        timeout = std::chrono::milliseconds(0);
    return m_state->cond.wait_for(lock, timeout, [this] { return m_state->finished; });
}

void WorkerThread::Join()
{
    // A routine that joins its own thread would deadlock; it simply returns instead.
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
}

}  // namespace platform
