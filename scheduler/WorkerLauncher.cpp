#include "scheduler/WorkerLauncher.h"

#include <algorithm>
#include <utility>

#include "fetch/TaskOperations.h"
#include "tasks/Task.h"

namespace {

bool WorkerEnded(const CTask& task)
{
    return !task.m_pThread || !task.m_pThread->IsRunning();
}

}  // namespace

WorkerLauncher::WorkerLauncher(DownloadContext context, std::chrono::milliseconds exitWait)
    : m_context(std::move(context)),
      m_link(std::make_shared<WorkerLink>(*m_context.poster, m_context.filePrompt)),
      m_exitWait(exitWait)
{
    m_context.poster = m_link.get();
    m_context.filePrompt = m_link.get();
    m_context.keepAlive = m_link;
}

WorkerLauncher::~WorkerLauncher()
{
    WaitForDisposals(m_deadline.value_or(std::chrono::steady_clock::now() + m_exitWait));
    // A worker that still runs may use its record until the process ends.
    for (auto& task : m_waiting) {
        if (WorkerEnded(*task))
            ::DisposeTask(std::move(task));
        else
            static_cast<void>(task.release());
    }
    m_link->Cut();
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
    m_waiting.push_back(std::move(task));
    std::vector<std::unique_ptr<CTask>> waiting = std::exchange(m_waiting, {});
    for (auto& next : waiting) {
        auto owned = std::make_shared<std::unique_ptr<CTask>>(std::move(next));
        auto disposer =
            std::make_unique<platform::WorkerThread>([owned] { ::DisposeTask(std::move(*owned)); });
        if (disposer->Started())
            m_disposers.push_back(std::move(disposer));
        else if (WorkerEnded(**owned))
            ::DisposeTask(std::move(*owned));  // nothing to wait for
        else
            m_waiting.push_back(std::move(*owned));
    }
}

void WorkerLauncher::WaitForDisposals(std::chrono::steady_clock::time_point deadline)
{
    if (m_deadline)
        deadline = std::min(deadline, *m_deadline);
    m_deadline = deadline;
    for (auto& disposer : m_disposers)
        disposer->WaitUntil(deadline);
}
