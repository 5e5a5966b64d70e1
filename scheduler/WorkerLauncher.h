#pragma once
#include <chrono>
#include <memory>
#include <optional>
#include <vector>

#include "fetch/DownloadWorker.h"
#include "platform/WorkerThread.h"
#include "scheduler/DownloadLauncher.h"
#include "scheduler/WorkerLink.h"

// The real download workers, and one short-lived thread per disposed task.
class WorkerLauncher : public DownloadLauncher {
public:
    // The workers reach `context`'s poster and prompt through a link that the launcher
    // cuts when it goes, so both need only outlive the launcher. Without an exit, the
    // disposal threads are given at most `exitWait` when the launcher goes.
    WorkerLauncher(DownloadContext context, std::chrono::milliseconds exitWait);
    // Disposal threads only wait for workers that were told to stop; those still running
    // after the wait are let go rather than hang the program's end.
    ~WorkerLauncher() override;
    WorkerLauncher(const WorkerLauncher&) = delete;
    WorkerLauncher& operator=(const WorkerLauncher&) = delete;

    bool StartDownload(CTask& task) override;
    void StopDownload(CTask& task) override;
    void JoinDownload(CTask& task) override;
    // A task for which no thread can be made is freed at once when its worker has ended,
    // and otherwise waits for the next disposal.
    void DisposeTask(std::unique_ptr<CTask> task) override;
    void WaitForDisposals(std::chrono::steady_clock::time_point deadline) override;

private:
    DownloadContext m_context;
    std::shared_ptr<WorkerLink> m_link;
    std::chrono::milliseconds m_exitWait;
    std::optional<std::chrono::steady_clock::time_point> m_deadline;
    std::vector<std::unique_ptr<platform::WorkerThread>> m_disposers;
    std::vector<std::unique_ptr<CTask>> m_waiting;
};
