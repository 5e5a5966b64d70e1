#include "tasks/ReportQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <map>
#include <thread>
#include <vector>

namespace {

// One post or one expected message: code 0 stands for convert-next (value = wParam).
struct Msg {
    std::int32_t id;
    std::int32_t code;
    std::int64_t value;
    bool operator==(const Msg&) const = default;
};

void PrintTo(const Msg& m, std::ostream* os)
{
    *os << "{" << m.id << "," << m.code << "," << m.value << "}";
}

constexpr std::int32_t CN = 0;
constexpr std::int32_t SZ = REPORT_SIZE;
constexpr std::int32_t ST = REPORT_STATUS;
constexpr std::int32_t EL = REPORT_ELAPSED;
constexpr std::int32_t PR = REPORT_PROGRESS;

void Post(ReportQueue& queue, const Msg& m)
{
    if (m.code == CN)
        queue.PostConvertNext(static_cast<int>(m.value));
    else
        queue.PostTaskReport(m.id, m.code, m.value);
}

std::vector<Msg> Drain(ReportQueue& queue)
{
    std::vector<Msg> out;
    for (const QueuedMessage& q : queue.TakeAll()) {
        if (q.kind == QueuedMessage::Kind::ConvertNext)
            out.push_back({0, CN, q.wParam});
        else
            out.push_back({q.report.taskId, q.report.code, q.report.value});
    }
    return out;
}

TEST(ReportQueue, MergesOnlyWhereNoStatusStandsBehind)
{
    struct Case {
        const char* what;
        std::vector<Msg> posts;
        std::vector<Msg> drained;
    };
    const Case cases[] = {
        {"newest progress wins",
         {{1, PR, 10}, {1, PR, 20}, {1, PR, 30}},
         {{1, PR, 30}}},
        {"a status stops merging across it",
         {{1, PR, 10}, {1, ST, 2}, {1, PR, 20}, {1, PR, 30}},
         {{1, PR, 10}, {1, ST, 2}, {1, PR, 30}}},
        {"size, progress and elapsed each keep one slot in first-post order",
         {{1, SZ, 100}, {1, PR, 1}, {1, EL, 5}, {1, SZ, 200}, {1, PR, 2}, {1, EL, 6}},
         {{1, SZ, 200}, {1, PR, 2}, {1, EL, 6}}},
        {"a status blocks every merge of its task behind it",
         {{1, SZ, 100}, {1, EL, 5}, {1, ST, 4}, {1, SZ, 200}, {1, EL, 6}},
         {{1, SZ, 100}, {1, EL, 5}, {1, ST, 4}, {1, SZ, 200}, {1, EL, 6}}},
        {"another task's status does not block",
         {{1, PR, 10}, {2, ST, 2}, {1, PR, 20}},
         {{1, PR, 20}, {2, ST, 2}}},
        {"tasks are merged separately",
         {{1, PR, 10}, {2, PR, 20}, {1, PR, 30}, {2, PR, 40}},
         {{1, PR, 30}, {2, PR, 40}}},
        {"identifier 65536 is not identifier 0",
         {{0, PR, 10}, {65536, PR, 20}, {0, PR, 30}},
         {{0, PR, 30}, {65536, PR, 20}}},
        {"status reports are never merged",
         {{1, ST, 2}, {1, ST, 2}, {1, ST, 3}},
         {{1, ST, 2}, {1, ST, 2}, {1, ST, 3}}},
        {"convert-next is never merged and keeps its place",
         {{0, CN, 0}, {1, PR, 10}, {0, CN, 0}, {0, CN, 1}, {1, PR, 20}},
         {{0, CN, 0}, {1, PR, 20}, {0, CN, 0}, {0, CN, 1}}},
        {"codes without a merge rule pass through",
         {{1, 4, 1}, {1, 4, 2}},
         {{1, 4, 1}, {1, 4, 2}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ReportQueue queue;
        for (const Msg& m : c.posts) Post(queue, m);
        EXPECT_EQ(queue.Size(), c.drained.size());
        EXPECT_EQ(Drain(queue), c.drained);
        EXPECT_EQ(queue.Size(), 0u);
    }
}

TEST(ReportQueue, WakesOncePerEmptyToNonEmptyOutsideTheLockAndDrainsWhole)
{
    ReportQueue* self = nullptr;
    std::vector<std::size_t> sizesSeenByWake;
    ReportQueue queue([&] { sizesSeenByWake.push_back(self->Size()); });  // Size() locks
    self = &queue;

    queue.PostTaskReport(1, PR, 10);
    queue.PostTaskReport(1, PR, 20);  // merged
    queue.PostTaskReport(1, ST, 2);
    queue.PostConvertNext(0);
    EXPECT_EQ(sizesSeenByWake, (std::vector<std::size_t>{1}));

    EXPECT_EQ(Drain(queue), (std::vector<Msg>{{1, PR, 20}, {1, ST, 2}, {0, CN, 0}}));

    // A drain starts a fresh round: nothing merges into what the UI already took.
    queue.PostTaskReport(1, PR, 30);
    queue.PostTaskReport(1, PR, 40);
    EXPECT_EQ(sizesSeenByWake, (std::vector<std::size_t>{1, 1}));
    EXPECT_EQ(Drain(queue), (std::vector<Msg>{{1, PR, 40}}));
}

TEST(ReportQueue, MergedReportKeepsTheTimeItFirstWaited)
{
    ReportQueue queue;
    const auto before = ReportQueue::Clock::now();
    queue.PostTaskReport(1, PR, 10);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const auto middle = ReportQueue::Clock::now();
    queue.PostTaskReport(1, PR, 20);
    queue.PostConvertNext(1);
    const auto messages = queue.TakeAll();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_GE(messages[0].postedAt, before);
    EXPECT_LT(messages[0].postedAt, middle);
    EXPECT_GE(messages[1].postedAt, middle);
}

// Workers post as fast as they can while a consumer drains only when woken, as the
// window does. Per task: status reports arrive complete and in order, progress never
// goes backwards, the last progress arrives before the final status and none after,
// and no wake is lost (the queue ends empty without a final manual drain).
TEST(ReportQueue, ConcurrentProducersAndAWokenConsumer)
{
    constexpr int kProducers = 4;
    constexpr std::int64_t kSteps = 20000;

    std::mutex wakeMutex;
    std::condition_variable wakeCond;
    int wakes = 0;
    ReportQueue queue([&] {
        {
            std::lock_guard<std::mutex> lock(wakeMutex);
            ++wakes;
        }
        wakeCond.notify_one();
    });

    std::atomic<bool> stop{false};
    std::vector<Msg> received;
    std::size_t convertNext = 0;
    std::thread consumer([&] {
        int handled = 0;
        while (true) {
            {
                std::unique_lock<std::mutex> lock(wakeMutex);
                wakeCond.wait(lock, [&] { return wakes > handled || stop.load(); });
                if (wakes == handled) return;
                handled = wakes;
            }
            for (const Msg& m : Drain(queue)) {
                if (m.code == CN)
                    ++convertNext;
                else
                    received.push_back(m);
            }
        }
    });

    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p) {
        producers.emplace_back([&queue, p] {
            const std::int32_t id = 65536 * p + 7;
            queue.PostTaskReport(id, ST, STATUS_DOWNLOADING);
            for (std::int64_t i = 1; i <= kSteps; ++i) {
                queue.PostTaskReport(id, SZ, 1000 + p);
                queue.PostTaskReport(id, PR, i);
                queue.PostTaskReport(id, EL, i * 10);
                if (i % 5000 == 0) queue.PostConvertNext(1);
            }
            queue.PostTaskReport(id, ST, STATUS_DOWNLOAD_COMPLETED);
        });
    }
    for (auto& t : producers) t.join();

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (queue.Size() != 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(queue.Size(), 0u) << "a wake was lost";
    {
        std::lock_guard<std::mutex> lock(wakeMutex);
        stop = true;
    }
    wakeCond.notify_one();
    consumer.join();

    EXPECT_EQ(convertNext, static_cast<std::size_t>(kProducers * (kSteps / 5000)));
    std::map<std::int32_t, std::vector<Msg>> byTask;
    for (const Msg& m : received) byTask[m.id].push_back(m);
    ASSERT_EQ(byTask.size(), static_cast<std::size_t>(kProducers));
    for (const auto& [id, messages] : byTask) {
        SCOPED_TRACE(id);
        std::vector<std::int64_t> statuses;
        std::map<std::int32_t, std::int64_t> last;
        bool ended = false;
        for (const Msg& m : messages) {
            if (m.code == ST) {
                statuses.push_back(m.value);
                ended = m.value == STATUS_DOWNLOAD_COMPLETED;
                if (ended) {
                    EXPECT_EQ(last[PR], kSteps) << "last progress must precede the end";
                }
                continue;
            }
            EXPECT_FALSE(ended) << "a value moved across the final status";
            if (m.code != SZ) {
                EXPECT_GT(m.value, last[m.code]) << "code " << m.code;
            }
            last[m.code] = m.value;
        }
        EXPECT_EQ(statuses, (std::vector<std::int64_t>{STATUS_DOWNLOADING,
                                                       STATUS_DOWNLOAD_COMPLETED}));
        EXPECT_EQ(last[EL], kSteps * 10);
        EXPECT_EQ(last[SZ], 1000 + id / 65536);
    }
}

}  // namespace
