#include "encoder/SourceProbe.h"

#include <charconv>
#include <chrono>
#include <cmath>

#include "encoder/ChildProcess.h"
#include "encoder/TextCuts.h"

namespace {

int ToInt(std::string_view text)
{
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && value > 0 ? value : 0;
}

double ToSeconds(std::string_view text)
{
    double value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && std::isfinite(value) && value > 0 ? value
                                                                                                      : 0;
}

}  // namespace

SourceInfo ParseProbeOutput(std::string_view text)
{
    SourceInfo info;
    info.streamsKnown = true;
    while (!text.empty()) {
        std::string_view line = TakeLine(text);
        std::string_view type;
        int width = 0;
        int height = 0;
        while (!line.empty()) {
            std::string_view field = TakeUntil(line, '|');
            auto equals = field.find('=');
            if (equals == std::string_view::npos)
                continue;
            std::string_view key = field.substr(0, equals);
            std::string_view value = field.substr(equals + 1);
            if (key == "codec_type")
                type = value;
            else if (key == "width")
                width = ToInt(value);
            else if (key == "height")
                height = ToInt(value);
            else if (key == "duration")
                info.duration = ToSeconds(value);
        }
        if (type == "video" && !info.hasVideo) {
            info.hasVideo = true;
            info.videoSize = {width, height};
        } else if (type == "audio") {
            info.hasAudio = true;
        }
    }
    return info;
}

std::variant<SourceInfo, ProbeError> ProbeSource(const std::string& ffprobePath,
                                                 const std::string& sourcePath, StopSignals& stops,
                                                 std::chrono::milliseconds timeLimit)
{
    ChildOptions options;
    options.captureOutput = true;
    options.timeLimit = timeLimit;
    ChildOutcome outcome = ChildProcess::Run(
        {ffprobePath, "-v", "error", "-show_entries", "stream=codec_type,width,height:format=duration", "-of",
         "compact=p=0:nk=0", "-i", sourcePath},
        stops, options);
    switch (outcome.kind) {
    case ChildOutcome::Kind::NotStarted:
        return ProbeError{"cannot start " + ffprobePath + ": " + outcome.startError};
    case ChildOutcome::Kind::TimedOut:
        return ProbeError{"reading the source took too long"};
    case ChildOutcome::Kind::Signalled:
        return ProbeError{"ffprobe ended by signal " + std::to_string(outcome.code)};
    case ChildOutcome::Kind::Exited:
        if (outcome.code != 0)
            return ProbeError{"cannot read the source " + sourcePath};
        break;
    }
    return ParseProbeOutput(outcome.output);
}
