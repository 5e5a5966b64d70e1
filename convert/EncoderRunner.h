#pragma once
// Runs one conversion at a time through the external encoder, on a thread of its own,
// and reports to the UI thread: "Converting" when it takes the job, then the outcome,
// then a convert-next message (1) so that the UI reaps it and hands it the next job.

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

#include "platform/AutoResetEvent.h"
#include "platform/WorkerThread.h"
#include "tasks/ConvertJob.h"
#include "tasks/MessagePoster.h"

class EncoderRunner {
public:
    // encoderPath: the encoder the runs start (the programs pass ProgramFolder() +
    // "/ostrand"). poster: where reports go; it must outlive the runner, return at once,
    // and never start or reap the runner from inside a post. pollInterval: how often a run looks at the
    // encoder and the stop request. reapTimeout: how long ReapRunner waits for the thread.
    EncoderRunner(std::string encoderPath, MessagePoster& poster,
                  std::chrono::milliseconds pollInterval = std::chrono::milliseconds(1000),
                  std::chrono::milliseconds reapTimeout = std::chrono::milliseconds(3000));
    // Lets a run that is still going go, as ReapRunner does after its wait.
    ~EncoderRunner();
    EncoderRunner(const EncoderRunner&) = delete;
    EncoderRunner& operator=(const EncoderRunner&) = delete;

    // Starts converting m_job, which the caller has just set. UI thread, only while
    // m_bRunning is false. A stop request left from before is dropped.
    void StartRunner();
    // Ends the runner's part in a run that has finished or was told to stop: waits for
    // its thread up to the reap timeout; returns 0. A thread still running then is let
    // go: it ends its encoder at its next look and posts nothing more, so it can
    // neither disturb a later run nor report a job the UI has moved past.
    int ReapRunner();

    // Written by the UI thread only while no run is in hand; a run takes a copy as it starts.
    ConvertJob m_job;
    // Set by the UI to stop the current run; the run ends its encoder within one poll.
    platform::AutoResetEvent m_evStop;
    // Set by the UI before it stops the run at exit: the run then posts nothing.
    std::atomic<bool> m_bQuiet{false};
    // From StartRunner until ReapRunner; UI thread only.
    bool m_bRunning = false;

private:
    struct Link;

    static void RunEncoder(Link& link, const ConvertJob& job, const std::string& encoderPath,
                           std::chrono::milliseconds pollInterval);
    void LetGo();

    std::string m_csEncoderPath;
    MessagePoster& m_poster;
    std::chrono::milliseconds m_pollInterval;
    std::chrono::milliseconds m_reapTimeout;
    std::unique_ptr<platform::WorkerThread> m_pThread;
    std::shared_ptr<Link> m_link;  // shared with the current run's thread
};
