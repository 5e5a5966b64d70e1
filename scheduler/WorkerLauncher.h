#pragma once
#include <chrono>
#include <memory>
#include <vector>

#include "fetch/DownloadWorker.h"
#include "platform/WorkerThread.h"
#include "scheduler/DownloadLauncher.h"

// The real download workers, and one short-lived thread per disposed task.
class WorkerLauncher : public DownloadLauncher {
public:
    // `context`'s poster and prompt must outlive every worker. The disposal threads are
    // given at most `exitWait` in all when the launcher goes.
    WorkerLauncher(DownloadContext context, std::chrono::milliseconds exitWait);
    // Disposal threads only wait for workers that were told to stop; those still running
    // after the wait are let go rather than hang the program's end.
    ~WorkerLauncher() override;
    WorkerLauncher(const WorkerLauncher&) = delete;
    WorkerLauncher& operator=(const WorkerLauncher&) = delete;

    bool StartDownload(CTask& task) override;
    void StopDownload(CTask& task) override;
    void JoinDownload(CTask& task) override;
    void DisposeTask(std::unique_ptr<CTask> task) override;

private:
    DownloadContext m_context;
    std::chrono::milliseconds m_exitWait;
    std::vector<std::unique_ptr<platform::WorkerThread>> m_disposers;
};
