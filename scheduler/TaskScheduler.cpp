#include "scheduler/TaskScheduler.h"

#include <algorithm>
#include <utility>

#include "platform/Text.h"
#include "platform/WorkerThread.h"
#include "scheduler/EncoderRunner.h"
#include "scheduler/WorkerLauncher.h"

namespace {

DownloadContext WorkerContext(MessagePoster& poster, FileErrorPrompt& prompt, const RetryPolicy& retry)
{
    DownloadContext context;
    context.poster = &poster;
    context.filePrompt = &prompt;
    context.retry = retry;
    // A window shows these downloads: it goes first when transfers keep the processor busy.
    context.belowWindow = true;
    return context;
}

bool EndsDownload(std::int64_t status)
{
    return status == STATUS_DOWNLOAD_COMPLETED || status == STATUS_DOWNLOAD_FAILED ||
           status == STATUS_STOPPED;
}

}  // namespace

TaskScheduler::TaskScheduler(RowView& rows, ReportQueue& queue, FileErrorPrompt& prompt, Settings settings)
    : m_poster(queue),
      m_settings(std::move(settings)),
      m_ownDownloads(m_settings.downloads
                         ? nullptr
                         : std::make_unique<WorkerLauncher>(WorkerContext(queue, prompt, m_settings.retry),
                                                            m_settings.exitWait)),
      m_ownRunner(m_settings.runner ? nullptr
                                    : std::make_unique<EncoderRunner>(m_settings.encoderPath, queue,
                                                                      m_settings.encoderPoll)),
      m_downloads(m_ownDownloads ? *m_ownDownloads : *m_settings.downloads),
      m_runner(m_ownRunner ? *m_ownRunner : *m_settings.runner),
      m_list(&rows),
      m_store(m_settings.storePath),
      m_writer(
          [path = m_settings.storePath](const StoreSnapshot& tasks, std::string* error) {
              return TaskStore::WriteTasks(path, tasks, error);
          },
          [&queue](const std::string& error) { queue.PostStoreFailure(error); }),
      m_downloadQueue(m_settings.maxDownloads)
{
}

TaskScheduler::~TaskScheduler()
{
    // A worker that outlived the exit wait may still use its record until the process
    // ends, so such a record is deliberately never freed.
    auto release = [](std::vector<std::unique_ptr<CTask>>& tasks) {
        for (auto& task : tasks)
            if (task->m_pThread && task->m_pThread->IsRunning())
                static_cast<void>(task.release());
    };
    auto tasks = m_list.TakeTasks();
    release(tasks);
    release(m_retired);
}

void TaskScheduler::ReportStoreFailure(const std::string& error) const
{
    if (m_settings.storeFailed)
        m_settings.storeFailed(error);
}

void TaskScheduler::FlushStore()
{
    if (!m_storeChanged)
        return;
    m_storeChanged = false;
    if (m_store.ReadFailed())
        ReportStoreFailure(m_store.ReadFailure());
    else
        m_writer.Save(TakeSnapshot());
}

bool TaskScheduler::WaitForStore(std::chrono::milliseconds limit)
{
    FlushStore();
    return m_writer.WaitIdle(std::chrono::steady_clock::now() + limit);
}

std::int32_t TaskScheduler::LoadTasks()
{
    return m_store.LoadTasks(m_list);
}

void TaskScheduler::AddTask(const NewTask& added)
{
    auto task = std::make_unique<CTask>();
    task->m_csFileName = added.m_csFileName;
    task->m_csFilePath = added.m_csFolder + added.m_csFileName;
    task->m_csUrl = platform::TrimWhiteSpace(added.m_csUrl);
    task->m_job = added.m_job;
    if (task->m_job.m_csTargetType == ".flv")
        task->m_bAllFinished = true;

    CTask& ref = *task;
    const std::int32_t row = m_list.Append(std::move(task));
    m_list.SetCellText(row, COLUMN_SIZE, "-");
    m_list.SetCellText(row, COLUMN_TARGET, ref.m_job.m_csTargetName);
    m_list.SetCellText(row, COLUMN_ELAPSED, "0:0:0");
    StoreChanged();
    FlushStore();
    StartOrQueue(ref);
}

void TaskScheduler::StartOrQueue(CTask& task)
{
    if (!m_downloadQueue.Admit(task.m_nTaskId)) {
        m_poster.PostTaskReport(task.m_nTaskId, REPORT_STATUS, STATUS_QUEUED);
        return;
    }
    if (!m_downloads.StartDownload(task))
        m_downloadQueue.Leave(task.m_nTaskId);
}

void TaskScheduler::StartQueued()
{
    if (m_bExiting)
        return;
    // A task the launcher turns down frees its place for the next one.
    for (bool again = true; again;) {
        again = false;
        for (const std::int32_t id : m_downloadQueue.TakeStartable()) {
            CTask* task = m_list.FindTask(id);
            if (!task || !m_downloads.StartDownload(*task)) {
                m_downloadQueue.Leave(id);
                again = true;
            }
        }
    }
}

void TaskScheduler::StartSelectedTasks(const std::vector<std::int32_t>& rows)
{
    ReleaseEnded();
    for (const std::int32_t row : rows) {
        if (row < 0 || row >= m_list.Count())
            continue;
        CTask& task = m_list.At(row);
        const bool finished = task.IsFinished();
        if (!finished && task.IsIdle()) {
            if (!m_downloadQueue.IsWaiting(task.m_nTaskId))
                StartOrQueue(task);
        } else if (finished && !task.m_bAllFinished) {
            // Through the mailbox, so the conversion is queued by the same handler
            // that queues a fresh download's.
            m_poster.PostTaskReport(task.m_nTaskId, REPORT_STATUS, STATUS_DOWNLOAD_COMPLETED);
        }
    }
}

std::optional<ConvertJob> TaskScheduler::EraseQueuedJobAt(std::int32_t row)
{
    const auto queued = std::find_if(m_queue.begin(), m_queue.end(), [&](const ConvertJob& job) {
        return m_list.FindRow(job.m_nTaskId) == row;
    });
    if (queued == m_queue.end())
        return std::nullopt;
    ConvertJob job = *queued;
    m_queue.erase(queued);
    return job;
}

bool TaskScheduler::RunnerJobIsAt(std::int32_t row) const
{
    // The runner keeps its last job's identifier after the run, so this can match
    // with nothing running; the next StartRunner drops the stale stop request.
    return m_list.FindRow(m_runner.Job().m_nTaskId) == row;
}

void TaskScheduler::StopSelectedTasks(const std::vector<std::int32_t>& rows)
{
    for (const std::int32_t row : rows) {
        if (row < 0 || row >= m_list.Count())
            continue;
        CTask& task = m_list.At(row);
        if (m_downloadQueue.IsWaiting(task.m_nTaskId)) {
            m_downloadQueue.Leave(task.m_nTaskId);
            m_poster.PostTaskReport(task.m_nTaskId, REPORT_STATUS, STATUS_STOPPED);
        } else if (!task.IsIdle()) {
            m_downloads.StopDownload(task);
        }
        if (const auto job = EraseQueuedJobAt(row))
            m_poster.PostTaskReport(job->m_nTaskId, REPORT_STATUS, STATUS_STOPPED);
        if (RunnerJobIsAt(row))
            m_runner.StopRunner();
    }
}

void TaskScheduler::RemoveSelectedTasks(const std::vector<std::int32_t>& rows, bool deleteFiles)
{
    if (rows.empty())
        return;
    const bool removed = m_list.RemoveRows(
        rows,
        [&](std::int32_t originalRow, CTask&) {
            EraseQueuedJobAt(originalRow);
            if (RunnerJobIsAt(originalRow))
                m_runner.StopRunner();
        },
        [&](std::unique_ptr<CTask> task) {
            m_downloadQueue.Leave(task->m_nTaskId);
            task->m_bDeleteFiles = deleteFiles;
            // Its reports are ignored from now on anyway; silent, it posts none at all.
            task->m_bSilent = true;
            m_downloads.StopDownload(*task);
            m_downloads.DisposeTask(std::move(task));
        });
    if (removed) {
        StoreChanged();
        FlushStore();
        StartQueued();
    }
}

void TaskScheduler::ClearCompletedTasks()
{
    std::vector<std::int32_t> rows;
    for (std::int32_t row = 0; row < m_list.Count(); ++row) {
        CTask& task = m_list.At(row);
        if (task.IsFinished() && task.m_bAllFinished)
            rows.push_back(row);
    }
    if (rows.empty())
        return;
    m_list.RemoveRows(rows, {}, [&](std::unique_ptr<CTask> task) { m_retired.push_back(std::move(task)); });
    ReleaseEnded();
    StoreChanged();
    FlushStore();
}

void TaskScheduler::ReleaseEnded()
{
    std::erase_if(m_retired, [this](const std::unique_ptr<CTask>& task) {
        if (task->m_pThread && task->m_pThread->IsRunning())
            return false;
        m_downloads.JoinDownload(*task);
        return true;
    });
}

void TaskScheduler::OnTaskReport(const TaskReport& report)
{
    const auto row = m_list.FindRow(report.taskId);
    if (!row)
        return;  // the task has left the list
    CTask& task = m_list.At(*row);

    std::string text = FormatReportText(report.code, report.value);
    // A reason belongs to the failure it came with; whatever the task does next drops it.
    if (report.code == REPORT_STATUS && !IsFailureStatus(report.value) && !task.m_detail.empty()) {
        task.m_detail.clear();
        m_list.SetRowDetail(*row, {});
    }
    bool slotFreed = false;
    if (report.code == REPORT_SIZE) {
        // Stored at once, so a download can continue even after the program was killed.
        StoreChanged();
    } else if (report.code == REPORT_PROGRESS) {
        task.m_progressShown = report.value;
        text = FormatProgressText(report.value, task.m_rate);
    } else if (report.code == REPORT_SPEED) {
        task.m_rate = {report.value, SecondsLeft(task.m_nFileSize, task.m_progressShown, report.value)};
        text = FormatProgressText(task.m_progressShown, task.m_rate);
    } else if (report.code == REPORT_STATUS) {
        task.m_rate = {};
        task.m_progressShown = 0;
        if (EndsDownload(report.value) && m_downloadQueue.IsRunning(report.taskId)) {
            m_downloadQueue.Leave(report.taskId);
            slotFreed = true;
        }
        if (report.value == STATUS_DOWNLOAD_COMPLETED) {
            if (task.m_bAllFinished) {
                text = StatusText(STATUS_TASK_COMPLETED);
            } else if (!RefuseUnavailable(task.m_job)) {  // refused: its failure follows
                m_queue.push_back(task.m_job);
                m_poster.PostConvertNext(0);
                text = "Waiting";
            }
            StoreChanged();
        } else if (report.value == STATUS_TASK_COMPLETED) {
            task.m_bAllFinished = true;
            StoreChanged();
        }
    }
    const int column = ReportColumn(report.code);
    if (column >= 0)
        m_list.SetCellText(*row, column, text);
    if (slotFreed)
        StartQueued();

    if (report.code != REPORT_STATUS || !m_settings.taskEnded)
        return;
    if (IsFailureStatus(report.value))
        m_settings.taskEnded(task, static_cast<StatusCode>(report.value));
    else if (report.value == STATUS_TASK_COMPLETED ||
             (report.value == STATUS_DOWNLOAD_COMPLETED && task.m_bAllFinished))
        m_settings.taskEnded(task, STATUS_TASK_COMPLETED);
}

void TaskScheduler::OnTaskDetail(std::int32_t taskId, const std::string& text)
{
    const auto row = m_list.FindRow(taskId);
    if (!row)
        return;
    m_list.At(*row).m_detail = text;
    m_list.SetRowDetail(*row, text);
}

void TaskScheduler::OnConvertNext(int wParam)
{
    if (m_bExiting)
        return;
    if (wParam == 1)
        m_runner.ReapRunner();
    while (!m_runner.IsRunning() && !m_queue.empty()) {
        const ConvertJob job = m_queue.front();
        m_queue.pop_front();
        // The encoder may have told what it cannot make only after this job was queued.
        if (!RefuseUnavailable(job))
            m_runner.StartRunner(job);
    }
}

bool TaskScheduler::RefuseUnavailable(const ConvertJob& job)
{
    std::string why = m_settings.profiles ? m_settings.profiles->UnavailableReason(job.m_csTargetName) : "";
    if (why.empty())
        return false;
    // Through the mailbox, so the failure is handled as one the encoder reported.
    m_poster.PostTaskDetail(job.m_nTaskId, std::move(why));
    m_poster.PostTaskReport(job.m_nTaskId, REPORT_STATUS, STATUS_CONVERSION_FAILED);
    return true;
}

bool TaskScheduler::DispatchPending(Clock::duration budget, Clock::time_point* oldestPost)
{
    const auto start = Clock::now();
    const auto deadline =
        budget < Clock::time_point::max() - start ? start + budget : Clock::time_point::max();
    // The mailbox is emptied only when what it gave last is done, so that it goes on
    // merging progress while the UI thread is behind; and once a call at most, so that
    // what handlers and workers post meanwhile waits for the drain their post asks for.
    if (m_inbox.empty()) {
        std::vector<QueuedMessage> taken = m_poster.TakeAll();
        m_inbox.assign(std::make_move_iterator(taken.begin()), std::make_move_iterator(taken.end()));
    }
    for (bool first = true; !m_inbox.empty() && (first || Clock::now() < deadline); first = false) {
        const QueuedMessage message = std::move(m_inbox.front());
        m_inbox.pop_front();
        if (oldestPost && (first || message.postedAt < *oldestPost))
            *oldestPost = message.postedAt;
        DispatchOne(message);
    }
    FlushStore();
    return !m_inbox.empty();
}

void TaskScheduler::DispatchOne(const QueuedMessage& message)
{
    switch (message.kind) {
    case QueuedMessage::Kind::TaskReport:
        OnTaskReport(message.report);
        break;
    case QueuedMessage::Kind::ConvertNext:
        OnConvertNext(message.wParam);
        break;
    case QueuedMessage::Kind::TaskDetail:
        OnTaskDetail(message.report.taskId, message.detail);
        break;
    case QueuedMessage::Kind::StoreFailed:
        ReportStoreFailure(message.detail);
        break;
    }
}

void TaskScheduler::ExitApp()
{
    m_bExiting = true;
    // The last copy is written while the threads wind down, and waited for with them.
    m_storeChanged = false;
    const bool saving = !m_store.ReadFailed();
    if (saving)
        m_writer.SaveLast(TakeSnapshot());
    else
        ReportStoreFailure(m_store.ReadFailure());

    m_runner.QuietRunner();
    m_runner.StopRunner();
    m_runner.ReapRunner();

    std::vector<platform::WorkerThread*> workers;
    for (const auto& task : m_list.Tasks()) {
        task->m_bSilent = true;
        m_downloads.StopDownload(*task);
        if (task->m_pThread)
            workers.push_back(task->m_pThread.get());
    }
    // One deadline for all that is still waited for, whatever the number of workers: no
    // wait starts its own time limit again.
    const auto deadline = std::chrono::steady_clock::now() + m_settings.exitWait;
    for (platform::WorkerThread* worker : workers)
        worker->WaitUntil(deadline);
    m_downloads.WaitForDisposals(deadline);
    if (!saving)
        return;
    std::string error;
    if (!m_writer.WaitIdle(deadline))
        ReportStoreFailure("the task list was still being written when the program had to end");
    else if (!m_writer.LastWrite(&error))
        ReportStoreFailure(error);
}
