#pragma once
// The signals that ask the encoder to stop (SIGTERM, SIGINT, SIGHUP) and SIGCHLD,
// taken out of asynchronous delivery and read from a descriptor instead, so the wait
// for ffmpeg can react to either without handlers or races. SIGPIPE is held back too,
// so a write to a reader that went away fails instead of ending us. Create one before
// the first child starts and keep it until the last one has been reaped.

#include <signal.h>

#include <vector>

class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    int Descriptor() const { return m_fd; }

    // The signal mask the process had before; a child gets it back before exec.
    const sigset_t& OriginalMask() const { return m_original; }

    // Reads every pending signal without waiting; returns the stop signals among them.
    std::vector<int> TakePending();

    // The first stop signal received so far, or 0.
    int StopSignal() const { return m_stopSignal; }

    static bool IsStopSignal(int signal);

private:
    int m_fd = -1;
    sigset_t m_original{};
    int m_stopSignal = 0;
};
