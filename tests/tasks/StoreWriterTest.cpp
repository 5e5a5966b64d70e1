// The store writer's thread: hand-overs that never wait, coalescing, the final write
// and its deadline, and failures, with a write function that the test holds up at will.
#include "tasks/StoreWriter.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/WorkerThread.h"

namespace {

using namespace std::chrono_literals;
using Clock = StoreWriter::Clock;

// Records the first URL of every copy written; while closed, each write waits for it to open.
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool open = true;
    bool fail = false;
    int entered = 0;
    std::vector<std::string> written;
    std::vector<std::string> told;

    StoreWriter::Write Write()
    {
        return [this](const StoreSnapshot& tasks, std::string* error) {
            std::unique_lock<std::mutex> lock(mutex);
            ++entered;
            changed.notify_all();
            changed.wait(lock, [this] { return open; });
            written.push_back(tasks.empty() ? "" : tasks.front().url);
            if (fail)
                *error = "disk full";
            return !fail;
        };
    }
    StoreWriter::Failed Told()
    {
        return [this](const std::string& error) {
            std::lock_guard<std::mutex> lock(mutex);
            told.push_back(error);
        };
    }
    void Set(bool isOpen)
    {
        std::lock_guard<std::mutex> lock(mutex);
        open = isOpen;
        changed.notify_all();
    }
    void WaitEntered(int count)
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return entered >= count; });
    }
};

StoreSnapshot Copy(const std::string& url)
{
    StoreSnapshot tasks(1);
    tasks.front().url = url;
    return tasks;
}

TEST(StoreWriter, CopiesHandedOverDuringAWriteAreCoalescedToTheNewest)
{
    Gate gate;
    StoreWriter writer(gate.Write(), gate.Told());
    gate.Set(false);
    writer.Save(Copy("a"));
    gate.WaitEntered(1);
    // The write of "a" is held up; these return at once all the same.
    for (const char* url : {"b", "c", "d"})
        writer.Save(Copy(url));
    EXPECT_FALSE(writer.WaitIdle(Clock::now() + 50ms));
    gate.Set(true);
    ASSERT_TRUE(writer.WaitIdle(Clock::now() + 10s));
    EXPECT_EQ(gate.written, (std::vector<std::string>{"a", "d"}));
    EXPECT_TRUE(gate.told.empty());
}

// A failed save is told through the callback; the last one is only answered when asked.
// A last write still running at the deadline is let go, the writer gone without a wait.
TEST(StoreWriter, FailuresAreToldAndTheFinalWriteKeepsItsDeadline)
{
    Gate gate;
    gate.fail = true;
    {
        StoreWriter writer(gate.Write(), gate.Told());
        writer.Save(Copy("a"));
        ASSERT_TRUE(writer.WaitIdle(Clock::now() + 10s));
        writer.SaveLast(Copy("final"));
        ASSERT_TRUE(writer.WaitIdle(Clock::now() + 10s));
        std::string error;
        EXPECT_FALSE(writer.LastWrite(&error));
        EXPECT_EQ(error, "disk full");
        EXPECT_EQ(gate.told, std::vector<std::string>{"disk full"});
    }

    gate.fail = false;
    gate.Set(false);
    {
        StoreWriter writer(gate.Write(), gate.Told());
        writer.SaveLast(Copy("hung"));
        EXPECT_FALSE(writer.WaitIdle(Clock::now() + 100ms));
    }  // must not wait for the hung write
    gate.Set(true);
    for (const auto end = Clock::now() + 10s; Clock::now() < end; std::this_thread::sleep_for(5ms)) {
        std::lock_guard<std::mutex> lock(gate.mutex);
        if (gate.written.size() == 3)
            break;
    }
    std::lock_guard<std::mutex> lock(gate.mutex);
    EXPECT_EQ(gate.written, (std::vector<std::string>{"a", "final", "hung"}));
}

TEST(StoreWriter, WithoutAThreadOfItsOwnItWritesAtOnce)
{
    Gate gate;
    const auto saved = platform::WorkerThread::SetFactory([](std::function<void()>) -> std::thread {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    });
    StoreWriter writer(gate.Write(), gate.Told());
    platform::WorkerThread::SetFactory(saved);
    writer.Save(Copy("a"));
    EXPECT_EQ(gate.written, std::vector<std::string>{"a"});
    writer.SaveLast(Copy("b"));
    EXPECT_TRUE(writer.WaitIdle(Clock::now()));
    EXPECT_TRUE(writer.LastWrite(nullptr));
    EXPECT_EQ(gate.written, (std::vector<std::string>{"a", "b"}));
}

}  // namespace
