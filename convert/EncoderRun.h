#pragma once
// One run of the external encoder for one job, on the calling thread: start it, look
// at it once per poll interval, read its progress channel in between while waiting on
// the stop event, and tell an observer what happens. Tavolin's runner and Pellux's run
// both go through here.

#include <chrono>
#include <string>

#include "convert/ConvertJob.h"
#include "convert/EncoderProgress.h"

namespace platform {
class AutoResetEvent;
}

// How a run ended. A run that cannot start, fails, or is ended by anyone but the stop
// event is no success.
struct EncoderRunOutcome {
    enum class Kind { Stopped, Completed, Failed };

    Kind kind = Kind::Failed;
    // Failed only: what went wrong, as far as it is known; the encoder's own reason when
    // it gave one
    std::string why;

    bool operator==(const EncoderRunOutcome&) const = default;
};

// Called on the run's thread; every call returns at once.
class EncoderRunObserver {
public:
    virtual ~EncoderRunObserver() = default;
    // Before the encoder is started.
    virtual void RunStarted() = 0;
    // Once per poll interval while the encoder works, the first time as soon as it has started.
    virtual void RunPolled() = 0;
    // When the encoder tells how far it has got, at most four times a second; the last
    // figures it told arrive before RunEnded.
    virtual void RunProgress(const EncoderProgress& progress) = 0;
    // Last call of every run.
    virtual void RunEnded(const EncoderRunOutcome& outcome) = 0;
};

// Converts `job` with the encoder at `encoderPath`. A signal of `stop` ends the encoder
// at once, also one given before the encoder started or while it was finishing; the
// partly written target stays, a restart overwrites it. A job whose source and target
// are one file fails without starting the encoder, which would overwrite its own input.
void RunEncoder(const ConvertJob& job, const std::string& encoderPath, platform::AutoResetEvent& stop,
                std::chrono::milliseconds pollInterval, EncoderRunObserver& observer);
