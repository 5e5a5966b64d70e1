#include "encoder/FailureReason.h"

#include "encoder/TextCuts.h"
#include "platform/Text.h"

namespace {

constexpr std::string_view kUnknownEncoder = "Unknown encoder '";
constexpr std::size_t kLongestReason = 300;

// "[mp4 @ 0x55d0c1a0] Could not ..." names the part of ffmpeg and its address.
std::string_view WithoutContext(std::string_view line)
{
    if (line.starts_with('[')) {
        const auto close = line.find("] ");
        if (close != std::string_view::npos && line.substr(0, close).find(" @ ") != std::string_view::npos)
            return platform::TrimWhiteSpace(line.substr(close + 2));
    }
    return line;
}

}  // namespace

std::string MissingEncoderReason(std::string_view encoder)
{
    if (encoder == "libopencore_amrnb")
        return "needs AMR-NB support";
    return "needs the " + std::string(encoder) + " encoder";
}

std::string MissingMuxerReason(std::string_view muxer)
{
    return "needs the " + std::string(muxer) + " muxer";
}

std::string ReasonFromFfmpegErrors(std::string_view errors)
{
    if (errors.find("No space left on device") != std::string_view::npos)
        return "disk full";
    if (const auto at = errors.find(kUnknownEncoder); at != std::string_view::npos) {
        std::string_view name = errors.substr(at + kUnknownEncoder.size());
        const auto end = name.find('\'');
        if (end != std::string_view::npos && end > 0)
            return MissingEncoderReason(name.substr(0, end));
    }
    while (!errors.empty()) {
        const std::string_view line = WithoutContext(platform::TrimWhiteSpace(TakeLine(errors)));
        if (!line.empty())
            return std::string(line.substr(0, kLongestReason));
    }
    return {};
}

bool ReportsLostOutput(std::string_view errors)
{
    for (std::string_view sign : {"Error writing trailer", "Error closing file", "No space left on device"}) {
        if (errors.find(sign) != std::string_view::npos)
            return true;
    }
    return false;
}
