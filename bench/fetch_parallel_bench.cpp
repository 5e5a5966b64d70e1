// Runs many downloads at once through the task engine, as Tavolin does, against a store
// that already holds many tasks, with a UI loop of its own that drains the workers'
// mailbox the way the window does into a row view that keeps every cell as the window's
// model does. Prints wall time, CPU time and peak memory, the longest time the UI thread
// was busy at once (one turn of its loop: one add, or one slice of a drain and the store
// hand-over it causes) and the longest time a report waited from its post until its row
// showed it, each with the time that 99% stayed within. With RETRIES the workers retry as
// Tavolin does; with REFERENCE every download is compared with that file byte for byte.
//
// usage: fetch_parallel_bench SERVICE_HOST CDN_DOMAIN VIDEO_ID OUTPUT_FOLDER COUNT [STORED [RETRIES
// [REFERENCE]]]
//        (STORED: tasks already in the store, 10000 by default)

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fetch/FileErrorPrompt.h"
#include "fetch/ServiceConfig.h"
#include "platform/Scheduling.h"
#include "scheduler/TaskScheduler.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(const timeval& t)
{
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

std::string ReadWhole(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// The value below which the share `q` of the values lie; 0 for none.
double Percentile(std::vector<double> values, double q)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(q * static_cast<double>(values.size() - 1))];
}

// This thread's CPU time: a turn's wall time also counts the moments the system gave
// the thread's processor to others.
double ThreadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// What the window's table model does with the engine's calls: every row's five cells,
// an unchanged text left alone.
class ModelRows : public RowView {
public:
    void InsertRow(int row, const std::string& name) override
    {
        std::array<std::string, 5> cells;
        cells[0] = name;
        m_rows.insert(m_rows.begin() + row, std::move(cells));
    }
    void DeleteRow(int row) override { m_rows.erase(m_rows.begin() + row); }
    void SetCellText(int row, int column, const std::string& text) override
    {
        std::string& cell = m_rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
        if (cell == text)
            return;
        cell = text;
        if (column == COLUMN_STATUS && text == "Task Completed")
            ++completed;
        else if (column == COLUMN_STATUS && text == "Download Failed")
            ++failed;
    }
    void SetRowDetail(int, const std::string&) override {}

    int completed = 0;
    int failed = 0;

private:
    std::vector<std::array<std::string, 5>> m_rows;
};

class NoPrompt : public FileErrorPrompt {
public:
    void ShowFileError(const std::string& message) override { std::fprintf(stderr, "%s\n", message.c_str()); }
};

StoreSnapshot StoredTasks(int count, const std::string& folder)
{
    StoreSnapshot tasks(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        StoreEntry& task = tasks[static_cast<std::size_t>(i)];
        const std::string name = "Some video title number " + std::to_string(i);
        auto texts = std::make_shared<StoreTexts>();
        texts->url = "http://videos.example/watch?v=vid" + std::to_string(i);
        texts->fileName = name + ".flv";
        texts->filePath = folder + "/" + name + ".flv";
        texts->job.m_csSourceFile = texts->filePath;
        texts->job.m_csTargetFile = folder + "/" + name + ".mp4";
        texts->job.m_csTargetName = "iPod (320x240) MPEG-4 Normal (*.mp4)";
        texts->job.m_csTargetType = ".mp4";
        task.texts = std::move(texts);
        task.fileSize = 30000000 + i;
        task.finished = task.allFinished = true;
    }
    return tasks;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 6 || argc > 9) {
        std::fprintf(stderr,
                     "usage: fetch_parallel_bench SERVICE_HOST CDN_DOMAIN VIDEO_ID OUTPUT_FOLDER COUNT "
                     "[STORED [RETRIES [REFERENCE]]]\n");
        return 64;
    }
    platform::SeparateThreadHeaps();  // as Tavolin does
    const std::string host = argv[1];
    const std::string folder = argv[4];
    const int count = std::atoi(argv[5]);
    const int stored = argc > 6 ? std::atoi(argv[6]) : 10000;
    if (count <= 0 || stored < 0) {
        std::fprintf(stderr, "fetch_parallel_bench: COUNT must be positive, STORED not negative\n");
        return 64;
    }
    ServiceConfig config;
    config.serviceHost = host;
    config.cdnDomain = argv[2];
    ServiceConfig::Install(config);

    const std::string storePath = folder + "/tasks.ini";
    std::string error;
    if (!TaskStore::WriteTasks(storePath, StoredTasks(stored, folder), &error)) {
        std::fprintf(stderr, "fetch_parallel_bench: %s\n", error.c_str());
        return 1;
    }

    // The UI thread's event loop: it sleeps until a post rings the mailbox.
    ReportQueue mailbox;
    ModelRows rows;
    NoPrompt prompt;
    TaskScheduler::Settings settings;
    settings.storePath = storePath;
    settings.storeFailed = [](const std::string& why) { std::fprintf(stderr, "store: %s\n", why.c_str()); };
    settings.retry.maxRetries = argc > 7 ? std::atoi(argv[7]) : 0;
    TaskScheduler scheduler(rows, mailbox, prompt, settings);

    const auto loadStart = Clock::now();
    scheduler.LoadTasks();
    const double load = Ms(Clock::now() - loadStart);
    const int completedBefore = rows.completed;

    const auto start = Clock::now();
    std::vector<double> turns, waits;                         // ms
    double longestTurn = 0, longestTurnCpu = 0, mostCpu = 0;  // the thread's own work vs. its wall time
    std::size_t drains = 0;
    int added = 0;
    const auto turn = [&](auto&& work) {
        const auto begin = Clock::now();
        const double beginCpu = ThreadCpuMs();
        work();
        const double ms = Ms(Clock::now() - begin);
        const double cpu = ThreadCpuMs() - beginCpu;
        if (ms > longestTurn) {
            longestTurn = ms;
            longestTurnCpu = cpu;
        }
        mostCpu = std::max(mostCpu, cpu);
        turns.push_back(ms);
    };
    bool more = false;  // the last drain left messages for the next
    while (rows.completed - completedBefore + rows.failed < count) {
        if (added == count && !more)
            mailbox.WaitForPost(std::chrono::milliseconds(100));
        // Each add is a command of its own, one turn each, as a user's would be; each drain
        // of the mailbox is one turn, as the window's.
        if (added < count) {
            turn([&] {
                NewTask task;
                task.m_csUrl = "http://" + host + "/watch?v=" + argv[3];
                task.m_csFolder = folder + "/";
                task.m_csFileName = "video" + std::to_string(added++) + ".flv";
                task.m_job.m_csTargetType = ".flv";
                scheduler.AddTask(task);
            });
        }
        turn([&] {
            auto oldest = Clock::time_point::max();
            more = scheduler.DispatchPending(TaskScheduler::kDispatchSlice, &oldest);
            if (oldest != Clock::time_point::max())
                waits.push_back(Ms(Clock::now() - oldest));
            ++drains;
        });
    }
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const auto exitStart = Clock::now();
    scheduler.ExitApp();
    const double exit = Ms(Clock::now() - exitStart);

    int exact = -1;
    if (argc > 8) {
        const std::string reference = ReadWhole(argv[8]);
        exact = 0;
        for (int i = 0; i < count; ++i)
            exact += ReadWhole(folder + "/video" + std::to_string(i) + ".flv") == reference ? 1 : 0;
    }

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf(
        "completed %d/%d wall %.3f s cpu %.3f s peak %ld KiB drains %zu longest-turn %.1f ms (cpu %.1f ms, "
        "99%% within %.1f ms, most cpu %.1f ms) longest-wait %.1f ms (99%% within %.1f ms) (store of %d "
        "tasks: load %.1f ms, "
        "exit %.1f ms)",
        rows.completed - completedBefore, count, wall, Seconds(usage.ru_utime) + Seconds(usage.ru_stime),
        usage.ru_maxrss, drains, longestTurn, longestTurnCpu, Percentile(turns, 0.99), mostCpu,
        Percentile(waits, 1.0), Percentile(waits, 0.99), stored, load, exit);
    if (exact >= 0)
        std::printf(" exact %d/%d", exact, count);
    std::printf("\n");
    return rows.failed == 0 && (exact < 0 || exact == count) ? 0 : 1;
}
