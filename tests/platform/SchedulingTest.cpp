#include "platform/Scheduling.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

namespace {

TEST(Scheduling, ALoweredThreadLeavesTheOthersAsTheyWere)
{
    const int before = platform::ThreadNice();
    int lowered = before;
    std::thread worker([&] {
        platform::LowerThreadPriority();
        lowered = platform::ThreadNice();
    });
    worker.join();
    EXPECT_EQ(lowered, std::min(before + platform::kBackgroundNice, 19));
    EXPECT_EQ(platform::ThreadNice(), before);
}

}  // namespace
