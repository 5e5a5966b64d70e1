#include "platform/WorkerThread.h"

#include <gtest/gtest.h>
#include <atomic>
#include <memory>
#include <stdexcept>

namespace {

using namespace std::chrono_literals;
using platform::WorkerThread;
using Clock = std::chrono::steady_clock;

TEST(WorkerThread, WaitForTimesOutWhileTheRoutineSleeps)
{
    std::atomic<bool> done{false};
    WorkerThread worker([&] {
        std::this_thread::sleep_for(400ms);
        done = true;
    });
    EXPECT_TRUE(worker.IsRunning());
    const auto start = Clock::now();
    EXPECT_FALSE(worker.WaitFor(100ms));
    EXPECT_GE(Clock::now() - start, 100ms);
    EXPECT_TRUE(worker.IsRunning());
    EXPECT_FALSE(done.load());

    EXPECT_TRUE(worker.WaitFor(10s));
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_TRUE(done.load());
    worker.Join();
    worker.Join();  // a second join is harmless
}

TEST(WorkerThread, AnExceptionEndsTheRoutineNotTheProgram)
{
    WorkerThread worker([] { throw std::runtime_error("boom"); });
    EXPECT_TRUE(worker.WaitFor(10s));
    EXPECT_FALSE(worker.IsRunning());
}

TEST(WorkerThread, DestroyingLetsARunningRoutineFinish)
{
    auto finished = std::make_shared<std::atomic<bool>>(false);
    auto release = std::make_shared<std::atomic<bool>>(false);
    {
        WorkerThread worker([finished, release] {
            while (!*release)
                std::this_thread::sleep_for(5ms);
            *finished = true;
        });
        EXPECT_FALSE(worker.WaitFor(20ms));
    }  // must neither block nor terminate
    *release = true;
    const auto deadline = Clock::now() + 10s;
    while (!*finished && Clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    EXPECT_TRUE(finished->load());

    // A routine that ended is joined on destruction; its effects are complete.
    int value = 0;
    {
        WorkerThread worker([&value] { value = 42; });
        worker.WaitFor(10s);
    }
    EXPECT_EQ(value, 42);
}

TEST(WorkerThread, ARoutineMayDestroyItsOwnThreadObject)
{
    std::atomic<bool> done{false};
    auto holder = std::make_shared<std::unique_ptr<WorkerThread>>();
    std::atomic<bool> ready{false};
    *holder = std::make_unique<WorkerThread>([holder, &ready, &done] {
        while (!ready)
            std::this_thread::sleep_for(1ms);
        holder->reset();  // joining itself would deadlock; it must be let go instead
        done = true;
    });
    ready = true;
    const auto deadline = Clock::now() + 10s;
    while (!done && Clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    EXPECT_TRUE(done.load());
}

}  // namespace
