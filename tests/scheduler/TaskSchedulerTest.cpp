// The scheduler's state rules as one table: commands and worker reports go in; the rows'
// statuses, the conversion queue, what the scheduler asked of the download workers and
// of the encoder runner, and the store come out. The test itself stands in for the
// workers and the runner, so every case runs on its thread, step by step, with no
// process and no wait.

#include "scheduler/TaskScheduler.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "fetch/FileErrorPrompt.h"
#include "support/Files.h"
#include "support/RecordingRowView.h"
#include "support/TempFolder.h"
#include "tasks/Task.h"

namespace {

namespace fs = std::filesystem;

class Harness : public DownloadLauncher, public ConversionRunner, public FileErrorPrompt {
public:
    // A script that starts "limit N" lets N downloads run at once.
    static int LimitOf(const std::string& script)
    {
        return script.starts_with("limit ") ? std::stoi(script.substr(6)) : 0;
    }

    explicit Harness(int maxDownloads = 0)
    {
        TaskScheduler::Settings settings;
        settings.maxDownloads = maxDownloads;
        settings.storePath = Store().string();
        // Nothing here has a thread: an exit that waited for anything would hang the test.
        settings.exitWait = std::chrono::hours(1);
        settings.storeFailed = [this](const std::string&) { Call("store failed"); };
        settings.taskEnded = [this](const CTask& task, StatusCode status) {
            Call("ended" + Id(task) + " " + StatusText(status));
        };
        settings.downloads = this;
        settings.runner = this;
        settings.profiles = &m_profiles;
        m_scheduler = std::make_unique<TaskScheduler>(m_rows, m_mailbox, *this, settings);
    }
    ~Harness() override { m_scheduler.reset(); }

    // Steps, one after another, each followed by draining the mailbox as the window does;
    // then the store is given the time to catch up.
    void Run(const std::string& script)
    {
        std::istringstream steps(script);
        for (std::string step; std::getline(steps, step, ',');) {
            Step(step);
            while (m_mailbox.Size() > 0)
                m_scheduler->DispatchPending();
        }
        EXPECT_TRUE(m_scheduler->WaitForStore(std::chrono::seconds(10))) << script;
        while (m_mailbox.Size() > 0)
            m_scheduler->DispatchPending();
    }

    // "name: status [detail]" of every row, then the queued jobs' identifiers.
    std::string Rows() const
    {
        std::string text;
        for (std::size_t row = 0; row < m_rows.rows.size(); ++row) {
            const auto& cells = m_rows.rows[row];
            text += cells[COLUMN_NAME].substr(0, cells[COLUMN_NAME].find('.')) + ": " + cells[COLUMN_STATUS];
            if (!m_rows.details[row].empty())
                text += " [" + m_rows.details[row] + "]";
            text += " | ";
        }
        text += "queue:";
        for (const ConvertJob& job : m_scheduler->Queue())
            text += " " + std::to_string(job.m_nTaskId);
        return text;
    }
    const std::string& Calls() const { return m_calls; }
    bool Drain(TaskScheduler::Clock::duration budget) { return m_scheduler->DispatchPending(budget); }
    ReportQueue& Mailbox() { return m_mailbox; }
    fs::path Store() const { return m_folder / "tasks.ini"; }

private:
    void Step(const std::string& step)
    {
        std::istringstream words(step);
        std::string verb, word;
        std::int32_t id = 0;
        words >> verb;
        std::vector<std::int32_t> rows;
        if (verb == "limit") {
            // Read by the test before the harness is made.
        } else if (verb == "add") {
            words >> word;
            NewTask task;
            task.m_csUrl = "  http://service.test/watch?v=" + word.substr(0, 1) + "\n";
            task.m_csFolder = m_folder.string() + "/";
            task.m_csFileName = word.substr(0, 1) + ".flv";
            task.m_job.m_csTargetType = word.substr(1);
            task.m_job.m_csTargetName = "to " + task.m_job.m_csTargetType;
            m_scheduler->AddTask(task);
        } else if (verb == "learn") {
            // The encoder has told what it cannot make.
            m_profiles.Learn({{"to .3gp", "needs AMR-NB support"}});
        } else if (verb == "download") {
            // The worker sets its task's state before its last report, and reports even
            // when its task has left the list.
            words >> word >> id;
            const std::int32_t status = word == "done" ? STATUS_DOWNLOAD_COMPLETED : STATUS_DOWNLOAD_FAILED;
            if (CTask* task = m_scheduler->Tasks().FindTask(id)) {
                task->m_nStatus = status;
                task->m_bFinished = status == STATUS_DOWNLOAD_COMPLETED;
            }
            m_mailbox.PostTaskReport(id, REPORT_STATUS, status);
        } else if (verb == "conversion") {
            // The run's thread ends with its outcome and convert-next (1).
            words >> word;
            m_mailbox.PostTaskReport(m_job.m_nTaskId, REPORT_STATUS,
                                     word == "done"     ? STATUS_TASK_COMPLETED
                                     : word == "failed" ? STATUS_CONVERSION_FAILED
                                                        : STATUS_STOPPED);
            m_mailbox.PostConvertNext(1);
        } else if (verb == "report") {
            // A worker's report; a size is the task's before it is posted.
            std::int32_t code = 0;
            std::int64_t value = 0;
            words >> id >> code >> value;
            if (CTask* task = m_scheduler->Tasks().FindTask(id); task && code == REPORT_SIZE)
                task->m_nFileSize = value;
            m_mailbox.PostTaskReport(id, code, value);
        } else if (verb == "detail") {
            words >> id >> std::ws;
            std::getline(words, word);
            m_mailbox.PostTaskDetail(id, word);
        } else if (verb == "pump") {
            m_mailbox.PostConvertNext(0);
        } else if (verb == "unwritable") {
            // A save still on its way could put the file back between these two.
            EXPECT_TRUE(m_scheduler->WaitForStore(std::chrono::seconds(10)));
            fs::remove(Store());
            fs::create_directory(Store());
        } else if (verb == "clear") {
            m_scheduler->ClearCompletedTasks();
        } else if (verb == "exit") {
            m_scheduler->ExitApp();
        } else {
            for (std::int32_t row = 0; words >> row;)
                rows.push_back(row);
            if (verb == "start")
                m_scheduler->StartSelectedTasks(rows);
            else if (verb == "stop")
                m_scheduler->StopSelectedTasks(rows);
            else if (verb.starts_with("remove"))
                m_scheduler->RemoveSelectedTasks(rows, verb == "remove+files");
            else
                ADD_FAILURE() << "no such step: " << step;
        }
    }

    void Call(const std::string& call) { m_calls += (m_calls.empty() ? "" : ", ") + call; }
    static std::string Id(const CTask& task) { return " " + std::to_string(task.m_nTaskId); }

    // A start turns its task busy, as the real one does before the worker's first report.
    bool StartDownload(CTask& task) override
    {
        task.m_nStatus = STATUS_PARSING_URL;
        Call("download" + Id(task));
        return true;
    }
    void StopDownload(CTask& task) override { Call("stop" + Id(task) + (task.m_bSilent ? " silent" : "")); }
    void JoinDownload(CTask& task) override { Call("join" + Id(task)); }
    void DisposeTask(std::unique_ptr<CTask> task) override
    {
        Call("dispose" + Id(*task) + (task->m_bDeleteFiles ? " with files" : ""));
    }
    // The run's thread reports "Converting" as it starts.
    void StartRunner(const ConvertJob& job) override
    {
        m_job = job;
        m_bRunning = true;
        Call("convert " + std::to_string(job.m_nTaskId));
        m_mailbox.PostTaskReport(job.m_nTaskId, REPORT_STATUS, STATUS_CONVERTING);
    }
    int ReapRunner() override
    {
        Call("reap");
        m_bRunning = false;
        return 0;
    }
    void StopRunner() override { Call("stop encoder"); }
    void QuietRunner() override { Call("quiet"); }
    bool IsRunning() const override { return m_bRunning; }
    const ConvertJob& Job() const override { return m_job; }
    void ShowFileError(const std::string&) override {}

    // The store is synced to disk at every change; in memory the whole table takes milliseconds.
    TempFolder m_temp{fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path()};
    const fs::path m_folder = m_temp.Root();
    std::string m_calls;
    ConvertJob m_job;
    bool m_bRunning = false;
    EncoderProfiles m_profiles;
    RecordingRowView m_rows;
    ReportQueue m_mailbox;
    std::unique_ptr<TaskScheduler> m_scheduler;
};

// Tasks are added as "a.mp4" (file a.flv converted to .mp4; identifiers from 0); each
// case ends with its rows and queue, the calls made (the window told of a task's end
// included), and texts the store holds ("!": not).
const struct {
    const char* question;
    const char* script;
    const char* rows;
    const char* calls;
    const char* store;
} kCases[] = {
    {"Does a download that wants no conversion complete at once, and is its trimmed address stored?",
     "add a.flv, download done 0", "a: Task Completed | queue:", "download 0, ended 0 Task Completed",
     "TASKURL_0=http://service.test/watch?v=a TASKFINISHED_0=TRUE ALLFINISHED_0=TRUE"},
    {"Do finished downloads convert one at a time, in the order they finished, each completion stored?",
     "add a.mp4, add b.mp4, add c.mp4, download done 2, download done 0, download done 1, conversion done, "
     "conversion done, conversion done",
     "a: Task Completed | b: Task Completed | c: Task Completed | queue:",
     "download 0, download 1, download 2, convert 2, ended 2 Task Completed, reap, convert 0, ended 0 Task "
     "Completed, reap, convert 1, ended 1 Task Completed, reap",
     "ALLFINISHED_0=TRUE ALLFINISHED_1=TRUE ALLFINISHED_2=TRUE"},
    {"Does Start leave a complete task and a downloading one alone?",
     "add a.mp4, add b.mp4, download done 0, conversion done, start 0 1", "a: Task Completed | b:  | queue:",
     "download 0, download 1, convert 0, ended 0 Task Completed, reap", ""},
    {"Is a failure's reason shown with it, and dropped once Start downloads the task again?",
     "add a.mp4, add b.mp4, detail 0 request 1: 404 Not Found, download failed 0, detail 1 gone, download "
     "failed 1, start 0, download done 0",
     "a: Converting | b: Download Failed [gone] | queue:",
     "download 0, download 1, ended 0 Download Failed, ended 1 Download Failed, download 0, convert 0", ""},
    {"Does Start on a waiting conversion queue it a second time, to run after the first?",
     "add a.mp4, add b.mp4, download done 0, download done 1, start 1, conversion done, conversion done, "
     "conversion done",
     "a: Task Completed | b: Task Completed | queue:",
     "download 0, download 1, convert 0, ended 0 Task Completed, reap, convert 1, ended 1 Task Completed, "
     "reap, convert 1, ended 1 Task Completed, reap",
     "ALLFINISHED_1=TRUE"},
    {"Does Stop drop a waiting conversion from the queue, and Start queue it again without downloading?",
     "add a.mp4, add b.mp4, download done 0, download done 1, stop 1, start 1",
     "a: Converting | b: Waiting | queue: 1", "download 0, download 1, convert 0, stop 1", ""},
    {"Does Stop on a running conversion stop the encoder, and the next job start?",
     "add a.mp4, add b.mp4, download done 0, download done 1, stop 0, conversion stopped",
     "a: Task Stopped | b: Converting | queue:",
     "download 0, download 1, convert 0, stop 0, stop encoder, reap, convert 1", "!ALLFINISHED_0"},
    {"Does a conversion the encoder cannot make fail with the reason, the encoder never started for it?",
     "learn, add a.3gp, add b.mp4, download done 0, download done 1, start 0",
     "a: Conversion Failed [needs AMR-NB support] | b: Converting | queue:",
     "download 0, download 1, ended 0 Conversion Failed, convert 1, ended 0 Conversion Failed",
     "TASKFINISHED_0=TRUE !ALLFINISHED_0"},
    {"Does a job that waited while the encoder had not told yet fail when its turn comes?",
     "add a.mp4, add b.3gp, download done 0, download done 1, learn, conversion done",
     "a: Task Completed | b: Conversion Failed [needs AMR-NB support] | queue:",
     "download 0, download 1, convert 0, ended 0 Task Completed, reap, ended 1 Conversion Failed",
     "!ALLFINISHED_1"},
    {"Does a failed encoder show Conversion Failed and leave the task incomplete?",
     "add a.mp4, download done 0, conversion failed", "a: Conversion Failed | queue:",
     "download 0, convert 0, ended 0 Conversion Failed, reap", "TASKFINISHED_0=TRUE !ALLFINISHED_0"},
    // The runner keeps its last job, blank at first, whose identifier 0 matches task 0.
    {"Is a report from a removed task's worker ignored?", "add a.mp4, add b.mp4, remove 0, download done 0",
     "b:  | queue:", "download 0, download 1, stop encoder, stop 0 silent, dispose 0",
     "TASKS_NUMBER=1 TASKFILENAME_0=b.flv"},
    {"Does Remove take the removed task's waiting job, and stop the encoder on its job?",
     "add a.mp4, add b.mp4, add c.mp4, download done 0, download done 1, download done 2, remove+files 1, "
     "remove 0, conversion stopped",
     "c: Converting | queue:",
     "download 0, download 1, download 2, convert 0, stop 1 silent, dispose 1 with files, stop encoder, stop "
     "0 silent, dispose 0, reap, convert 2",
     "TASKS_NUMBER=1 TASKFILENAME_0=c.flv"},
    {"Does removing a converting row and a waiting one together stop the encoder, drop the job, and go on "
     "with the next?",
     "add a.mp4, add b.mp4, add c.mp4, add d.mp4, download done 0, download done 1, download done 2, "
     "download done 3, remove 0 2, conversion stopped",
     "b: Converting | d: Waiting | queue: 3",
     "download 0, download 1, download 2, download 3, convert 0, stop encoder, stop 0 silent, dispose 0, "
     "stop 2 silent, dispose 2, reap, convert 1",
     "TASKS_NUMBER=2 TASKFILENAME_0=b.flv TASKFILENAME_1=d.flv !TASKFILENAME_2"},
    {"Does Clear Completed remove only complete tasks, delete nothing, and ignore their reports after?",
     "add a.flv, add b.mp4, add c.flv, download done 0, download done 1, download done 2, clear, download "
     "done 0",
     "b: Converting | queue:",
     "download 0, download 1, download 2, ended 0 Task Completed, convert 1, ended 2 Task Completed, join 0, "
     "join 2",
     "TASKS_NUMBER=1 TASKFILENAME_0=b.flv"},
    {"Does Exit save, quiet the encoder before stopping it, silence every download, then start nothing?",
     "add a.mp4, add b.mp4, download done 0, download done 1, exit, pump",
     "a: Converting | b: Waiting | queue: 1",
     "download 0, download 1, convert 0, quiet, stop encoder, reap, stop 0 silent, stop 1 silent",
     "TASKFINISHED_1=TRUE !ALLFINISHED"},
    {"Is a store that cannot be written reported, the list kept?", "add a.mp4, unwritable, download done 0",
     "a: Converting | queue:", "download 0, convert 0, store failed", ""},
    {"Is the announced size stored at once, and does progress show speed and time left?",
     "add a.flv, report 0 1 10485760, report 0 6 5000, report 0 7 1048576, report 0 6 6000",
     "a: Downloading - 60.00% - 1.00MB/s - 0:0:5 left | queue:", "download 0", "TASKFILESIZE_0=10485760"},
    {"Does a new status drop the speed of the transfer before it?",
     "add a.flv, report 0 6 5000, report 0 7 1048576, report 0 2 0, report 0 6 0",
     "a: Downloading - 0.00% | queue:", "download 0", ""},
    // Started from the queue, a task shows "Queued" until its worker's first report.
    {"Do downloads beyond the limit wait as Queued and start in the order of their start, Start on a waiting "
     "one changing nothing?",
     "limit 2, add a.flv, add b.flv, add c.flv, add d.flv, start 2, download failed 1, download done 0",
     "a: Task Completed | b: Download Failed | c: Queued | d: Queued | queue:",
     "download 0, download 1, download 2, ended 1 Download Failed, download 3, ended 0 Task Completed", ""},
    {"Does Stop on a queued download leave it stopped and out of turn until started again?",
     "limit 1, add a.flv, add b.flv, add c.flv, stop 1, download done 0, start 1",
     "a: Task Completed | b: Queued | c: Queued | queue:", "download 0, download 2, ended 0 Task Completed",
     ""},
    {"Does Remove of a running and a queued download let the next one start?",
     "limit 1, add a.flv, add b.flv, add c.flv, remove 0 1", "c: Queued | queue:",
     "download 0, stop encoder, stop 0 silent, dispose 0, stop 1 silent, dispose 1, download 2",
     "TASKS_NUMBER=1"},
    {"Does Exit start no queued download, and store it unfinished?",
     "limit 1, add a.flv, add b.flv, exit, download done 0", "a: Task Completed | b: Queued | queue:",
     "download 0, quiet, stop encoder, reap, stop 0 silent, stop 1 silent, ended 0 Task Completed",
     "!TASKFINISHED_1"},
};

TEST(TaskScheduler, RowsQueueCallsAndStoreOfEachCase)
{
    for (const auto& c : kCases) {
        Harness harness(Harness::LimitOf(c.script));
        harness.Run(c.script);
        EXPECT_EQ(harness.Rows(), c.rows) << c.question;
        EXPECT_EQ(harness.Calls(), c.calls) << c.question;
        const std::string store = ReadText(harness.Store());
        std::istringstream texts(c.store);
        for (std::string text; texts >> text;)
            EXPECT_EQ(store.find(text.substr(text[0] == '!')) == std::string::npos, text[0] == '!')
                << c.question << " " << text;
    }
}

// A drain out of time (none left: one message each) keeps the rest, in order, for the next;
// a report posted meanwhile must not overtake them, and waits for a drain of its own.
TEST(TaskScheduler, ADrainOutOfTimeLeavesTheRestInOrderForTheNext)
{
    Harness harness;
    harness.Run("add a.mp4, add b.mp4");
    ReportQueue& mailbox = harness.Mailbox();
    mailbox.PostTaskReport(0, REPORT_PROGRESS, 1000);
    mailbox.PostTaskReport(1, REPORT_PROGRESS, 2000);
    mailbox.PostTaskReport(0, REPORT_STATUS, STATUS_DOWNLOAD_FAILED);
    mailbox.PostTaskReport(1, REPORT_STATUS, STATUS_STOPPED);
    EXPECT_TRUE(harness.Drain({}));
    EXPECT_EQ(harness.Rows(), "a: Downloading - 10.00% | b:  | queue:");
    mailbox.PostTaskReport(0, REPORT_PROGRESS, 3000);
    EXPECT_TRUE(harness.Drain({}));
    EXPECT_EQ(harness.Rows(), "a: Downloading - 10.00% | b: Downloading - 20.00% | queue:");
    EXPECT_FALSE(harness.Drain(std::chrono::hours(1)));
    EXPECT_EQ(harness.Rows(), "a: Download Failed | b: Task Stopped | queue:");
    EXPECT_FALSE(harness.Drain({}));
    EXPECT_EQ(harness.Rows(), "a: Downloading - 30.00% | b: Task Stopped | queue:");
}

}  // namespace
