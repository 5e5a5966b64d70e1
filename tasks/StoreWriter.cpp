#include "tasks/StoreWriter.h"

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <optional>
#include <utility>

#include "platform/WorkerThread.h"

// Shared with the thread, which may outlive the writer.
struct StoreWriter::State {
    Write write;
    Failed failed;  // cleared when the writer goes

    std::mutex mutex;
    std::condition_variable changed;
    std::optional<StoreSnapshot> pending;
    bool pendingIsFinal = false;
    bool closing = false;
    std::uint64_t handed = 0;   // copies handed over so far
    std::uint64_t written = 0;  // the newest of them that has been written (or failed)
    bool lastOk = true;
    std::string lastError;

    // Writes outside the lock; records the outcome and tells a failure under it, so the
    // writer's destructor cannot cut the teller while it talks.
    void WriteOne(StoreSnapshot tasks, std::uint64_t number, bool final, std::unique_lock<std::mutex>& lock)
    {
        lock.unlock();
        std::string error;
        bool ok = false;
        try {
            ok = write(tasks, &error);
        } catch (const std::exception& e) {
            error = std::string("an unexpected error: ") + e.what();
        }
        tasks = {};
        lock.lock();
        written = number;
        // One word per run of failures: whether copies were coalesced must not change
        // what the user is told, and a disk that stays full needs saying once.
        const bool firstFailure = !ok && lastOk;
        lastOk = ok;
        lastError = error;
        if (firstFailure && !final && failed)
            failed(error);
        changed.notify_all();
    }

    void Run()
    {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            changed.wait(lock, [this] { return pending || closing; });
            if (!pending)
                return;
            StoreSnapshot tasks = std::move(*pending);
            pending.reset();
            WriteOne(std::move(tasks), handed, pendingIsFinal, lock);
        }
    }
};

StoreWriter::StoreWriter(Write write, Failed failed) : m_state(std::make_shared<State>())
{
    m_state->write = std::move(write);
    m_state->failed = std::move(failed);
    m_thread = std::make_unique<platform::WorkerThread>([state = m_state] { state->Run(); });
}

StoreWriter::~StoreWriter()
{
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        m_state->closing = true;
        m_state->failed = nullptr;
    }
    m_state->changed.notify_all();
}

void StoreWriter::HandOver(StoreSnapshot tasks, bool last)
{
    std::unique_lock<std::mutex> lock(m_state->mutex);
    ++m_state->handed;
    if (!m_thread->Started()) {
        m_state->WriteOne(std::move(tasks), m_state->handed, last, lock);
        return;
    }
    m_state->pending = std::move(tasks);
    m_state->pendingIsFinal = last;
    lock.unlock();
    m_state->changed.notify_all();
}

void StoreWriter::Save(StoreSnapshot tasks)
{
    HandOver(std::move(tasks), false);
}

void StoreWriter::SaveLast(StoreSnapshot tasks)
{
    HandOver(std::move(tasks), true);
}

bool StoreWriter::WaitIdle(Clock::time_point deadline)
{
    std::unique_lock<std::mutex> lock(m_state->mutex);
    return m_state->changed.wait_until(lock, deadline,
                                       [this] { return m_state->written == m_state->handed; });
}

bool StoreWriter::LastWrite(std::string* error) const
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    if (!m_state->lastOk && error)
        *error = m_state->lastError;
    return m_state->lastOk;
}
