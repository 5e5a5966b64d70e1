#include "platform/WorkerThread.h"

#include <condition_variable>
#include <deque>
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

// The one thread that makes the threads started aside, in the order they were asked for.
// It lives as long as the process and finishes what it was handed before it ends.
class ThreadMaker {
public:
    static ThreadMaker& Instance()
    {
        static ThreadMaker maker;
        return maker;
    }

    // False when the maker itself could not be started; the caller then makes the thread.
    bool Hand(std::function<void()> job)
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (!m_thread.joinable()) {
                try {
                    m_thread = std::thread([this] { Run(); });
                } catch (const std::exception&) {
                    return false;
                }
            }
            m_jobs.push_back(std::move(job));
        }
        m_cond.notify_one();
        return true;
    }

    ~ThreadMaker()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stopping = true;
        }
        m_cond.notify_one();
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    ThreadMaker() = default;

    void Run()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_cond.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            if (m_jobs.empty())
                return;
            std::function<void()> job = std::move(m_jobs.front());
            m_jobs.pop_front();
            lock.unlock();
            job();
            lock.lock();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_cond;
    std::deque<std::function<void()>> m_jobs;
    bool m_stopping = false;
    std::thread m_thread;
};

}  // namespace

struct WorkerThread::State {
    std::mutex mutex;
    std::condition_variable cond;
    bool finished = false;
    bool made = false;        // the making was tried
    bool notStarted = false;  // and failed
    bool letGo = false;       // the owner went before the making
    std::thread thread;       // until joined or let go
};

void WorkerThread::Make(const std::shared_ptr<State>& state, std::function<void()> body,
                        const FailureHandler& failed)
{
    std::thread thread;
    try {
        const ThreadFactory factory = CurrentFactory();
        thread = factory ? factory(std::move(body)) : std::thread(std::move(body));
    } catch (const std::exception& e) {
        // Told while the owner still waits for the making: a join cannot return, and let
        // the task that the handler speaks of go, before the handler is done.
        Tell(failed, std::string("cannot start a thread: ") + e.what());
    }
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        state->made = true;
        if (!thread.joinable()) {
            state->notStarted = true;
            state->finished = true;
        } else if (state->letGo) {
            thread.detach();
        } else {
            state->thread = std::move(thread);
        }
    }
    state->cond.notify_all();
}

WorkerThread::WorkerThread(std::function<void()> routine, FailureHandler failed, Start start)
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
    if (start == Start::Aside) {
        auto job = [state = m_state, body, failed]() mutable { Make(state, std::move(body), failed); };
        if (ThreadMaker::Instance().Hand(std::move(job)))
            return;
    }
    Make(m_state, std::move(body), failed);
}

WorkerThread::~WorkerThread()
{
    std::thread thread;
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        if (!m_state->made) {
            m_state->letGo = true;
            return;
        }
        thread = std::move(m_state->thread);
    }
    if (!thread.joinable())
        return;
    if (thread.get_id() != std::this_thread::get_id() && !IsRunning())
        thread.join();
    else
        thread.detach();
}

bool WorkerThread::Started() const
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return !m_state->notStarted;
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
    std::thread thread;
    {
        std::unique_lock<std::mutex> lock(m_state->mutex);
        m_state->cond.wait(lock, [this] { return m_state->made; });
        // A routine that joins its own thread would deadlock; it simply returns instead.
        if (!m_state->thread.joinable() || m_state->thread.get_id() == std::this_thread::get_id())
            return;
        thread = std::move(m_state->thread);
    }
    thread.join();
}

}  // namespace platform
