#include "fetch/SpeedMeter.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

using namespace std::chrono_literals;

TEST(SpeedMeter, ToldAtMostFourTimesASecondOverTheLastSecondsAndAlwaysAtTheEnd)
{
    const SpeedMeter::Clock::time_point start{};
    SpeedMeter meter(start);
    // milliseconds since the start, bytes so far -> speed told
    const std::tuple<int, std::int64_t, std::optional<std::int64_t>> updates[] = {
        {100, 100000, std::nullopt},  // too soon
        {250, 250000, 1000000},
        {400, 400000, std::nullopt},  // too soon after the last
        {500, 500000, std::nullopt},  // due, but the same speed
        {1000, 2000000, 2000000},
        {5250, 5250000, 1000000},  // five seconds back: the sample at 250 ms
        // From the last sample at least five seconds old: 3.5 MB since 1000 ms.
        {6250, 5500000, 666666},
    };
    for (const auto& [ms, bytes, told] : updates)
        EXPECT_EQ(meter.Update(start + std::chrono::milliseconds(ms), bytes), told) << ms;
    // The end is told even when it comes right after a report, unless it says the same.
    EXPECT_EQ(meter.Last(start + 6300ms, 5500000), 660377);
    EXPECT_EQ(meter.Last(start + 6300ms, 5500000), std::nullopt);
}

}  // namespace
