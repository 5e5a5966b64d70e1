// tavolin-fetch: runs one download task with the same worker as Tavolin and prints
// its reports, for scripting and for measuring.

#include <signal.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "fetch/DownloadWorker.h"
#include "fetch/FileErrorPrompt.h"
#include "fetch/ServiceConfig.h"
#include "fetch/TaskOperations.h"
#include "platform/CommandLine.h"
#include "tasks/ReportQueue.h"
#include "tasks/Task.h"
#include "tasks/TaskReport.h"

namespace {

constexpr int kExitCompleted = 0;
constexpr int kExitFailed = 1;
constexpr int kExitStopped = 2;
constexpr int kExitUsage = 64;

constexpr std::chrono::milliseconds kDrainInterval{50};

constexpr const char* kUsage =
    "Usage: tavolin-fetch [OPTION]... ADDRESS OUTPUT_FILE\n"
    "Downloads one video into OUTPUT_FILE with the same download worker as Tavolin, and\n"
    "prints every report as a line \"CODE VALUE TEXT\"; why a download failed goes to\n"
    "standard error. ADDRESS is a watch-page address of the video service or the http or\n"
    "https address of a video file itself. For scripts and for measuring: no window, no\n"
    "task list, no conversion.\n"
    "\n"
    "Options:\n"
    "  --service-host HOST[:PORT]  the video service's web host, instead of SERVICE_HOST of\n"
    "                              settings.ini (default www.youtube.com)\n"
    "  --cdn-domain DOMAIN         the domain video files come from, instead of CDN_DOMAIN of\n"
    "                              settings.ini (default .googlevideo.com)\n"
    "  --continue                  continue a partial OUTPUT_FILE instead of starting it over:\n"
    "                              the request asks for the rest from the file's last byte on\n"
    "                              (that byte once more, so a complete file is confirmed), and\n"
    "                              only an answer with exactly that range continues the file,\n"
    "                              its total taken as the size; any other answer starts over\n"
    "  --retries N                 try a download that failed for a passing reason (no\n"
    "                              connection, a reset, a stall, 5xx, 408, 429) up to N more\n"
    "                              times, continuing the file, after 1, 2, 4, ... seconds or\n"
    "                              the service's Retry-After (default 0)\n"
    "  -h, --help                  print this help and exit\n"
    "      --version               print the version and exit\n"
    "\n"
    "Exit status:\n"
    "  0 the download completed, 1 it failed, 2 it was stopped by SIGINT or SIGTERM,\n"
    "  64 the command line was wrong\n"
    "\n"
    "Examples:\n"
    "  $ tavolin-fetch 'http://www.youtube.com/watch?v=VIDEO_ID' clip.flv\n"
    "  $ tavolin-fetch --continue --retries 5 https://example.com/talk.mp4 talk.mp4\n"
    "\n"
    "Files:\n"
    "  $XDG_DATA_HOME/Tavolin Data/settings.ini (~/.local/share/Tavolin Data/settings.ini)\n"
    "      Tavolin's settings, read for SERVICE_HOST and CDN_DOMAIN when present\n";

volatile std::sig_atomic_t g_stopSignal = 0;

void OnStopSignal(int)
{
    g_stopSignal = 1;
}

struct Arguments {
    std::optional<std::string> serviceHost;
    std::optional<std::string> cdnDomain;
    std::optional<std::string> retries;
    bool continuePartial = false;
    std::vector<std::string> positional;
};

std::optional<int> ParseRetries(const std::string& text)
{
    if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const int retries = std::stoi(text);
    return retries <= kMostRetries ? std::optional<int>(retries) : std::nullopt;
}

// Accepts "--name value" and "--name=value"; "--" ends the options.
bool ParseArguments(int argc, char** argv, Arguments& out, std::string& error)
{
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (optionsEnded || !arg.starts_with("-") || arg == "-") {
            out.positional.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--continue") {
            out.continuePartial = true;
            continue;
        }
        std::optional<std::string>* target = nullptr;
        std::string_view name = arg;
        std::optional<std::string> inlineValue;
        if (const auto eq = arg.find('='); eq != std::string_view::npos) {
            name = arg.substr(0, eq);
            inlineValue = std::string(arg.substr(eq + 1));
        }
        if (name == "--service-host")
            target = &out.serviceHost;
        else if (name == "--cdn-domain")
            target = &out.cdnDomain;
        else if (name == "--retries")
            target = &out.retries;
        if (!target) {
            error = "unknown option " + std::string(arg);
            return false;
        }
        if (inlineValue) {
            *target = *inlineValue;
        } else if (i + 1 < argc) {
            *target = argv[++i];
        } else {
            error = std::string(name) + " needs a value";
            return false;
        }
        if (target == &out.retries ? !ParseRetries(**target) : !ServiceConfig::IsUsableHost(**target)) {
            error = "unusable value for " + std::string(name) + ": \"" + **target + "\"";
            return false;
        }
    }
    if (out.positional.size() != 2) {
        error = "expected an address and an output file";
        return false;
    }
    return true;
}

bool FolderExists(const std::string& path)
{
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

// The run's service: settings.ini of the data folder, when there is one, under the
// command line's options.
ServiceConfig ChooseServiceConfig(const Arguments& args)
{
    ServiceConfig config;
    if (!args.serviceHost || !args.cdnDomain) {
        const std::string folder = DataFolderPath();
        if (FolderExists(folder))
            config = ServiceConfig::Load(folder + "/settings.ini");
    }
    if (args.serviceHost)
        config.serviceHost = *args.serviceHost;
    if (args.cdnDomain)
        config.cdnDomain = *args.cdnDomain;
    return config;
}

class StandardErrorPrompt : public FileErrorPrompt {
public:
    void ShowFileError(const std::string& message) override { std::fprintf(stderr, "%s\n", message.c_str()); }
};

// Reports go to standard output, reasons to standard error. Output that cannot be
// written is said once; the download goes on.
void PrintReports(const std::vector<QueuedMessage>& messages)
{
    static bool outputFailed = false;
    for (const QueuedMessage& m : messages) {
        if (m.kind == QueuedMessage::Kind::TaskDetail) {
            std::fprintf(stderr, "tavolin-fetch: %s\n", m.detail.c_str());
            continue;
        }
        if (m.kind != QueuedMessage::Kind::TaskReport)
            continue;
        const TaskReport& r = m.report;
        std::printf("%d %lld %s\n", static_cast<int>(r.code), static_cast<long long>(r.value),
                    FormatReportText(r.code, r.value).c_str());
    }
    if (messages.empty() || outputFailed)
        return;
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        outputFailed = true;
        std::fprintf(stderr, "tavolin-fetch: cannot write the reports to standard output: %s\n",
                     std::strerror(errno != 0 ? errno : EIO));
    }
}

void InstallStopSignals()
{
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv)
{
    if (platform::AnswerInfoRequest(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc),
                                    "tavolin-fetch", kUsage))
        return kExitCompleted;
    Arguments args;
    std::string error;
    if (!ParseArguments(argc, argv, args, error)) {
        const std::string_view usageLine(kUsage, std::string_view(kUsage).find('\n') + 1);
        std::fprintf(stderr, "tavolin-fetch: %s\n%.*s", error.c_str(), static_cast<int>(usageLine.size()),
                     usageLine.data());
        return kExitUsage;
    }

    const ServiceConfig config = ChooseServiceConfig(args);
    ServiceConfig::Install(config);
    InstallStopSignals();

    // The worker never waits for the printing: the queue merges the flood of size,
    // progress and elapsed reports and rings this thread, which prints in batches.
    ReportQueue queue;
    StandardErrorPrompt prompt;

    CTask task;
    task.m_csUrl = args.positional[0];
    task.m_csFilePath = args.positional[1];
    DownloadContext context;
    context.poster = &queue;
    context.filePrompt = &prompt;
    context.service = config;
    context.retry.maxRetries = args.retries ? *ParseRetries(*args.retries) : 0;
    context.continueUnknownSize = args.continuePartial;
    if (!StartDownload(task, context))
        return kExitFailed;  // not for a fresh task, which is idle

    bool stopSent = false;
    for (;;) {
        // A signal does not wake the wait; a tenth of a second keeps a stop prompt.
        queue.WaitForPost(std::chrono::milliseconds(100));
        if (g_stopSignal && !stopSent) {
            StopDownload(task);
            stopSent = true;
        }
        const bool ended = !task.m_pThread->IsRunning();
        const std::vector<QueuedMessage> messages = queue.TakeAll();
        PrintReports(messages);
        if (ended)
            break;
        // At loopback speed a report waits behind every drain; pausing between
        // drains lets the queue merge them instead of waking this thread for each.
        if (!messages.empty())
            std::this_thread::sleep_for(kDrainInterval);
    }
    JoinDownload(task);

    task.Lock();
    const std::int32_t status = task.m_nStatus;
    task.Unlock();
    if (status == STATUS_DOWNLOAD_COMPLETED)
        return kExitCompleted;
    return status == STATUS_STOPPED ? kExitStopped : kExitFailed;
}
