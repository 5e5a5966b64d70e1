#include "platform/AutoResetEvent.h"

#include <gtest/gtest.h>
#include <thread>

namespace {

using namespace std::chrono_literals;
using platform::AutoResetEvent;

TEST(AutoResetEvent, OneWaitConsumesOneSignalAndASignalWakesAWait)
{
    AutoResetEvent ev;
    EXPECT_FALSE(ev.TryWait());
    ev.Set();
    ev.Set();  // signals do not count up
    EXPECT_TRUE(ev.TryWait());
    EXPECT_FALSE(ev.TryWait());
    ev.Set();
    EXPECT_TRUE(ev.Wait(-5ms));  // a negative limit behaves as a zero-time test
    EXPECT_FALSE(ev.Wait(0ms));
    ev.Set();
    ev.Reset();
    EXPECT_FALSE(ev.TryWait());

    EXPECT_FALSE(ev.Wait(150ms));
    std::thread setter([&] {
        std::this_thread::sleep_for(50ms);
        ev.Set();
    });
    EXPECT_TRUE(ev.Wait(10s));
    setter.join();
    EXPECT_FALSE(ev.TryWait());
}

}  // namespace
