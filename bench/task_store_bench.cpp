// Writes a task store of 10,000 tasks, then loads and saves it several times and
// prints the medians. Loading happens once per start and saving after every change
// to the list, so both must stay far below what a user would notice. Thread CPU time
// is printed beside wall time: on a busy machine it is the fairer figure.

#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tasks/TaskStore.h"

namespace {

double WallMs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

double CpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

struct Samples {
    std::vector<double> wall, cpu;
};

template <typename F>
auto Measure(Samples& samples, F&& work)
{
    const double wall = WallMs();
    const double cpu = CpuMs();
    auto result = work();
    samples.cpu.push_back(CpuMs() - cpu);
    samples.wall.push_back(WallMs() - wall);
    return result;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::unique_ptr<CTask> MakeTask(int i)
{
    auto task = std::make_unique<CTask>();
    const std::string name = "Some video title number " + std::to_string(i);
    task->m_csUrl = "http://www.youtube.com/watch?v=vid" + std::to_string(i) + "&feature=related";
    task->m_csFileName = name + ".flv";
    task->m_csFilePath = "/home/someone/Videos/Tavolin/" + name + ".flv";
    // Built whole and moved in: assigning each short literal to the empty strings of a new
    // job trips a false -Wrestrict of GCC 12 in optimised builds.
    task->m_job = ConvertJob{
        .m_csSourceFile = task->m_csFilePath,
        .m_csTargetFile = "/home/someone/Videos/Tavolin/" + name + ".mp4",
        .m_csTargetName = "MP4 Video (H.264)",
        .m_csTargetType = ".mp4",
        .m_csVideoSize = "640x480",
        .m_csVideoCodec = "h264",
        .m_csVideoBitRate = "768",
        .m_csVideoFrameRate = "Auto",
        .m_csAudioCodec = "aac",
        .m_csAudioBitRate = "128",
        .m_csAudioSampleRate = "44100",
        .m_csAudioChannel = "2",
    };
    task->m_nFileSize = 30000000LL + i;
    task->m_bFinished = i % 2 == 0;
    task->m_bAllFinished = i % 4 == 0;
    return task;
}

}  // namespace

int main()
{
    constexpr int kTasks = 10000;
    constexpr int kRounds = 7;

    std::string pattern = (std::filesystem::temp_directory_path() / "tavolin-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::filesystem::path dir = pattern;
    TaskStore store((dir / "tasks.ini").string());

    TaskList source;
    for (int i = 0; i < kTasks; ++i)
        source.Append(MakeTask(i));
    std::string error;
    if (!store.SaveTasks(source, &error)) {
        std::fprintf(stderr, "save failed: %s\n", error.c_str());
        return 1;
    }
    const auto fileSize = std::filesystem::file_size(store.Path());

    Samples parses, loads, formats, saves, snapshots;
    for (int round = 0; round < kRounds; ++round) {
        Measure(parses, [&] { return platform::ProfileSnapshot::Load(store.Path()); });

        TaskList list;
        const std::int32_t loaded = Measure(loads, [&] { return store.LoadTasks(list); });
        if (loaded != kTasks) {
            std::fprintf(stderr, "loaded %d tasks, expected %d\n", loaded, kTasks);
            return 1;
        }
        if (!Measure(saves, [&] { return store.SaveTasks(list, &error); })) {
            std::fprintf(stderr, "save failed: %s\n", error.c_str());
            return 1;
        }
        const StoreSnapshot copy = Measure(snapshots, [&] { return TaskStore::Snapshot(list); });
        const std::string text = Measure(formats, [&] { return TaskStore::FormatTasks(copy); });
        if (text.size() != fileSize) {
            std::fprintf(stderr, "rewrite changed the file size\n");
            return 1;
        }
    }
    std::filesystem::remove_all(dir);

    std::printf("task store of %d tasks, %.1f MB, %d rounds\n", kTasks,
                static_cast<double>(fileSize) / (1024 * 1024), kRounds);
    const auto print = [](const char* what, const Samples& samples) {
        std::printf("%-34s median %7.1f ms wall, %7.1f ms cpu\n", what, Median(samples.wall),
                    Median(samples.cpu));
    };
    print("read + parse the file:", parses);
    print("LoadTasks (read, parse, fill list):", loads);
    print("SaveTasks (format, atomic write):", saves);
    print("  copying the values (UI thread):", snapshots);
    print("  formatting the text:", formats);
    return 0;
}
