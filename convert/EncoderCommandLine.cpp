#include "convert/EncoderCommandLine.h"

#include <utility>

namespace {

// The options in the encoder's order, which is not the job's field order: size after
// the codec, sample rate before the audio bit rate.
std::vector<std::string> OptionArguments(const ConvertJob& job)
{
    std::vector<std::string> args;
    if (job.m_csTargetName == kPspProfileName) {
        args.emplace_back("-f");
        args.emplace_back("psp");
    }
    auto add = [&args](const char* flag, const std::string& value, const char* suffix) {
        if (value == "Auto")
            return;
        args.emplace_back(flag);
        args.push_back(value + suffix);
    };
    add("-vcodec", job.m_csVideoCodec, "");
    add("-s", job.m_csVideoSize, "");
    add("-b", job.m_csVideoBitRate, "k");
    add("-acodec", job.m_csAudioCodec, "");
    add("-ar", job.m_csAudioSampleRate, "");
    add("-ab", job.m_csAudioBitRate, "k");
    add("-ac", job.m_csAudioChannel, "");
    return args;
}

}  // namespace

std::string BuildEncoderCommandLine(const ConvertJob& job)
{
    std::string line(kEncoderDisplayPath);
    line += " converter.exe -i \"";
    line += job.m_csSourceFile;
    line += "\" ";
    for (const std::string& arg : OptionArguments(job)) {
        line += arg;
        line += ' ';
    }
    line += '"';
    line += job.m_csTargetFile;
    line += "\" ";
    return line;
}

std::vector<std::string> BuildEncoderArguments(const ConvertJob& job, std::string_view encoderPath,
                                               std::optional<int> progressFd)
{
    std::vector<std::string> args;
    args.emplace_back(encoderPath);
    args.emplace_back("converter.exe");
    args.emplace_back("-i");
    args.push_back(job.m_csSourceFile);
    for (std::string& arg : OptionArguments(job))
        args.push_back(std::move(arg));
    if (progressFd) {
        args.emplace_back("-progress-fd");
        args.push_back(std::to_string(*progressFd));
    }
    args.push_back(job.m_csTargetFile);
    return args;
}
