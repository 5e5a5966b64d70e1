// The cost of going through the encoder: the same conversion run by `ostrand`, with its
// progress channel read through a pipe as the programs read it, and by `ffmpeg` alone as
// one would start it by hand for the same file, alternating, several rounds. Prints the
// median wall and CPU time of each and the median of the rounds' ratios.
//
//   encoder_bench [rounds] [clip seconds] [cpu]
//
// Given a CPU, every run is kept on it: on a machine others share, the encoders'
// threads then meet the same competition in both runs, which steadies the figures.
#include <fcntl.h>
#include <sched.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "convert/EncoderCommandLine.h"
#include "convert/EncoderRun.h"
#include "convert/ProfileCatalogue.h"
#include "convert/ProgressReader.h"
#include "encoder/ProgramLookup.h"
#include "platform/Pipe.h"
#include "platform/ProgramFolder.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Timing {
    double wall = 0;
    double cpu = 0;  // user + system of the process and every child it waited for
};

// What the channel brought: its lines, and the reports a program's window would get.
struct ChannelRead : EncoderRunObserver {
    void RunStarted() override {}
    void RunPolled() override {}
    void RunProgress(const EncoderProgress&) override { ++reports; }
    void RunEnded(const EncoderRunOutcome&) override {}
    std::string text;
    int reports = 0;
};

// Runs argv to its end with both outputs discarded and, when `channel` is given, a pipe
// as its descriptor 3, read as it comes; the exit status, -1 when it could not start or
// was ended by a signal.
int RunQuietly(const std::vector<std::string>& argv, ChannelRead* channel, double& cpuSeconds)
{
    std::vector<char*> cargv;
    for (const std::string& arg : argv)
        cargv.push_back(const_cast<char*>(arg.c_str()));
    cargv.push_back(nullptr);
    platform::Pipe pipe;
    if (channel != nullptr && !pipe.Open(nullptr))
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (channel != nullptr)
        posix_spawn_file_actions_adddup2(&actions, pipe.WriteEnd(), 3);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, cargv[0], &actions, nullptr, cargv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return -1;
    if (channel != nullptr) {
        pipe.CloseWriteEnd();
        ProgressReader reader(*channel);
        while (!pipe.HasEnded()) {
            std::string bytes;
            if (pipe.Wait(nullptr, std::chrono::seconds(1)) == platform::Pipe::Wake::Input)
                pipe.Read(bytes);
            reader.Take(bytes, ProgressReader::Clock::now());
            channel->text += bytes;
        }
        reader.Flush();
    }
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0) {
    }
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Timing TimedRun(const std::vector<std::string>& argv, ChannelRead* channel = nullptr)
{
    Timing timing;
    auto start = std::chrono::steady_clock::now();
    int status = RunQuietly(argv, channel, timing.cpu);
    timing.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (status != 0) {
        std::fprintf(stderr, "encoder_bench: %s failed (status %d)\n", argv[0].c_str(), status);
        std::exit(1);
    }
    return timing;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

ConvertJob DefaultJob(const std::string& profileStart, const std::string& source, const std::string& target)
{
    for (const ConvertProfile& profile : BuildProfileCatalogue(CatalogueProgram::Pellux)) {
        if (!profile.name.starts_with(profileStart))
            continue;
        ConvertJob job;
        ReadJobFromSelection(job, &profile, SelectedOptions(FillOptionBoxes(profile)));
        job.m_csSourceFile = source;
        job.m_csTargetFile = target;
        return job;
    }
    std::fprintf(stderr, "encoder_bench: no profile %s\n", profileStart.c_str());
    std::exit(1);
}

// `ffmpeg` is what one would type for the same file: the options after "-i SOURCE".
void Compare(const char* title, const ConvertJob& job, const std::string& ostrand, const std::string& ffmpeg,
             const std::vector<std::string>& ffmpegOptions, int rounds)
{
    const std::vector<std::string> viaOstrand = BuildEncoderArguments(job, ostrand, 3);

    std::vector<std::string> direct = {ffmpeg,     "-hide_banner", "-loglevel", "error",
                                       "-nostdin", "-y",           "-i",        job.m_csSourceFile};
    direct.insert(direct.end(), ffmpegOptions.begin(), ffmpegOptions.end());
    direct.push_back(job.m_csTargetFile);

    ChannelRead channel;
    TimedRun(viaOstrand, &channel);  // warms the page cache for both
    if (!channel.text.ends_with("done\n")) {
        std::fprintf(stderr, "encoder_bench: %s: the channel did not end with done:\n%s", title,
                     channel.text.c_str());
        std::exit(1);
    }
    const std::string lines = channel.text;
    const int reports = channel.reports;
    // Each round's two runs met the same load, so the ratio within a round is what counts.
    std::vector<double> wallOstrand, wallFfmpeg, cpuOstrand, cpuFfmpeg, wallRatios, cpuRatios;
    for (int round = 0; round < rounds; ++round) {
        // Alternating, and swapping who goes first, so a drift in load hits both alike.
        Timing a, b;
        ChannelRead read;
        if (round % 2 == 0) {
            a = TimedRun(viaOstrand, &read);
            b = TimedRun(direct);
        } else {
            b = TimedRun(direct);
            a = TimedRun(viaOstrand, &read);
        }
        wallOstrand.push_back(a.wall);
        cpuOstrand.push_back(a.cpu);
        wallFfmpeg.push_back(b.wall);
        cpuFfmpeg.push_back(b.cpu);
        wallRatios.push_back(a.wall / b.wall);
        cpuRatios.push_back(a.cpu / b.cpu);
    }
    std::printf(
        "%-22s wall: ostrand %.3f s  ffmpeg %.3f s  ratio %.4f | cpu: %.3f s  %.3f s  ratio %.4f | %zu "
        "progress lines, %d reports\n",
        title, Median(wallOstrand), Median(wallFfmpeg), Median(wallRatios), Median(cpuOstrand),
        Median(cpuFfmpeg), Median(cpuRatios),
        static_cast<std::size_t>(std::count(lines.begin(), lines.end(), '\n')) - 1, reports);
}

}  // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const int seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    if (argc > 3) {
        cpu_set_t cpus;
        CPU_ZERO(&cpus);
        CPU_SET(std::atoi(argv[3]), &cpus);
        if (sched_setaffinity(0, sizeof cpus, &cpus) != 0) {
            std::fprintf(stderr, "encoder_bench: cannot keep to CPU %s\n", argv[3]);
            return 1;
        }
    }
    const std::string ostrand = platform::ProgramFolder() + "/ostrand";
    auto ffmpeg = FindProgram("ffmpeg", ProgramSearchPath());
    if (!ffmpeg || access(ostrand.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "encoder_bench: needs ffmpeg and %s\n", ostrand.c_str());
        return 1;
    }

    char pattern[] = "/tmp/encoder-bench-XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    const std::string folder = pattern;
    const std::string source = folder + "/clip.flv";
    const std::string duration = std::to_string(seconds);
    TimedRun({*ffmpeg, "-hide_banner", "-nostdin", "-y", "-f", "lavfi", "-i",
              "testsrc=size=320x240:rate=25:duration=" + duration, "-f", "lavfi", "-i",
              "sine=frequency=440:sample_rate=44100:duration=" + duration, "-c:v", "flv1", "-c:a",
              "libmp3lame", "-ac", "2", source});

    std::printf(
        "%d rounds, %d s FLV source (flv1 320x240 + MP3), ostrand with its progress channel against\n"
        "ffmpeg alone: medians of wall and CPU time, and of the ratios within a round\n",
        rounds, seconds);
    Compare("iPod 320x240 normal", DefaultJob("iPod (320x240) MPEG-4 Normal", source, folder + "/a.mp4"),
            ostrand, *ffmpeg,
            {"-c:v", "mpeg4", "-s", "320x240", "-b:v", "1200k", "-c:a", "aac", "-ar", "44100", "-b:a", "64k",
             "-ac", "2", "-movflags", "+faststart"},
            rounds);
    Compare("PSP", DefaultJob("PSP", source, folder + "/c.mp4"), ostrand, *ffmpeg,
            {"-f", "psp", "-c:v", "mpeg4", "-s", "320x240", "-b:v", "512k", "-c:a", "aac", "-ar", "24000",
             "-b:a", "64k", "-ac", "2", "-movflags", "+faststart"},
            rounds);
    Compare("AVI, size Auto (kept)", DefaultJob("AVI", source, folder + "/b.avi"), ostrand, *ffmpeg,
            {"-c:v", "wmv2", "-b:v", "1200k", "-c:a", "libmp3lame", "-ar", "44100", "-ac", "2"}, rounds);

    std::error_code ignored;
    fs::remove_all(folder, ignored);
    return 0;
}
