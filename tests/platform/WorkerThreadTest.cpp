#include "platform/WorkerThread.h"

#include <gtest/gtest.h>
#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <system_error>

#include "support/Eventually.h"

namespace {

using namespace std::chrono_literals;
using platform::WorkerThread;

TEST(WorkerThread, WaitForTimesOutWhileTheRoutineSleeps)
{
    std::atomic<bool> done{false};
    WorkerThread worker([&] {
        std::this_thread::sleep_for(400ms);
        done = true;
    });
    EXPECT_FALSE(worker.WaitFor(100ms));
    EXPECT_TRUE(worker.IsRunning());
    EXPECT_FALSE(done.load());

    EXPECT_TRUE(worker.WaitFor(10s));
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_TRUE(done.load());
    worker.Join();
    worker.Join();  // a second join is harmless
}

// What stopped a routine is told, never swallowed; a thread that could not be made is
// told in the test of threads made aside, through the same making.
TEST(WorkerThread, ReportsAnException)
{
    std::string told;
    WorkerThread worker([] { throw std::runtime_error("boom"); },
                        [&](const std::string& why) { told = why; });
    EXPECT_TRUE(worker.WaitFor(10s));
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_EQ(told, "an unexpected error: boom");
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
    EXPECT_TRUE(Eventually([&] { return finished->load(); }));

    // A routine that ended is joined on destruction, not let go: what its thread still
    // does after the routine returned (here: dropping what the routine held) is done
    // when the destructor returns.
    struct SlowToDrop {
        std::shared_ptr<std::atomic<bool>> dropped;
        ~SlowToDrop()
        {
            std::this_thread::sleep_for(300ms);
            *dropped = true;
        }
    };
    auto dropped = std::make_shared<std::atomic<bool>>(false);
    {
        auto held = std::make_shared<SlowToDrop>(dropped);
        WorkerThread worker([held] {});
        held.reset();
        ASSERT_TRUE(worker.WaitFor(10s));
    }
    EXPECT_TRUE(dropped->load());
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
    EXPECT_TRUE(Eventually([&] { return done.load(); }));
}

// Made aside, the routine runs and is joined as usual; a thread that could not be made is
// told before a join returns; an owner gone before the making lets the thread go.
TEST(WorkerThread, AThreadMadeAsideRunsIsJoinedAndTellsAFailure)
{
    std::atomic<bool> ran{false};
    WorkerThread worker([&] { ran = true; }, {}, WorkerThread::Start::Aside);
    worker.Join();
    EXPECT_TRUE(ran.load());
    EXPECT_FALSE(worker.IsRunning());

    auto saved = WorkerThread::SetFactory([](std::function<void()>) -> std::thread {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    });
    std::string told;
    ran = false;
    WorkerThread failed([&] { ran = true; }, [&](const std::string& why) { told = why; },
                        WorkerThread::Start::Aside);
    failed.Join();
    EXPECT_FALSE(failed.Started());
    EXPECT_TRUE(told.starts_with("cannot start a thread: ")) << told;
    EXPECT_FALSE(ran.load());

    // The maker waits at a gate until the owner is gone.
    auto gate = std::make_shared<std::atomic<bool>>(false);
    WorkerThread::SetFactory([gate](std::function<void()> body) {
        while (!*gate)
            std::this_thread::sleep_for(1ms);
        return std::thread(std::move(body));
    });
    auto finished = std::make_shared<std::atomic<bool>>(false);
    {
        WorkerThread gone([finished] { *finished = true; }, {}, WorkerThread::Start::Aside);
    }
    *gate = true;
    EXPECT_TRUE(Eventually([&] { return finished->load(); }));
    WorkerThread::SetFactory(saved);
}

}  // namespace
