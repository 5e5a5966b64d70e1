#pragma once
// Reads the report ffmpeg writes with "-progress": blocks of key=value lines, each
// ended by a "progress=continue" or "progress=end" line.

#include <optional>
#include <string>
#include <string_view>

class FfmpegProgress {
public:
    // Takes the next piece of the report, cut anywhere. Returns the position (seconds of
    // output written) of the last block this piece completed, if it completed one that
    // tells a position.
    std::optional<double> Feed(std::string_view chunk);

private:
    std::string m_pending;  // a line not ended yet
    std::optional<double> m_position;
};
