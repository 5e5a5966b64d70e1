#pragma once
#include "convert/ConvertJob.h"

// What the scheduler does with the one runner that converts finished downloads. UI
// thread only; the runner reports through the workers' mailbox.
class ConversionRunner {
public:
    virtual ~ConversionRunner() = default;

    // Starts converting `job`; only while IsRunning is false. A stop request left from
    // before is dropped.
    virtual void StartRunner(const ConvertJob& job) = 0;
    // Ends the runner's part in a run that has finished or was told to stop; returns 0.
    virtual int ReapRunner() = 0;
    // Asks the current run to end its encoder.
    virtual void StopRunner() = 0;
    // From now on the current run posts nothing; set at exit, before the stop.
    virtual void QuietRunner() = 0;
    // From StartRunner until ReapRunner.
    virtual bool IsRunning() const = 0;
    // The current or last run's job, kept after the run; blank before the first.
    virtual const ConvertJob& Job() const = 0;
};
