#pragma once
#include <cstdint>
#include <deque>
#include <set>
#include <vector>

// Which downloads may run under a limit, and which wait their turn in the order they
// were asked to start. Bookkeeping only: the scheduler starts and stops the workers.
class DownloadQueue {
public:
    // 0: no limit.
    explicit DownloadQueue(int limit = 0);

    // A start was asked for: true when it may run now (it then counts as running),
    // false when it waits. Asking again for one that runs or waits changes nothing.
    bool Admit(std::int32_t taskId);
    // It ended, was stopped or left the list: it neither runs nor waits any more.
    void Leave(std::int32_t taskId);
    // The waiting ones that may run now, in order; they count as running from here on.
    std::vector<std::int32_t> TakeStartable();

    bool IsWaiting(std::int32_t taskId) const;
    bool IsRunning(std::int32_t taskId) const { return m_running.contains(taskId); }

private:
    bool HasRoom() const;

    int m_limit;
    std::set<std::int32_t> m_running;
    std::deque<std::int32_t> m_waiting;
};
