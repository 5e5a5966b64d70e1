// Runs many downloads at once in one process, as Tavolin does, with their reports
// drained by a single consumer thread, and prints wall time, CPU time, peak memory
// and the longest time a report waited for the consumer.
//
// usage: fetch_parallel_bench SERVICE_HOST CDN_DOMAIN VIDEO_ID OUTPUT_FOLDER COUNT

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fetch/DownloadWorker.h"
#include "fetch/TaskOperations.h"
#include "tasks/ReportQueue.h"
#include "tasks/Task.h"

namespace {

double Seconds(const timeval& t)
{
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 6) {
        std::fprintf(stderr,
                     "usage: fetch_parallel_bench SERVICE_HOST CDN_DOMAIN VIDEO_ID OUTPUT_FOLDER COUNT\n");
        return 64;
    }
    const std::string host = argv[1];
    const int count = std::atoi(argv[5]);
    if (count <= 0) {
        std::fprintf(stderr, "fetch_parallel_bench: COUNT must be positive\n");
        return 64;
    }

    std::mutex wakeMutex;
    std::condition_variable wakeCond;
    bool woken = false;
    ReportQueue queue([&] {
        {
            std::lock_guard<std::mutex> lock(wakeMutex);
            woken = true;
        }
        wakeCond.notify_one();
    });

    std::atomic<bool> done{false};
    ReportQueue::Clock::duration longestWait{};
    std::size_t handedOver = 0;
    std::thread consumer([&] {
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(wakeMutex);
                wakeCond.wait(lock, [&] { return woken || done.load(); });
                woken = false;
            }
            const bool last = done.load();
            const auto now = ReportQueue::Clock::now();
            for (const QueuedMessage& m : queue.TakeAll()) {
                longestWait = std::max(longestWait, now - m.postedAt);
                ++handedOver;
            }
            if (last)
                break;
        }
    });

    DownloadContext context;
    context.poster = &queue;
    context.service.serviceHost = host;
    context.service.cdnDomain = argv[2];

    const auto start = std::chrono::steady_clock::now();
    std::vector<std::unique_ptr<CTask>> tasks;
    for (int i = 0; i < count; ++i) {
        auto task = std::make_unique<CTask>();
        task->m_nTaskId = i;
        task->m_csUrl = "http://" + host + "/watch?v=" + argv[3];
        task->m_csFilePath = std::string(argv[4]) + "/video" + std::to_string(i) + ".flv";
        StartDownload(*task, context);
        tasks.push_back(std::move(task));
    }
    int completed = 0;
    for (auto& task : tasks) {
        JoinDownload(*task);
        completed += task->IsFinished() ? 1 : 0;
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    {
        std::lock_guard<std::mutex> lock(wakeMutex);
        done = true;
    }
    wakeCond.notify_one();
    consumer.join();

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("completed %d/%d wall %.3f s cpu %.3f s peak %ld KiB reports %zu longest-wait %.3f ms\n",
                completed, count, wall, Seconds(usage.ru_utime) + Seconds(usage.ru_stime), usage.ru_maxrss,
                handedOver, std::chrono::duration<double, std::milli>(longestWait).count());
    return completed == count ? 0 : 1;
}
