#include "convert/EncoderRun.h"

#include <filesystem>
#include <system_error>

#include "convert/EncoderCommandLine.h"
#include "platform/AutoResetEvent.h"
#include "platform/Process.h"

namespace {

// The FLV entry converts nothing, so its target is the download itself.
bool SameFile(const std::string& source, const std::string& target)
{
    if (source == target)
        return true;
    std::error_code ec;
    return std::filesystem::equivalent(source, target, ec) && !ec;
}

std::string ExitText(const platform::ProcessExit& exit)
{
    if (exit.signal != 0)
        return "the encoder was ended by signal " + std::to_string(exit.signal);
    return "the encoder exited with status " + std::to_string(exit.code);
}

EncoderRunOutcome Run(const ConvertJob& job, const std::string& encoderPath, platform::AutoResetEvent& stop,
                      std::chrono::milliseconds pollInterval, EncoderRunObserver& observer)
{
    using Kind = EncoderRunOutcome::Kind;
    if (SameFile(job.m_csSourceFile, job.m_csTargetFile))
        return {Kind::Failed, "the source and the target are one file"};
    platform::Process encoder;
    std::string why;
    if (!encoder.Start(BuildEncoderArguments(job, encoderPath), &why))
        return {Kind::Failed, why};
    for (;;) {
        observer.RunPolled();
        // Tested before the end: a stop given while the encoder was finishing counts.
        if (stop.TryWait())
            break;
        if (encoder.HasEnded()) {
            if (encoder.Exit()->Succeeded())
                return {Kind::Completed, {}};
            return {Kind::Failed, ExitText(*encoder.Exit())};
        }
        // Waiting on the event rather than sleeping lets a stop act at once.
        if (stop.Wait(pollInterval))
            break;
    }
    encoder.Kill();
    return {Kind::Stopped, {}};
}

}  // namespace

void RunEncoder(const ConvertJob& job, const std::string& encoderPath, platform::AutoResetEvent& stop,
                std::chrono::milliseconds pollInterval, EncoderRunObserver& observer)
{
    observer.RunStarted();
    observer.RunEnded(Run(job, encoderPath, stop, pollInterval, observer));
}
