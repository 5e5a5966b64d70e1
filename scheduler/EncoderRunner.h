#pragma once
// Runs one conversion at a time through the external encoder, on a thread of its own,
// and reports to the UI thread: "Converting" when it takes the job, then the outcome,
// then a convert-next message (1) so that the UI reaps it and hands it the next job.

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

#include "convert/ConvertJob.h"
#include "platform/AutoResetEvent.h"
#include "platform/WorkerThread.h"
#include "scheduler/ConversionRunner.h"
#include "tasks/MessagePoster.h"

class EncoderRunner : public ConversionRunner {
public:
    // encoderPath: the encoder the runs start (the programs pass ProgramFolder() +
    // "/ostrand"). poster: where reports go; it must outlive the runner, return at once,
    // and never start or reap the runner from inside a post. pollInterval: how often a run looks at the
    // encoder. reapTimeout: how long ReapRunner waits for the thread.
    EncoderRunner(std::string encoderPath, MessagePoster& poster,
                  std::chrono::milliseconds pollInterval = std::chrono::milliseconds(1000),
                  std::chrono::milliseconds reapTimeout = std::chrono::milliseconds(3000));
    // Lets a run that is still going go, as ReapRunner does after its wait.
    ~EncoderRunner() override;
    EncoderRunner(const EncoderRunner&) = delete;
    EncoderRunner& operator=(const EncoderRunner&) = delete;

    void StartRunner(const ConvertJob& job) override;
    // Waits for the run's thread up to the reap timeout. A thread still running then is
    // let go: its encoder is ended at once and it posts nothing more, so it can neither
    // disturb a later run nor report a job the UI has moved past.
    int ReapRunner() override;
    void StopRunner() override { m_evStop->Set(); }
    void QuietRunner() override { m_bQuiet = true; }
    bool IsRunning() const override { return m_bRunning; }
    const ConvertJob& Job() const override { return m_job; }

    // Written by the UI thread only while no run is in hand; a run takes a copy as it starts.
    ConvertJob m_job;
    // Shared with the current run's thread, so one that is let go still has its own.
    std::shared_ptr<platform::AutoResetEvent> m_evStop;
    std::atomic<bool> m_bQuiet{false};
    bool m_bRunning = false;

private:
    struct Link;

    void LetGo();

    std::string m_encoderPath;
    MessagePoster& m_poster;
    std::chrono::milliseconds m_pollInterval;
    std::chrono::milliseconds m_reapTimeout;
    std::unique_ptr<platform::WorkerThread> m_pThread;
    std::shared_ptr<Link> m_link;  // shared with the current run's thread
};
