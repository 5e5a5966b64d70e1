#include "fetch/SpeedMeter.h"

SpeedMeter::SpeedMeter(Clock::time_point start) : m_samples{{start, 0}}, m_measured(start) {}

std::optional<std::int64_t> SpeedMeter::Measure(Clock::time_point now, std::int64_t bytes)
{
    m_measured = now;
    m_samples.push_back({now, bytes});
    // The oldest sample kept is the last one at least a window old, so the span is the window.
    while (m_samples.size() > 2 && now - m_samples[1].at >= kWindow)
        m_samples.pop_front();
    const auto span = std::chrono::duration<double>(now - m_samples.front().at).count();
    if (span <= 0)
        return std::nullopt;
    const auto speed = static_cast<std::int64_t>(static_cast<double>(bytes - m_samples.front().bytes) / span);
    if (speed == m_told)
        return std::nullopt;
    m_told = speed;
    return speed;
}

std::optional<std::int64_t> SpeedMeter::Update(Clock::time_point now, std::int64_t bytes)
{
    if (now - m_measured < kInterval)
        return std::nullopt;
    return Measure(now, bytes);
}

std::optional<std::int64_t> SpeedMeter::Last(Clock::time_point now, std::int64_t bytes)
{
    return Measure(now, bytes);
}
