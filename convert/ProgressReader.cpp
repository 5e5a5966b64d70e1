#include "convert/ProgressReader.h"

#include "convert/EncoderRun.h"

namespace {

// A line this long is no line of the channel; it is dropped rather than kept growing.
constexpr std::size_t kLongestLine = 4096;

}  // namespace

void ProgressReader::Take(std::string_view bytes, Clock::time_point now)
{
    m_partial.append(bytes);
    std::size_t start = 0;
    for (std::size_t end; (end = m_partial.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string_view line(m_partial.data() + start, end - start);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        const ChannelLine parsed = ParseChannelLine(line);
        if (parsed.kind == ChannelLine::Kind::Progress)
            Offer(parsed.progress, now);
        else if (parsed.kind == ChannelLine::Kind::Failed && m_failedReason.empty())
            m_failedReason = parsed.reason;
    }
    m_partial.erase(0, start);
    if (m_partial.size() > kLongestLine)
        m_partial.clear();
    Tick(now);
}

void ProgressReader::Offer(const EncoderProgress& progress, Clock::time_point now)
{
    if (m_delivered == progress) {
        m_held.reset();  // back where the reader last saw it: nothing new to tell
        return;
    }
    if (!m_deliveredAt || now - *m_deliveredAt >= kLeastInterval)
        Deliver(progress, now);
    else
        m_held = progress;
}

void ProgressReader::Tick(Clock::time_point now)
{
    if (const auto due = NextDue(); due && now >= *due)
        Deliver(*m_held, now);
}

std::optional<ProgressReader::Clock::time_point> ProgressReader::NextDue() const
{
    if (!m_held)
        return std::nullopt;
    return *m_deliveredAt + kLeastInterval;
}

void ProgressReader::Flush()
{
    if (m_held)
        Deliver(*m_held, Clock::now());
}

void ProgressReader::Deliver(EncoderProgress progress, Clock::time_point now)
{
    m_held.reset();
    m_delivered = progress;
    m_deliveredAt = now;
    m_observer.RunProgress(progress);
}
