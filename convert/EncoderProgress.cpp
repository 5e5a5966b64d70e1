#include "convert/EncoderProgress.h"

#include <algorithm>
#include <charconv>
#include <vector>

namespace {

std::vector<std::string_view> Words(std::string_view line)
{
    std::vector<std::string_view> words;
    for (std::size_t at = 0; at < line.size();) {
        const std::size_t end = std::min(line.find(' ', at), line.size());
        if (end > at)
            words.push_back(line.substr(at, end - at));
        at = end + 1;
    }
    return words;
}

// "-" is unknown; anything else must be a whole number from 0 up.
bool ReadFigure(std::string_view word, int most, std::optional<int>& figure)
{
    if (word == "-") {
        figure.reset();
        return true;
    }
    int value = 0;
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (ec != std::errc() || end != word.data() + word.size() || value < 0)
        return false;
    figure = std::min(value, most);
    return true;
}

}  // namespace

ChannelLine ParseChannelLine(std::string_view line)
{
    ChannelLine parsed;
    const std::vector<std::string_view> words = Words(line);
    if (words.empty())
        return parsed;
    if (words[0] == "progress") {
        if (words.size() >= 3 && ReadFigure(words[1], 100, parsed.progress.percent) &&
            ReadFigure(words[2], 1'000'000'000, parsed.progress.secondsLeft))
            parsed.kind = ChannelLine::Kind::Progress;
        else
            parsed.progress = {};
    } else if (words[0] == "done") {
        parsed.kind = ChannelLine::Kind::Done;
    } else if (words[0] == "stopped") {
        parsed.kind = ChannelLine::Kind::Stopped;
    } else if (words[0] == "failed") {
        parsed.kind = ChannelLine::Kind::Failed;
        const std::size_t start = line.find("failed") + 6;
        const std::size_t first = line.find_first_not_of(' ', start);
        parsed.reason = first == std::string_view::npos ? std::string() : std::string(line.substr(first));
    }
    return parsed;
}
