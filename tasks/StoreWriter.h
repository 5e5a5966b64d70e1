#pragma once
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "tasks/TaskStore.h"

namespace platform {
class WorkerThread;
}

// Writes the task store on a thread of its own: the UI thread hands over a copy of the
// values and goes on, and the formatting and the synced write happen here. Copies that
// arrive while a write runs are coalesced: the newest is written next, the others never.
class StoreWriter {
public:
    using Clock = std::chrono::steady_clock;
    using Write = std::function<bool(const StoreSnapshot& tasks, std::string* error)>;
    // Runs on the writer thread after a failed write that follows a good one (or none),
    // never after the final one. It may only hand the text on (to the workers' mailbox),
    // never call into a window.
    using Failed = std::function<void(const std::string& error)>;

    StoreWriter(Write write, Failed failed);
    // Waits for nothing. A write still in progress (a hung file system) is let go with its
    // copy and tells no one how it ended.
    ~StoreWriter();
    StoreWriter(const StoreWriter&) = delete;
    StoreWriter& operator=(const StoreWriter&) = delete;

    // Returns at once. Without a thread of its own (none could be made) it writes here.
    void Save(StoreSnapshot tasks);
    // The last copy, at exit: how its write ended is asked with LastWrite, never told.
    void SaveLast(StoreSnapshot tasks);
    // True once everything handed over so far has been written or dropped for a newer copy.
    bool WaitIdle(Clock::time_point deadline);
    // Whether the newest write so far succeeded; `error` says why not.
    bool LastWrite(std::string* error) const;

private:
    struct State;

    void HandOver(StoreSnapshot tasks, bool last);

    std::shared_ptr<State> m_state;
    std::unique_ptr<platform::WorkerThread> m_thread;
};
