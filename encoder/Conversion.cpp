#include "encoder/Conversion.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <ostream>

#include "encoder/ArgumentTranslation.h"
#include "encoder/ChildProcess.h"
#include "encoder/FailureReason.h"
#include "encoder/FfmpegProgress.h"
#include "encoder/FlvHead.h"
#include "encoder/ProgramLookup.h"
#include "encoder/SourceProbe.h"

namespace {

// Enough of ffmpeg's errors to find the reason in; it writes little at level "error".
constexpr std::size_t kErrorsKept = 64 * 1024;

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

bool IsMissing(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) != 0 && (errno == ENOENT || errno == ENOTDIR);
}

// A shared lock on the source for the whole run: a download holds its file
// exclusively, so none can cut the source while it is converted, and a file that is
// still being downloaded is not taken for a whole one.
class SourceLock {
public:
    explicit SourceLock(const std::string& path) : m_fd(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~SourceLock()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    SourceLock(const SourceLock&) = delete;
    SourceLock& operator=(const SourceLock&) = delete;

    // False only when a download holds the file; a source that cannot be opened or
    // locked here is left to ffmpeg.
    bool Take() { return m_fd < 0 || flock(m_fd, LOCK_SH | LOCK_NB) == 0 || errno != EWOULDBLOCK; }

private:
    int m_fd;
};

// Only a regular file is ours to remove: a target such as /dev/null stays.
void RemovePartialTarget(const std::string& target)
{
    struct stat info {};
    if (lstat(target.c_str(), &info) == 0 && S_ISREG(info.st_mode))
        unlink(target.c_str());
}

// What the probe could not tell stays as the FLV head had it.
SourceInfo Merged(SourceInfo probed, const SourceInfo& head)
{
    if (probed.videoSize == FrameSize{})
        probed.videoSize = head.videoSize;
    if (probed.duration <= 0)
        probed.duration = head.duration;
    return probed;
}

}  // namespace

int RunConversion(const EncoderOptions& options, StopSignals& stops, ProgressChannel& channel,
                  std::ostream& messages)
{
    const std::string folder = CurrentFolder();
    const std::string source = FilePathForFfmpeg(options.source, folder);
    const std::string target = FilePathForFfmpeg(options.target, folder);
    if (SameFile(source, target)) {
        messages << "ostrand: the target is the source file itself; nothing was changed\n";
        channel.Failed("the target is the source file itself");
        return kExitBadArguments;
    }

    // Anything but a finished conversion removes the target, so nobody takes a stub for a result.
    auto fail = [&](int status, const std::string& reason, const std::string& detail = {}) {
        RemovePartialTarget(target);
        messages << "ostrand: " << reason << detail << "\n";
        channel.Failed(reason);
        return status;
    };
    auto stopped = [&]() {
        RemovePartialTarget(target);
        channel.Stopped();
        return kExitStoppedBase + stops.StopSignal();
    };

    if (IsMissing(source))
        return fail(kExitFailed, "source not found", ": " + options.source);
    SourceLock sourceLock(source);
    if (!sourceLock.Take())
        return fail(kExitFailed, "the source is still being downloaded", ": " + options.source);
    const std::string searchPath = ProgramSearchPath();
    auto ffmpeg = FindProgram("ffmpeg", searchPath);
    if (!ffmpeg)
        return fail(kExitToolMissing, "cannot find the ffmpeg program on the PATH",
                    " (Debian package \"ffmpeg\")");

    // An FLV tells most of what is needed in its first bytes; ffprobe, a second
    // program to start, is asked only for what is still open.
    const SourceInfo head = ReadFlvHead(source).value_or(SourceInfo{});
    TranslationInput input{options, source, target, head};
    if (LeavesOpen(head, SourceNeedsOf(options))) {
        auto ffprobe = FindProgram("ffprobe", searchPath);
        if (!ffprobe) {
            return fail(kExitToolMissing, "cannot find the ffprobe program on the PATH",
                        " (Debian package \"ffmpeg\")");
        }
        auto probed = ProbeSource(*ffprobe, source, stops);
        stops.TakePending();
        if (stops.StopSignal() != 0)
            return stopped();
        if (auto* error = std::get_if<ProbeError>(&probed))
            return fail(kExitFailed, error->message);
        input.source = Merged(std::get<SourceInfo>(probed), head);
    }
    stops.TakePending();
    if (stops.StopSignal() != 0)
        return stopped();

    std::vector<std::string> argv = TranslateArguments(input);
    argv.insert(argv.begin(), *ffmpeg);
    std::string errors;
    FfmpegProgress progress;
    ChildOptions child;
    // Passed on as it comes, and kept for the one-line reason.
    child.onError = [&](std::string_view chunk) {
        errors.append(chunk.substr(0, kErrorsKept - std::min(kErrorsKept, errors.size())));
        messages.write(chunk.data(), static_cast<std::streamsize>(chunk.size())).flush();
    };
    if (options.progressFd) {
        child.onOutput = [&](std::string_view chunk) {
            if (auto position = progress.Feed(chunk))
                channel.Position(*position, ProgressChannel::Clock::now());
        };
    }
    channel.Start(input.source.duration, ProgressChannel::Clock::now());
    ChildOutcome outcome = ChildProcess::Run(argv, stops, child);
    if (stops.StopSignal() != 0)
        return stopped();

    switch (outcome.kind) {
    case ChildOutcome::Kind::NotStarted:
        return fail(kExitToolMissing, "cannot start " + *ffmpeg + ": " + outcome.startError);
    case ChildOutcome::Kind::Signalled:
        return fail(kExitFailed, "ffmpeg was ended by signal " + std::to_string(outcome.code),
                    "; the target was removed");
    case ChildOutcome::Kind::TimedOut:
    case ChildOutcome::Kind::Exited:
        break;
    }
    if (outcome.Succeeded() && !ReportsLostOutput(errors)) {
        channel.Done();
        return kExitConverted;
    }
    const std::string status = "ffmpeg exit status " + std::to_string(outcome.code);
    std::string reason = ReasonFromFfmpegErrors(errors);
    return fail(kExitFailed, reason.empty() ? status : reason,
                reason.empty() ? "; the target was removed" : " (" + status + "); the target was removed");
}
