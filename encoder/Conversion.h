#pragma once
// One run of the encoder, from parsed options to the exit status.

#include <iosfwd>

#include "encoder/EncoderOptions.h"
#include "encoder/ProgressChannel.h"
#include "encoder/StopSignals.h"

enum ExitStatus : int {
    kExitConverted = 0,
    kExitFailed = 1,
    kExitBadArguments = 2,
    kExitToolMissing = 3,
    kExitStoppedBase = 128,  // plus the stop signal's number
};

// Converts with ffmpeg and returns the exit status, reporting on `channel` as it goes
// and on `messages` why it failed. Anything but a finished conversion removes the
// target, so nobody takes a stub for a result.
int RunConversion(const EncoderOptions& options, StopSignals& stops, ProgressChannel& channel,
                  std::ostream& messages);
