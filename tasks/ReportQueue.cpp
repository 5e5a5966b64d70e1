#include "tasks/ReportQueue.h"

#include <utility>

ReportQueue::ReportQueue(std::function<void()> wake) : m_wake(std::move(wake)) {}

bool ReportQueue::IsMergeable(std::int32_t code)
{
    return code == REPORT_SIZE || code == REPORT_PROGRESS || code == REPORT_ELAPSED || code == REPORT_SPEED ||
           code == REPORT_RETRY || code == REPORT_CONVERT_PROGRESS;
}

std::uint64_t ReportQueue::SlotKey(std::int32_t taskId, std::int32_t code)
{
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(taskId)) << 32) |
           static_cast<std::uint32_t>(code);
}

bool ReportQueue::AppendLocked(QueuedMessage message)
{
    // Stamped in the queue, not before the lock: the wait of a poster that other posters
    // held up is not the UI thread's lag.
    message.postedAt = Clock::now();
    const bool wasEmpty = m_pending.empty();
    m_pending.push_back(std::move(message));
    return wasEmpty;
}

void ReportQueue::Wake(bool wasEmpty) const
{
    if (wasEmpty && m_wake)
        m_wake();
}

void ReportQueue::PostTaskReport(std::int32_t taskId, std::int32_t code, std::int64_t value)
{
    bool wasEmpty = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (IsMergeable(code)) {
            const std::uint64_t key = SlotKey(taskId, code);
            const auto slot = m_mergeSlot.find(key);
            if (slot != m_mergeSlot.end()) {
                const auto status = m_lastStatus.find(taskId);
                if (status == m_lastStatus.end() || status->second < slot->second) {
                    m_pending[slot->second].report.value = value;
                    return;
                }
            }
            m_mergeSlot[key] = m_pending.size();
        } else if (code == REPORT_STATUS) {
            m_lastStatus[taskId] = m_pending.size();
        }
        QueuedMessage message;
        message.kind = QueuedMessage::Kind::TaskReport;
        message.report = TaskReport{taskId, code, value};
        wasEmpty = AppendLocked(std::move(message));
    }
    Wake(wasEmpty);
}

void ReportQueue::PostConvertNext(int wParam)
{
    QueuedMessage message;
    message.kind = QueuedMessage::Kind::ConvertNext;
    message.wParam = wParam;
    Append(std::move(message));
}

void ReportQueue::PostTaskDetail(std::int32_t taskId, std::string text)
{
    QueuedMessage message;
    message.kind = QueuedMessage::Kind::TaskDetail;
    message.report.taskId = taskId;
    message.detail = std::move(text);
    Append(std::move(message));
}

void ReportQueue::PostStoreFailure(std::string error)
{
    QueuedMessage message;
    message.kind = QueuedMessage::Kind::StoreFailed;
    message.detail = std::move(error);
    Append(std::move(message));
}

void ReportQueue::Append(QueuedMessage message)
{
    bool wasEmpty = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        wasEmpty = AppendLocked(std::move(message));
    }
    Wake(wasEmpty);
}

std::vector<QueuedMessage> ReportQueue::TakeAll()
{
    std::vector<QueuedMessage> taken;
    std::lock_guard<std::mutex> lock(m_mutex);
    taken.swap(m_pending);
    m_mergeSlot.clear();
    m_lastStatus.clear();
    return taken;
}

std::size_t ReportQueue::Size() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_pending.size();
}
