#include "scheduler/DownloadQueue.h"

#include <algorithm>

DownloadQueue::DownloadQueue(int limit) : m_limit(std::max(limit, 0)) {}

bool DownloadQueue::HasRoom() const
{
    return m_limit == 0 || static_cast<int>(m_running.size()) < m_limit;
}

bool DownloadQueue::IsWaiting(std::int32_t taskId) const
{
    return std::find(m_waiting.begin(), m_waiting.end(), taskId) != m_waiting.end();
}

bool DownloadQueue::Admit(std::int32_t taskId)
{
    if (IsRunning(taskId))
        return true;
    if (IsWaiting(taskId))
        return false;
    // Nobody overtakes those already waiting.
    if (m_waiting.empty() && HasRoom()) {
        m_running.insert(taskId);
        return true;
    }
    m_waiting.push_back(taskId);
    return false;
}

void DownloadQueue::Leave(std::int32_t taskId)
{
    m_running.erase(taskId);
    std::erase(m_waiting, taskId);
}

std::vector<std::int32_t> DownloadQueue::TakeStartable()
{
    std::vector<std::int32_t> startable;
    while (!m_waiting.empty() && HasRoom()) {
        startable.push_back(m_waiting.front());
        m_running.insert(m_waiting.front());
        m_waiting.pop_front();
    }
    return startable;
}
