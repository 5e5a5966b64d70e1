#include "scheduler/EncoderRunner.h"

#include <mutex>
#include <utility>

#include "convert/EncoderRun.h"
#include "tasks/TaskReport.h"

// Everything a run's thread tells its runner goes through this, under the lock. Once
// the runner lets the thread go (or is destroyed) the link is cut: the thread then
// never touches the runner or the poster again, which may by then belong to another
// run or be gone.
struct EncoderRunner::Link : EncoderRunObserver {
    Link(EncoderRunner* runner, std::int32_t taskId) : m_runner(runner), m_nTaskId(taskId) {}

    void Cut()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_runner = nullptr;
    }

    void RunStarted() override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_runner != nullptr && !m_runner->m_bQuiet)
            m_runner->m_poster.PostTaskReport(m_nTaskId, REPORT_STATUS, STATUS_CONVERTING);
    }

    void RunPolled() override {}

    void RunProgress(const EncoderProgress& progress) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_runner != nullptr && !m_runner->m_bQuiet)
            m_runner->m_poster.PostTaskReport(m_nTaskId, REPORT_CONVERT_PROGRESS,
                                              PackConvertProgress(progress.percent, progress.secondsLeft));
    }

    // The outcome goes first, so the UI shows it before it reaps the runner and takes
    // the next job; a failure's reason goes right before the failure.
    void RunEnded(const EncoderRunOutcome& outcome) override
    {
        std::int32_t status = STATUS_CONVERSION_FAILED;
        if (outcome.kind == EncoderRunOutcome::Kind::Stopped)
            status = STATUS_STOPPED;
        else if (outcome.kind == EncoderRunOutcome::Kind::Completed)
            status = STATUS_TASK_COMPLETED;
        End(status, status == STATUS_CONVERSION_FAILED ? outcome.why : std::string());
    }

    // A run that could not start its thread, or ended on an exception, still ends: the
    // task fails with the reason and the queue moves on.
    void RunFailed(const std::string& why) { End(STATUS_CONVERSION_FAILED, why); }

    void End(std::int32_t status, const std::string& why)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_ended || m_runner == nullptr || m_runner->m_bQuiet)
            return;
        m_ended = true;
        if (!why.empty())
            m_runner->m_poster.PostTaskDetail(m_nTaskId, why);
        m_runner->m_poster.PostTaskReport(m_nTaskId, REPORT_STATUS, status);
        m_runner->m_poster.PostConvertNext(1);
    }

    std::mutex m_mutex;
    EncoderRunner* m_runner;
    const std::int32_t m_nTaskId;
    bool m_ended = false;
};

EncoderRunner::EncoderRunner(std::string encoderPath, MessagePoster& poster,
                             std::chrono::milliseconds pollInterval, std::chrono::milliseconds reapTimeout)
    : m_evStop(std::make_shared<platform::AutoResetEvent>()),
      m_encoderPath(std::move(encoderPath)),
      m_poster(poster),
      m_pollInterval(pollInterval),
      m_reapTimeout(reapTimeout)
{
}

EncoderRunner::~EncoderRunner()
{
    LetGo();
}

void EncoderRunner::StartRunner(const ConvertJob& job)
{
    // Never two encoders at once, even when a caller starts without reaping first.
    if (m_pThread)
        LetGo();
    m_job = job;
    m_bRunning = true;
    m_bQuiet = false;
    m_evStop->Reset();
    m_link = std::make_shared<Link>(this, m_job.m_nTaskId);
    m_pThread = std::make_unique<platform::WorkerThread>(
        [link = m_link, stop = m_evStop, job = m_job, path = m_encoderPath, poll = m_pollInterval] {
            RunEncoder(job, path, *stop, poll, *link);
        },
        [link = m_link](const std::string& why) { link->RunFailed(why); });
}

int EncoderRunner::ReapRunner()
{
    if (m_pThread) {
        m_pThread->WaitFor(m_reapTimeout);
        LetGo();
    }
    m_bRunning = false;
    return 0;
}

void EncoderRunner::LetGo()
{
    if (m_link) {
        m_link->Cut();
        m_link.reset();
        // A thread still running ends its encoder now, on an event no later run shares.
        m_evStop->Set();
        m_evStop = std::make_shared<platform::AutoResetEvent>();
    }
    m_pThread.reset();  // joins an ended thread; one that still runs keeps its own state
}
