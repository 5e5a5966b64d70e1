#pragma once
// What the encoder tells on its progress channel while it converts, line by line:
// "progress PERCENT LEFT DONE", "done", "failed REASON", "stopped". Fields after the
// known ones, and lines of words not known, are left for later versions.

#include <optional>
#include <string>
#include <string_view>

// How far a conversion has got, as the programs show it.
struct EncoderProgress {
    std::optional<int> percent;      // 0 to 100; none while the source's length is unknown
    std::optional<int> secondsLeft;  // none while unknown

    bool operator==(const EncoderProgress&) const = default;
};

struct ChannelLine {
    enum class Kind { Progress, Done, Failed, Stopped, Unknown };

    Kind kind = Kind::Unknown;
    EncoderProgress progress;  // Progress
    std::string reason;        // Failed

    bool operator==(const ChannelLine&) const = default;
};

// One line without its "\n". A progress line whose figures are no numbers is Unknown.
ChannelLine ParseChannelLine(std::string_view line);
