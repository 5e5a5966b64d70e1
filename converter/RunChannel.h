#pragma once
#include <functional>
#include <memory>
#include <mutex>

#include "platform/AutoResetEvent.h"

class QObject;
class RunView;

// The only link between one run thread and the window: changes travel to the window's
// thread as queued calls, the stop request travels back as an event. Shared by both
// sides, so a run thread that outlives its window still has something safe to talk to.
class RunChannel : public std::enable_shared_from_this<RunChannel> {
public:
    // `context` is the window as a QObject (its thread receives the calls), `view` the
    // same window as a RunView.
    static std::shared_ptr<RunChannel> Create(QObject* context, RunView* view);

    RunChannel(const RunChannel&) = delete;
    RunChannel& operator=(const RunChannel&) = delete;

    // Run thread: queues one change for the window's thread and returns at once. After
    // Detach it does nothing.
    void Post(std::function<void(RunView&)> change);

    // Window thread: from now on no change of this run reaches the view, not even one
    // queued before. Called before the window replaces the run or goes away.
    void Detach();
    bool IsAttached();

    platform::AutoResetEvent& StopEvent() { return m_evStop; }

private:
    RunChannel(QObject* context, RunView* view);
    RunView* AttachedView();

    std::mutex m_mutex;
    QObject* m_context;
    RunView* m_view;
    platform::AutoResetEvent m_evStop;
};
