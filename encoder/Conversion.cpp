#include "encoder/Conversion.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <ostream>

#include "encoder/ArgumentTranslation.h"
#include "encoder/ChildProcess.h"
#include "encoder/EncoderList.h"
#include "encoder/ProgramLookup.h"
#include "encoder/SourceProbe.h"

namespace {

constexpr const char* kAmrEncoder = "libopencore_amrnb";

std::string CurrentFolder()
{
    std::error_code error;
    auto folder = std::filesystem::current_path(error);
    return error ? std::string() : folder.string();
}

bool SameFile(const std::string& a, const std::string& b)
{
    struct stat sa {
    }, sb{};
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

// Only a regular file is ours to remove: a target such as /dev/null stays.
void RemovePartialTarget(const std::string& target)
{
    struct stat info {};
    if (lstat(target.c_str(), &info) == 0 && S_ISREG(info.st_mode))
        unlink(target.c_str());
}

}  // namespace

int RunConversion(const EncoderOptions& options, StopSignals& stops, std::ostream& messages)
{
    const std::string folder = CurrentFolder();
    const std::string source = FilePathForFfmpeg(options.source, folder);
    const std::string target = FilePathForFfmpeg(options.target, folder);
    if (SameFile(source, target)) {
        messages << "ostrand: the target is the source file itself; nothing was changed\n";
        return kExitBadArguments;
    }

    auto fail = [&](int status) {
        RemovePartialTarget(target);
        return status;
    };
    auto stopped = [&]() { return fail(kExitStoppedBase + stops.StopSignal()); };

    const std::string searchPath = ProgramSearchPath();
    auto ffmpeg = FindProgram("ffmpeg", searchPath);
    if (!ffmpeg) {
        messages << "ostrand: cannot find the ffmpeg program on the PATH (Debian package \"ffmpeg\")\n";
        return fail(kExitToolMissing);
    }

    TranslationInput input{options, source, target, std::nullopt, true};
    // The PSP only needs to know whether there is sound; an FLV header that announces
    // it saves starting ffprobe.
    if (ContainerFor(options) == Container::Psp)
        input.source = ReadFlvHeader(source);
    if (NeedsSourceProbe(options) && !input.source) {
        auto ffprobe = FindProgram("ffprobe", searchPath);
        if (!ffprobe) {
            messages << "ostrand: cannot find the ffprobe program on the PATH (Debian package \"ffmpeg\")\n";
            return fail(kExitToolMissing);
        }
        auto probed = ProbeSource(*ffprobe, source, stops);
        stops.TakePending();
        if (stops.StopSignal() != 0)
            return stopped();
        if (auto* error = std::get_if<ProbeError>(&probed)) {
            messages << "ostrand: " << error->message << "\n";
            return fail(kExitFailed);
        }
        input.source = std::get<SourceInfo>(probed);
    }
    if (NeedsAmrCheck(options)) {
        auto encoders = QueryEncoders(*ffmpeg, stops);
        input.hasAmrEncoder = std::find(encoders.begin(), encoders.end(), kAmrEncoder) != encoders.end();
    }
    stops.TakePending();
    if (stops.StopSignal() != 0)
        return stopped();

    std::vector<std::string> argv = TranslateArguments(input);
    argv.insert(argv.begin(), *ffmpeg);
    ChildOutcome outcome = ChildProcess::Run(argv, stops, ChildOptions{});
    if (stops.StopSignal() != 0)
        return stopped();

    switch (outcome.kind) {
    case ChildOutcome::Kind::NotStarted:
        messages << "ostrand: cannot start " << *ffmpeg << ": " << outcome.startError << "\n";
        return fail(kExitToolMissing);
    case ChildOutcome::Kind::Signalled:
        messages << "ostrand: ffmpeg was ended by signal " << outcome.code << "; the target was removed\n";
        return fail(kExitFailed);
    case ChildOutcome::Kind::TimedOut:
    case ChildOutcome::Kind::Exited:
        if (outcome.Succeeded())
            return kExitConverted;
        messages << "ostrand: the conversion failed (ffmpeg exit status " << outcome.code
                 << "); the target was removed\n";
        return fail(kExitFailed);
    }
    return fail(kExitFailed);
}
