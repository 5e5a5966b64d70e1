#pragma once
// Asks ffprobe what the source holds: whether it has picture and sound, the frame size
// of its picture, and how long it lasts.

#include <chrono>
#include <string>
#include <string_view>
#include <variant>

#include "encoder/ArgumentTranslation.h"
#include "encoder/StopSignals.h"

struct ProbeError {
    std::string message;
};

// ffprobe's stream list in its compact form, one stream a line
// ("codec_type=video|width=320|height=240"), and the format's "duration=12.5". The
// first video stream gives the size.
SourceInfo ParseProbeOutput(std::string_view text);

// A source that ffprobe cannot read within this time is one ffmpeg cannot read either.
inline constexpr std::chrono::milliseconds kProbeTimeLimit{60000};

std::variant<SourceInfo, ProbeError> ProbeSource(const std::string& ffprobePath,
                                                 const std::string& sourcePath, StopSignals& stops,
                                                 std::chrono::milliseconds timeLimit = kProbeTimeLimit);
