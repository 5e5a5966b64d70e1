#include "encoder/FfmpegProgress.h"

#include <charconv>

#include "encoder/TextCuts.h"

namespace {

constexpr std::size_t kLongestLine = 4096;

// Microseconds, as "out_time_us" gives them; "N/A" before the first packet.
std::optional<double> Seconds(std::string_view micro)
{
    long long value = 0;
    auto [end, ec] = std::from_chars(micro.data(), micro.data() + micro.size(), value);
    if (ec != std::errc() || end != micro.data() + micro.size())
        return std::nullopt;
    return value < 0 ? 0.0 : static_cast<double>(value) / 1e6;
}

}  // namespace

std::optional<double> FfmpegProgress::Feed(std::string_view chunk)
{
    std::optional<double> reported;
    m_pending.append(chunk);
    std::string_view text = m_pending;
    // Only whole lines: the last piece waits for the rest of its line.
    while (text.find('\n') != std::string_view::npos) {
        const std::string_view line = TakeLine(text);
        if (line.starts_with("out_time_us=")) {
            if (auto seconds = Seconds(line.substr(line.find('=') + 1)))
                m_position = seconds;
        } else if (line.starts_with("progress=") && m_position) {
            reported = m_position;
        }
    }
    m_pending.erase(0, m_pending.size() - text.size());
    // ffmpeg's lines are short; anything this long is no report of it.
    if (m_pending.size() > kLongestLine)
        m_pending.clear();
    return reported;
}
