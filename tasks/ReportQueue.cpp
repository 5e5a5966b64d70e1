#include "tasks/ReportQueue.h"

#include <utility>

ReportQueue::ReportQueue() = default;

ReportQueue::~ReportQueue()
{
    for (Node* node = m_posted.exchange(nullptr); node;) {
        Node* next = node->next;
        delete node;
        node = next;
    }
}

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

void ReportQueue::Push(QueuedMessage message)
{
    Node* node = new Node{std::move(message), m_posted.load(std::memory_order_relaxed)};
    // Stamped once made: a poster held up by the allocator is not the consumer's lag.
    node->message.postedAt = Clock::now();
    while (!m_posted.compare_exchange_weak(node->next, node, std::memory_order_release,
                                           std::memory_order_relaxed)) {
    }
    // Every post rings: were only the post that found the list empty to ring, a poster
    // preempted before its ring would hold up every report behind it.
    m_doorbell.Ring();
}

void ReportQueue::PostTaskReport(std::int32_t taskId, std::int32_t code, std::int64_t value)
{
    QueuedMessage message;
    message.kind = QueuedMessage::Kind::TaskReport;
    message.report = TaskReport{taskId, code, value};
    Push(std::move(message));
}

void ReportQueue::PostConvertNext(int wParam)
{
    QueuedMessage message;
    message.kind = QueuedMessage::Kind::ConvertNext;
    message.wParam = wParam;
    Push(std::move(message));
}

void ReportQueue::PostTaskDetail(std::int32_t taskId, std::string text)
{
    QueuedMessage message;
    message.kind = QueuedMessage::Kind::TaskDetail;
    message.report.taskId = taskId;
    message.detail = std::move(text);
    Push(std::move(message));
}

void ReportQueue::PostStoreFailure(std::string error)
{
    QueuedMessage message;
    message.kind = QueuedMessage::Kind::StoreFailed;
    message.detail = std::move(error);
    Push(std::move(message));
}

void ReportQueue::Collect()
{
    Node* newestFirst = m_posted.exchange(nullptr, std::memory_order_acquire);
    Node* oldestFirst = nullptr;
    while (newestFirst) {
        Node* next = newestFirst->next;
        newestFirst->next = oldestFirst;
        oldestFirst = newestFirst;
        newestFirst = next;
    }
    while (oldestFirst) {
        Node* next = oldestFirst->next;
        Merge(std::move(oldestFirst->message));
        delete oldestFirst;
        oldestFirst = next;
    }
}

void ReportQueue::Merge(QueuedMessage message)
{
    if (message.kind == QueuedMessage::Kind::TaskReport) {
        const TaskReport& report = message.report;
        if (IsMergeable(report.code)) {
            const std::uint64_t key = SlotKey(report.taskId, report.code);
            const auto slot = m_mergeSlot.find(key);
            if (slot != m_mergeSlot.end()) {
                const auto status = m_lastStatus.find(report.taskId);
                if (status == m_lastStatus.end() || status->second < slot->second) {
                    m_pending[slot->second].report.value = report.value;
                    return;
                }
            }
            m_mergeSlot[key] = m_pending.size();
        } else if (report.code == REPORT_STATUS) {
            m_lastStatus[report.taskId] = m_pending.size();
        }
    }
    m_pending.push_back(std::move(message));
}

std::vector<QueuedMessage> ReportQueue::TakeAll()
{
    // Cleared before the list is taken: a post after the take rings again.
    m_doorbell.Clear();
    Collect();
    m_mergeSlot.clear();
    m_lastStatus.clear();
    return std::exchange(m_pending, {});
}

std::size_t ReportQueue::Size()
{
    Collect();
    return m_pending.size();
}
