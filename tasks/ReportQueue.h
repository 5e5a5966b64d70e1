#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "tasks/MessagePoster.h"
#include "tasks/TaskReport.h"

// One message on its way from a worker to the UI thread.
struct QueuedMessage {
    enum class Kind { TaskReport, ConvertNext, TaskDetail, StoreFailed };

    Kind kind = Kind::TaskReport;
    TaskReport report;   // Kind::TaskReport; the task's identifier for Kind::TaskDetail
    int wParam = 0;      // Kind::ConvertNext
    std::string detail;  // Kind::TaskDetail; the reason for Kind::StoreFailed
    // When the message was first posted. A merged report keeps the time of the post
    // that opened its slot, so hand-over times measure how long the UI lagged.
    std::chrono::steady_clock::time_point postedAt;
};

// The workers' mailbox, drained by the UI thread. Posting never waits for the UI.
//
// A download at loopback speed reports size, progress and elapsed time after every
// chunk, far faster than a window can redraw, so those (and speed and retry waits)
// are merged per task and code: at most one of each waits and the newest value wins.
// A waiting one is only overwritten while no status report of its task stands behind
// it, because progress and status share a column and a value must never jump across
// a status change.
// Status reports and convert-next messages are kept whole and in order.
class ReportQueue : public MessagePoster {
public:
    using Clock = std::chrono::steady_clock;

    // `wake` runs on the posting thread, outside the lock, each time the queue turns
    // from empty to non-empty: the UI schedules one drain per wake.
    explicit ReportQueue(std::function<void()> wake = {});

    void PostTaskReport(std::int32_t taskId, std::int32_t code, std::int64_t value) override;
    void PostConvertNext(int wParam) override;
    void PostTaskDetail(std::int32_t taskId, std::string text) override;
    // The store writer's thread: a save failed, and why.
    void PostStoreFailure(std::string error);

    // Everything that waits, oldest first; the queue is empty afterwards.
    std::vector<QueuedMessage> TakeAll();
    std::size_t Size() const;

    static bool IsMergeable(std::int32_t code);

private:
    // Appends under the lock; true when the queue was empty before.
    bool AppendLocked(QueuedMessage message);
    // A message that is never merged, posted now.
    void Append(QueuedMessage message);
    void Wake(bool wasEmpty) const;

    static std::uint64_t SlotKey(std::int32_t taskId, std::int32_t code);

    const std::function<void()> m_wake;
    mutable std::mutex m_mutex;
    std::vector<QueuedMessage> m_pending;
    // (task, code) -> index in m_pending of the waiting mergeable report.
    std::unordered_map<std::uint64_t, std::size_t> m_mergeSlot;
    // task -> index in m_pending of its last waiting status report.
    std::unordered_map<std::int32_t, std::size_t> m_lastStatus;
};
