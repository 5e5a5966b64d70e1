#include "convert/EncoderRunner.h"

#include <filesystem>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "convert/EncoderCommandLine.h"
#include "platform/Process.h"
#include "tasks/TaskReport.h"

// Everything a run's thread touches of its runner goes through this, under the lock.
// Once the runner lets the thread go (or is destroyed) the link is cut: the thread then
// counts itself stopped and silent, and never touches the runner, its stop event or the
// poster again, which may by then belong to another run or be gone.
struct EncoderRunner::Link {
    explicit Link(EncoderRunner* runner) : m_pRunner(runner) {}

    void Cut()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pRunner = nullptr;
    }

    bool TestStop()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_pRunner == nullptr || m_pRunner->m_evStop.TryWait();
    }

    void PostStatus(std::int32_t taskId, std::int32_t status)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_pRunner != nullptr && !m_pRunner->m_bQuiet)
            m_pRunner->m_poster.PostTaskReport(taskId, REPORT_STATUS, status);
    }

    // The outcome goes first, so the UI shows it before it reaps the runner and takes
    // the next job.
    void PostFinal(std::int32_t taskId, std::int32_t status)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_pRunner == nullptr || m_pRunner->m_bQuiet)
            return;
        m_pRunner->m_poster.PostTaskReport(taskId, REPORT_STATUS, status);
        m_pRunner->m_poster.PostConvertNext(1);
    }

    std::mutex m_mutex;
    EncoderRunner* m_pRunner;
};

namespace {

// A job whose source and target name one file (the FLV entry's, which converts
// nothing) would have the encoder overwrite the very download it reads.
bool SameFile(const std::string& source, const std::string& target)
{
    if (source == target)
        return true;
    std::error_code ec;
    return std::filesystem::equivalent(source, target, ec) && !ec;
}

}  // namespace

EncoderRunner::EncoderRunner(std::string encoderPath, MessagePoster& poster,
                             std::chrono::milliseconds pollInterval, std::chrono::milliseconds reapTimeout)
    : m_csEncoderPath(std::move(encoderPath)),
      m_poster(poster),
      m_pollInterval(pollInterval),
      m_reapTimeout(reapTimeout)
{
}

EncoderRunner::~EncoderRunner()
{
    LetGo();
}

void EncoderRunner::StartRunner()
{
    // Never two encoders at once, even when a caller starts without reaping first.
    if (m_pThread)
        LetGo();
    m_bRunning = true;
    m_bQuiet = false;
    m_evStop.Reset();
    m_link = std::make_shared<Link>(this);
    m_pThread = std::make_unique<platform::WorkerThread>(
        [link = m_link, job = m_job, path = m_csEncoderPath, poll = m_pollInterval] {
            RunEncoder(*link, job, path, poll);
        });
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
    }
    m_pThread.reset();  // joins an ended thread; one that still runs keeps its own state
}

void EncoderRunner::RunEncoder(Link& link, const ConvertJob& job, const std::string& encoderPath,
                               std::chrono::milliseconds pollInterval)
{
    link.PostStatus(job.m_nTaskId, STATUS_CONVERTING);

    // A run that cannot start, fails, or is ended by anyone but us is no success.
    std::int32_t outcome = STATUS_CONVERSION_FAILED;
    platform::Process encoder;
    if (!SameFile(job.m_csSourceFile, job.m_csTargetFile) &&
        encoder.Start(BuildEncoderArguments(job, encoderPath))) {
        bool stopped = false;
        // A stop that came before the encoder started ends it before any wait.
        if (link.TestStop()) {
            encoder.Kill();
            stopped = true;
        }
        // The stop test follows the sleep: a stop made while the encoder was finishing
        // within the same interval still counts.
        while (!stopped && !encoder.HasEnded()) {
            std::this_thread::sleep_for(pollInterval);
            if (link.TestStop()) {
                encoder.Kill();
                stopped = true;
            }
        }
        if (stopped)
            outcome = STATUS_STOPPED;
        else if (encoder.Exit() && encoder.Exit()->Succeeded())
            outcome = STATUS_TASK_COMPLETED;
    }
    link.PostFinal(job.m_nTaskId, outcome);
}
