// The cost of going through the encoder: the same conversion run by `ostrand` and by
// `ffmpeg` with the arguments ostrand would give it, alternating, several rounds.
// Prints the median wall and CPU time of each and their ratios.
//
//   encoder_bench [rounds] [clip seconds]
#include <fcntl.h>
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
#include <variant>
#include <vector>

#include "convert/EncoderCommandLine.h"
#include "convert/ProfileCatalogue.h"
#include "encoder/ArgumentTranslation.h"
#include "encoder/EncoderOptions.h"
#include "encoder/ProgramLookup.h"
#include "encoder/SourceProbe.h"
#include "encoder/StopSignals.h"
#include "platform/ProgramFolder.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Timing {
    double wall = 0;
    double cpu = 0;  // user + system of the process and every child it waited for
};

// Runs argv to its end with both outputs discarded; the exit status, -1 when it
// could not start or was ended by a signal.
int RunQuietly(const std::vector<std::string>& argv, double& cpuSeconds)
{
    std::vector<char*> cargv;
    for (const std::string& arg : argv)
        cargv.push_back(const_cast<char*>(arg.c_str()));
    cargv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, cargv[0], &actions, nullptr, cargv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return -1;
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

Timing TimedRun(const std::vector<std::string>& argv)
{
    Timing timing;
    auto start = std::chrono::steady_clock::now();
    int status = RunQuietly(argv, timing.cpu);
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
        if (!profile.m_csName.starts_with(profileStart))
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

void Compare(const char* title, const ConvertJob& job, const std::string& ostrand, const std::string& ffmpeg,
             const std::string& ffprobe, int rounds)
{
    std::vector<std::string> viaOstrand = BuildEncoderArguments(job, ostrand);

    // ffmpeg directly, with what ostrand would hand it: the difference is ostrand itself.
    std::vector<std::string> options(viaOstrand.begin() + 1, viaOstrand.end());
    auto parsed = std::get<EncoderOptions>(ParseEncoderOptions(options));
    TranslationInput input{parsed, job.m_csSourceFile, job.m_csTargetFile, std::nullopt, true};
    if (NeedsSourceProbe(parsed)) {
        StopSignals stops;
        input.source = std::get<SourceInfo>(ProbeSource(ffprobe, job.m_csSourceFile, stops));
    }
    std::vector<std::string> direct = TranslateArguments(input);
    direct.insert(direct.begin(), ffmpeg);

    TimedRun(viaOstrand);  // warms the page cache for both
    std::vector<double> wallOstrand, wallFfmpeg, cpuOstrand, cpuFfmpeg;
    for (int round = 0; round < rounds; ++round) {
        // Alternating, and swapping who goes first, so a drift in load hits both alike.
        Timing a, b;
        if (round % 2 == 0) {
            a = TimedRun(viaOstrand);
            b = TimedRun(direct);
        } else {
            b = TimedRun(direct);
            a = TimedRun(viaOstrand);
        }
        wallOstrand.push_back(a.wall);
        cpuOstrand.push_back(a.cpu);
        wallFfmpeg.push_back(b.wall);
        cpuFfmpeg.push_back(b.cpu);
    }
    const double wa = Median(wallOstrand), wb = Median(wallFfmpeg);
    const double ca = Median(cpuOstrand), cb = Median(cpuFfmpeg);
    std::printf("%-40s wall: ostrand %.3f s  ffmpeg %.3f s  ratio %.4f | cpu: %.3f s  %.3f s  ratio %.4f\n",
                title, wa, wb, wa / wb, ca, cb, ca / cb);
}

}  // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const int seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    const std::string ostrand = platform::ProgramFolder() + "/ostrand";
    auto ffmpeg = FindProgram("ffmpeg", ProgramSearchPath());
    auto ffprobe = FindProgram("ffprobe", ProgramSearchPath());
    if (!ffmpeg || !ffprobe || access(ostrand.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "encoder_bench: needs ffmpeg, ffprobe and %s\n", ostrand.c_str());
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

    std::printf("%d rounds, %d s FLV source (flv1 320x240 + MP3), medians of wall and CPU time\n", rounds,
                seconds);
    Compare("iPod 320x240 normal (no probe)",
            DefaultJob("iPod (320x240) MPEG-4 Normal", source, folder + "/a.mp4"), ostrand, *ffmpeg, *ffprobe,
            rounds);
    Compare("AVI, source size kept (cropped to even)", DefaultJob("AVI", source, folder + "/b.avi"), ostrand,
            *ffmpeg, *ffprobe, rounds);
    Compare("PSP (sound found in the FLV header)", DefaultJob("PSP", source, folder + "/c.mp4"), ostrand,
            *ffmpeg, *ffprobe, rounds);

    std::error_code ignored;
    fs::remove_all(folder, ignored);
    return 0;
}
