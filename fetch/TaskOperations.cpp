#include "fetch/TaskOperations.h"

#include <unistd.h>

#include "platform/Scheduling.h"
#include "platform/WorkerThread.h"
#include "tasks/Task.h"
#include "tasks/TaskReport.h"

namespace {

void DeleteTaskFiles(const CTask& task)
{
    // Failures are of no interest: a file that is not there is what we want.
    if (!task.m_csFilePath.empty())
        ::unlink(task.m_csFilePath.c_str());
    if (!task.m_job.m_csTargetFile.empty())
        ::unlink(task.m_job.m_csTargetFile.c_str());
}

// A worker that could not run to its end (no thread, or an exception) must not leave
// its task busy for ever: it fails like any other download, with the reason.
void FailDownload(CTask& task, const DownloadContext& context, const std::string& why)
{
    task.Lock();
    task.m_nStatus = STATUS_DOWNLOAD_FAILED;
    task.m_bFinished = false;
    task.Unlock();
    PostTaskDetail(context.poster, task.m_bSilent, task.m_nTaskId, why);
    PostTaskReport(context.poster, task.m_bSilent, task.m_nTaskId, REPORT_STATUS, STATUS_DOWNLOAD_FAILED);
}

}  // namespace

bool StartDownload(CTask& task, const DownloadContext& context)
{
    task.Lock();
    const bool idle = task.m_nStatus == STATUS_DOWNLOAD_FAILED || task.m_nStatus == STATUS_STOPPED;
    if (idle) {
        task.m_nStatus = STATUS_PARSING_URL;
        task.m_bFinished = false;
    }
    task.Unlock();
    if (!idle)
        return false;

    // The previous worker has made its last report; let it finish returning.
    JoinDownload(task);
    task.m_bSilent = false;
    task.m_evStop.Reset();
    task.m_pThread = std::make_unique<platform::WorkerThread>(
        [&task, context] {
            if (context.belowWindow)
                platform::LowerThreadPriority();
            DownloadWorker(task, context).Run();
        },
        [&task, context](const std::string& why) { FailDownload(task, context, why); },
        platform::WorkerThread::Start::Aside);
    return true;
}

void StopDownload(CTask& task)
{
    task.m_evStop.Set();
}

void JoinDownload(CTask& task)
{
    if (task.m_pThread) {
        task.m_pThread->Join();
        task.m_pThread.reset();
    }
}

void DisposeTask(std::unique_ptr<CTask> task)
{
    if (!task)
        return;
    const bool deleteFiles = task->m_bDeleteFiles;
    if (deleteFiles)
        DeleteTaskFiles(*task);
    JoinDownload(*task);
    if (deleteFiles)
        DeleteTaskFiles(*task);
}
