#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/Doorbell.h"
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

// The workers' mailbox, drained by one consumer thread (the UI thread).
//
// Posting shares no lock with the consumer: a post is pushed onto a lock-free list and
// rings a doorbell. Workers run at a lower priority than the window's thread, and a
// worker preempted while it held a lock the window's thread needed, or while it was the
// one to wake it, would stall the window for as long as the busy system kept it waiting.
//
// A download at loopback speed reports far faster than a window can redraw, so size,
// progress, elapsed time, speed and retry waits are merged per task and code when the
// consumer collects them: at most one of each waits and the newest value wins. A waiting
// one is only overwritten while no status report of its task stands behind it, because
// progress and status share a column and a value must never jump across a status change.
// Status reports and the other messages are kept whole and in order.
class ReportQueue : public MessagePoster {
public:
    using Clock = std::chrono::steady_clock;

    ReportQueue();
    ~ReportQueue() override;
    ReportQueue(const ReportQueue&) = delete;
    ReportQueue& operator=(const ReportQueue&) = delete;

    void PostTaskReport(std::int32_t taskId, std::int32_t code, std::int64_t value) override;
    void PostConvertNext(int wParam) override;
    void PostTaskDetail(std::int32_t taskId, std::string text) override;
    // The store writer's thread: a save failed, and why.
    void PostStoreFailure(std::string error);

    // The consumer's side.
    // Everything that waits, oldest first; the queue is empty afterwards.
    std::vector<QueuedMessage> TakeAll();
    // How many messages TakeAll would give now.
    std::size_t Size();
    // Polls readable from a post until the TakeAll after it: the consumer's event loop
    // watches it and drains once per wake.
    int Descriptor() const { return m_doorbell.Descriptor(); }
    // True when a post came within the time limit, for a consumer without an event loop.
    bool WaitForPost(std::chrono::milliseconds timeout) const { return m_doorbell.Wait(timeout); }

    static bool IsMergeable(std::int32_t code);

private:
    struct Node {
        QueuedMessage message;
        Node* next = nullptr;
    };

    void Push(QueuedMessage message);
    // Moves what was posted into m_pending, merging, oldest first.
    void Collect();
    void Merge(QueuedMessage message);

    static std::uint64_t SlotKey(std::int32_t taskId, std::int32_t code);

    platform::Doorbell m_doorbell;
    // Newest first; the consumer takes the whole list at once, so a push never meets ABA.
    std::atomic<Node*> m_posted{nullptr};

    // The consumer's own.
    std::vector<QueuedMessage> m_pending;
    // (task, code) -> index in m_pending of the waiting mergeable report.
    std::unordered_map<std::uint64_t, std::size_t> m_mergeSlot;
    // task -> index in m_pending of its last waiting status report.
    std::unordered_map<std::int32_t, std::size_t> m_lastStatus;
};
