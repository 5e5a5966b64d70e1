// The store writer's thread: hand-overs that never wait, coalescing, the last write and
// its deadline, and failures, with a write that the test holds up at will.
#include "tasks/StoreWriter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/WorkerThread.h"
#include "support/Eventually.h"

namespace {

using namespace std::chrono_literals;
using Clock = StoreWriter::Clock;
using Urls = std::vector<std::string>;

// Records the first URL of every copy written, and every failure told; each write
// waits while the gate is shut.
struct Gate {
    std::mutex mutex;
    std::atomic<bool> shut{false};
    std::atomic<int> entered{0};
    bool fail = false;
    Urls written, told;

    StoreWriter Writer()
    {
        return StoreWriter(
            [this](const StoreSnapshot& tasks, std::string* error) {
                ++entered;
                while (shut)
                    std::this_thread::sleep_for(1ms);
                std::lock_guard<std::mutex> lock(mutex);
                written.push_back(tasks.front().texts->url);
                *error = "disk full";
                return !fail;
            },
            [this](const std::string& error) { told.push_back(error); });
    }
    Urls Written()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return written;
    }
};

StoreSnapshot Copy(const std::string& url)
{
    StoreSnapshot tasks(1);
    tasks.front().texts = std::make_shared<const StoreTexts>(StoreTexts{url, {}, {}, {}});
    return tasks;
}

TEST(StoreWriter, CopiesHandedOverDuringAWriteAreCoalescedToTheNewest)
{
    Gate gate;
    StoreWriter writer = gate.Writer();
    gate.shut = true;
    writer.Save(Copy("a"));
    while (gate.entered == 0)
        std::this_thread::sleep_for(1ms);
    for (const char* url : {"b", "c", "d"})  // return at once while "a" is held up
        writer.Save(Copy(url));
    EXPECT_FALSE(writer.WaitIdle(Clock::now() + 50ms));
    gate.shut = false;
    ASSERT_TRUE(writer.WaitIdle(Clock::now() + 10s));
    EXPECT_EQ(gate.Written(), (Urls{"a", "d"}));
}

// A failed save is told once per run of failures; the last one is only answered when asked. A last write
// still running at the deadline is let go, and the writer goes without waiting for it.
TEST(StoreWriter, FailuresAreToldAndTheLastWriteKeepsItsDeadline)
{
    Gate gate;
    gate.fail = true;
    {
        StoreWriter writer = gate.Writer();
        const auto save = [&](const char* url, bool fail) {
            gate.fail = fail;
            writer.Save(Copy(url));
            ASSERT_TRUE(writer.WaitIdle(Clock::now() + 10s));
        };
        save("a", true);
        save("b", true);  // still failing: nothing new to tell
        save("c", false);
        save("d", true);
        EXPECT_EQ(gate.told, (Urls{"disk full", "disk full"}));
        writer.SaveLast(Copy("last"));
        ASSERT_TRUE(writer.WaitIdle(Clock::now() + 10s));
        std::string error;
        EXPECT_FALSE(writer.LastWrite(&error));
        EXPECT_EQ(error, "disk full");
        EXPECT_EQ(gate.told.size(), 2u);
        gate.shut = true;
        writer.SaveLast(Copy("hung"));
        EXPECT_FALSE(writer.WaitIdle(Clock::now() + 100ms));
    }
    gate.shut = false;
    Eventually([&] { return gate.Written().size() >= 6; });
    EXPECT_EQ(gate.Written(), (Urls{"a", "b", "c", "d", "last", "hung"}));
}

TEST(StoreWriter, WithoutAThreadOfItsOwnItWritesAtOnce)
{
    Gate gate;
    const auto saved = platform::WorkerThread::SetFactory([](std::function<void()>) -> std::thread {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    });
    StoreWriter writer = gate.Writer();
    platform::WorkerThread::SetFactory(saved);
    writer.Save(Copy("a"));
    EXPECT_EQ(gate.Written(), Urls{"a"});
}

}  // namespace
