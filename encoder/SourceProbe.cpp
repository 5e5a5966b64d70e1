#include "encoder/SourceProbe.h"

#include <charconv>
#include <chrono>
#include <fstream>

#include "encoder/ChildProcess.h"

namespace {

int ToInt(std::string_view text)
{
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && value > 0 ? value : 0;
}

// A source that ffprobe cannot read within this time is one ffmpeg cannot read either.
constexpr std::chrono::seconds kProbeTimeLimit{60};

}  // namespace

SourceInfo ParseProbeOutput(std::string_view text)
{
    SourceInfo info;
    while (!text.empty()) {
        auto newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);

        std::string_view type;
        int width = 0;
        int height = 0;
        while (!line.empty()) {
            auto bar = line.find('|');
            std::string_view field = line.substr(0, bar);
            line.remove_prefix(bar == std::string_view::npos ? line.size() : bar + 1);
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

std::optional<SourceInfo> SourceInfoFromFlvHeader(std::string_view head)
{
    constexpr unsigned char kAudio = 0x04;
    constexpr unsigned char kVideo = 0x01;
    if (head.size() < 5 || head.substr(0, 3) != "FLV")
        return std::nullopt;
    const auto flags = static_cast<unsigned char>(head[4]);
    if ((flags & kAudio) == 0 || (flags & kVideo) == 0)
        return std::nullopt;
    return SourceInfo{true, {0, 0}, true};
}

std::optional<SourceInfo> ReadFlvHeader(const std::string& sourcePath)
{
    std::ifstream in(sourcePath, std::ios::binary);
    char head[9] = {};
    in.read(head, sizeof head);
    return SourceInfoFromFlvHeader(std::string_view(head, static_cast<std::size_t>(in.gcount())));
}

std::variant<SourceInfo, ProbeError> ProbeSource(const std::string& ffprobePath,
                                                 const std::string& sourcePath, StopSignals& stops)
{
    ChildOptions options;
    options.captureOutput = true;
    options.timeLimit = kProbeTimeLimit;
    ChildOutcome outcome =
        ChildProcess::Run({ffprobePath, "-v", "error", "-show_entries", "stream=codec_type,width,height",
                           "-of", "compact=p=0:nk=0", "-i", sourcePath},
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
