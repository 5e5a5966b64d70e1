#pragma once
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "convert/ConvertJob.h"
#include "convert/EncoderProfiles.h"
#include "fetch/RetryRules.h"
#include "scheduler/ConversionRunner.h"
#include "scheduler/DownloadLauncher.h"
#include "scheduler/DownloadQueue.h"
#include "scheduler/NewTask.h"
#include "tasks/ReportQueue.h"
#include "tasks/RowView.h"
#include "tasks/StoreWriter.h"
#include "tasks/TaskList.h"
#include "tasks/TaskStore.h"

class FileErrorPrompt;

// The task engine's control: the operations behind the main window's commands, the
// conversion queue that feeds finished downloads to the encoder one at a time, and the
// handling of worker reports. UI-thread only; the window forwards commands here and
// drains the queue into DispatchPending.
class TaskScheduler {
public:
    struct Settings {
        std::string storePath;    // tasks.ini
        std::string encoderPath;  // ostrand beside the program
        std::chrono::milliseconds encoderPoll{1000};
        // How long the exit waits for the workers, after the encoder runner's own wait; the
        // threads freeing removed tasks and the store's last write get the same deadline.
        std::chrono::milliseconds exitWait{5000};
        // Told when the store cannot be written; the list in memory is still whole. Always
        // on the UI thread: a failure of the store's thread comes through the mailbox.
        std::function<void(const std::string& error)> storeFailed;
        // Told when a task has ended: STATUS_TASK_COMPLETED when nothing is left to do,
        // or the failure status its row shows.
        std::function<void(const CTask& task, StatusCode status)> taskEnded;
        // None: the real download workers and encoder runner. Others must outlive the
        // scheduler.
        DownloadLauncher* downloads = nullptr;
        ConversionRunner* runner = nullptr;
        // What the encoder can make; none: everything. Must outlive the scheduler.
        const EncoderProfiles* profiles = nullptr;
        // How the real workers retry (none by default), and how many downloads run at
        // once (0: no limit; the others wait as "Queued" in the order of their start).
        RetryPolicy retry;
        int maxDownloads = 0;
    };

    // `queue` is the mailbox the workers post to (and the scheduler itself, for Start of
    // a finished task); `prompt` shows the file-creation failure for a real worker.
    TaskScheduler(RowView& rows, ReportQueue& queue, FileErrorPrompt& prompt, Settings settings);
    ~TaskScheduler();
    TaskScheduler(const TaskScheduler&) = delete;
    TaskScheduler& operator=(const TaskScheduler&) = delete;

    std::int32_t LoadTasks();
    void AddTask(const NewTask& task);
    // Rows are the selected rows in ascending order.
    void StartSelectedTasks(const std::vector<std::int32_t>& rows);
    void StopSelectedTasks(const std::vector<std::int32_t>& rows);
    // The confirm dialog has ended with OK; `deleteFiles` is its answer.
    void RemoveSelectedTasks(const std::vector<std::int32_t>& rows, bool deleteFiles);
    void ClearCompletedTasks();
    // Saves the store, silences and stops the runner and every worker, and waits for
    // the workers at most exitWait in all.
    void ExitApp();
    // Waits until every change so far is in the store (or its write failed); false when
    // the time ran out.
    bool WaitForStore(std::chrono::milliseconds limit);

    using Clock = std::chrono::steady_clock;
    // How long one drain of the mailbox may hold the UI thread; input and painting get
    // their turn before the next.
    static constexpr std::chrono::milliseconds kDispatchSlice{8};

    // Hands waiting messages to their handlers, oldest first, until `budget` has passed
    // (one message at least); true when some are left, in order, for the next call, which
    // then no post asks for. The store is saved once for all that were handled.
    // `oldestPost`, when given, receives when the oldest message handled was posted (and is
    // left alone when none was).
    bool DispatchPending(Clock::duration budget = Clock::duration::max(),
                         Clock::time_point* oldestPost = nullptr);
    void OnTaskReport(const TaskReport& report);
    void OnConvertNext(int wParam);
    void OnTaskDetail(std::int32_t taskId, const std::string& text);

    const TaskList& Tasks() const { return m_list; }
    bool IsExiting() const { return m_bExiting; }
    const std::deque<ConvertJob>& Queue() const { return m_queue; }

private:
    // The list changed in what the store keeps; FlushStore hands it to the store's
    // thread, once however many changes came before.
    void StoreChanged() { m_storeChanged = true; }
    void FlushStore();
    StoreSnapshot TakeSnapshot() { return m_store.SharedSnapshot(m_list); }
    void DispatchOne(const QueuedMessage& message);
    void ReportStoreFailure(const std::string& error) const;
    // Erases the first queued job whose task sits at `row` as the map has it now.
    std::optional<ConvertJob> EraseQueuedJobAt(std::int32_t row);
    bool RunnerJobIsAt(std::int32_t row) const;
    // A job whose profile the encoder cannot make ends failed, with the reason, and is
    // never started; false for one it can make.
    bool RefuseUnavailable(const ConvertJob& job);
    // Frees cleared tasks whose workers have ended.
    void ReleaseEnded();
    // Starts the task's download, or queues it while the limit is reached.
    void StartOrQueue(CTask& task);
    // Starts the queued downloads the limit has room for.
    void StartQueued();

    ReportQueue& m_poster;
    Settings m_settings;
    std::unique_ptr<DownloadLauncher> m_ownDownloads;
    std::unique_ptr<ConversionRunner> m_ownRunner;
    DownloadLauncher& m_downloads;
    ConversionRunner& m_runner;
    TaskList m_list;
    TaskStore m_store;
    StoreWriter m_writer;
    bool m_storeChanged = false;
    // Taken from the mailbox, not yet handled: what a drain's budget left.
    std::deque<QueuedMessage> m_inbox;
    std::deque<ConvertJob> m_queue;
    DownloadQueue m_downloadQueue;
    // Cleared tasks wait here until their worker is joined.
    std::vector<std::unique_ptr<CTask>> m_retired;
    bool m_bExiting = false;
};
