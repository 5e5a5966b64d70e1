#pragma once
// Asks ffprobe what the source holds: whether it has picture and sound, and the frame
// size of its picture.

#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "encoder/ArgumentTranslation.h"
#include "encoder/StopSignals.h"

struct ProbeError {
    std::string message;
};

// ffprobe's stream list in its compact form, one stream a line
// ("codec_type=video|width=320|height=240"). The first video stream gives the size.
SourceInfo ParseProbeOutput(std::string_view text);

// An FLV file announces in its header whether it has picture and sound. Only an
// announcement of both is taken (the frame size stays unknown): believing a missing
// stream could throw real sound away, so that case is left to ffprobe.
std::optional<SourceInfo> SourceInfoFromFlvHeader(std::string_view head);
std::optional<SourceInfo> ReadFlvHeader(const std::string& sourcePath);

std::variant<SourceInfo, ProbeError> ProbeSource(const std::string& ffprobePath,
                                                 const std::string& sourcePath, StopSignals& stops);
