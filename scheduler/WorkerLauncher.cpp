#include "scheduler/WorkerLauncher.h"

#include <algorithm>
#include <utility>

#include "fetch/TaskOperations.h"
#include "tasks/Task.h"

WorkerLauncher::WorkerLauncher(DownloadContext context, std::chrono::milliseconds exitWait)
    : m_context(std::move(context)), m_exitWait(exitWait)
{
}

WorkerLauncher::~WorkerLauncher()
{
    const auto deadline = std::chrono::steady_clock::now() + m_exitWait;
    for (auto& disposer : m_disposers) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        disposer->WaitFor(std::max(left, std::chrono::milliseconds(0)));
    }
}

bool WorkerLauncher::StartDownload(CTask& task)
{
    return ::StartDownload(task, m_context);
}

void WorkerLauncher::StopDownload(CTask& task)
{
    ::StopDownload(task);
}

void WorkerLauncher::JoinDownload(CTask& task)
{
    ::JoinDownload(task);
}

void WorkerLauncher::DisposeTask(std::unique_ptr<CTask> task)
{
    std::erase_if(m_disposers, [](const auto& disposer) { return !disposer->IsRunning(); });
    auto owned = std::make_shared<std::unique_ptr<CTask>>(std::move(task));
    m_disposers.push_back(
        std::make_unique<platform::WorkerThread>([owned] { ::DisposeTask(std::move(*owned)); }));
}
