#include "convert/EncoderRun.h"

#include <filesystem>
#include <system_error>

#include "convert/EncoderCommandLine.h"
#include "convert/ProgressReader.h"
#include "platform/AutoResetEvent.h"
#include "platform/Pipe.h"
#include "platform/Process.h"

namespace {

using Clock = std::chrono::steady_clock;

// The encoder's progress channel, as the descriptor number it has in the encoder.
constexpr int kProgressDescriptor = 3;

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

void ReadChannel(platform::Pipe& channel, ProgressReader& reader)
{
    std::string bytes;
    channel.Read(bytes);
    reader.Take(bytes, Clock::now());
}

// Reads the channel until the next poll is due; true when the stop event came first
// (it is consumed then).
bool WaitForNextPoll(platform::Pipe& channel, ProgressReader& reader, platform::AutoResetEvent& stop,
                     std::chrono::milliseconds pollInterval)
{
    const auto pollAt = Clock::now() + pollInterval;
    for (;;) {
        const auto now = Clock::now();
        reader.Tick(now);
        if (now >= pollAt)
            return false;
        auto until = pollAt;
        if (const auto due = reader.NextDue(); due && *due < until)
            until = *due;
        switch (channel.Wait(&stop, std::chrono::ceil<std::chrono::milliseconds>(until - now))) {
        case platform::Pipe::Wake::Event:
            if (stop.TryWait())
                return true;
            break;
        case platform::Pipe::Wake::Input:
            ReadChannel(channel, reader);
            break;
        case platform::Pipe::Wake::TimeUp:
            break;
        }
    }
}

EncoderRunOutcome Run(const ConvertJob& job, const std::string& encoderPath, platform::AutoResetEvent& stop,
                      std::chrono::milliseconds pollInterval, EncoderRunObserver& observer)
{
    using Kind = EncoderRunOutcome::Kind;
    if (SameFile(job.m_csSourceFile, job.m_csTargetFile))
        return {Kind::Failed, "the source and the target are one file"};
    platform::Pipe channel;
    platform::Process encoder;
    std::string why;
    if (!channel.Open(&why) || !encoder.Start(BuildEncoderArguments(job, encoderPath, kProgressDescriptor),
                                              &why, {{channel.WriteEnd(), kProgressDescriptor}}))
        return {Kind::Failed, why};
    channel.CloseWriteEnd();
    ProgressReader reader(observer);
    for (;;) {
        observer.RunPolled();
        // Tested before the end: a stop given while the encoder was finishing counts.
        if (stop.TryWait())
            break;
        if (encoder.HasEnded()) {
            // Whatever it wrote before it ended is there to read now.
            ReadChannel(channel, reader);
            reader.Flush();
            if (encoder.Exit()->Succeeded())
                return {Kind::Completed, {}};
            if (!reader.FailedReason().empty())
                return {Kind::Failed, reader.FailedReason()};
            return {Kind::Failed, ExitText(*encoder.Exit())};
        }
        if (WaitForNextPoll(channel, reader, stop, pollInterval))
            break;
    }
    encoder.Kill();
    reader.Flush();
    return {Kind::Stopped, {}};
}

}  // namespace

void RunEncoder(const ConvertJob& job, const std::string& encoderPath, platform::AutoResetEvent& stop,
                std::chrono::milliseconds pollInterval, EncoderRunObserver& observer)
{
    observer.RunStarted();
    observer.RunEnded(Run(job, encoderPath, stop, pollInterval, observer));
}
