#pragma once
#include <chrono>
#include <memory>

class CTask;

// What the scheduler does to a task's download worker. UI thread only.
class DownloadLauncher {
public:
    virtual ~DownloadLauncher() = default;

    // Starts a worker for an idle task; false, with nothing started, for a busy one.
    virtual bool StartDownload(CTask& task) = 0;
    // Asks the worker to stop and returns at once.
    virtual void StopDownload(CTask& task) = 0;
    // Waits until the worker has ended and drops its thread.
    virtual void JoinDownload(CTask& task) = 0;
    // Takes a task that has left the list, its worker told to stop, and frees it once the
    // worker has ended, with its files when m_bDeleteFiles is set. Returns at once.
    virtual void DisposeTask(std::unique_ptr<CTask> task) = 0;
    // Exit: waits for the disposals under way until the exit's deadline, and not again later.
    virtual void WaitForDisposals(std::chrono::steady_clock::time_point) {}
};
