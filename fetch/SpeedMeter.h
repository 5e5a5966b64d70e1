#pragma once
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>

// A transfer's speed over its last few seconds, and when to tell it: at most four times
// a second, never the same value twice in a row, and the last one always.
class SpeedMeter {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kInterval{250};
    static constexpr std::chrono::seconds kWindow{5};

    explicit SpeedMeter(Clock::time_point start);

    // `bytes` have come since the start. The speed in bytes per second when one is due.
    std::optional<std::int64_t> Update(Clock::time_point now, std::int64_t bytes);
    // The speed at the end, unless it is the one told last.
    std::optional<std::int64_t> Last(Clock::time_point now, std::int64_t bytes);

private:
    struct Sample {
        Clock::time_point at;
        std::int64_t bytes = 0;
    };
    std::optional<std::int64_t> Measure(Clock::time_point now, std::int64_t bytes);

    std::deque<Sample> m_samples;
    Clock::time_point m_measured;
    std::int64_t m_told = -1;
};
