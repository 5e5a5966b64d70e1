#pragma once
// The progress channel: what ostrand tells whoever started it while it converts, on the
// descriptor named by "-progress-fd N" (usually the write end of a pipe the caller
// left open in ostrand; it is not passed on to ffmpeg).
//
// The format, for readers. ASCII lines, each ended by "\n", fields separated by one
// blank. A reader ignores fields after those it knows, and lines that begin with a
// word it does not know: later versions may add both.
//
//   progress PERCENT LEFT DONE
//       PERCENT  whole percent converted, "0" to "100", never falling; "-" when the
//                length of the source is unknown
//       LEFT     estimated whole seconds still to go; "-" while unknown
//       DONE     seconds of the source converted so far, one decimal ("12.5")
//   done            the conversion finished and the target is complete
//   failed REASON   it did not and the target was removed; REASON is the rest of the
//                   line, one line of text ("source not found", "disk full",
//                   "needs the wmv2 encoder", or the first line of ffmpeg's error)
//   stopped         a stop signal ended it and the target was removed
//
// At most four progress lines a second. Exactly one of done, failed and stopped is
// written, as the last line. When the length is known, a finished conversion writes
// "progress 100 0 LENGTH" right before "done"; before that, PERCENT stays below 100.
// Progress lines that a reader is too slow to take are dropped; the last two lines wait
// for it (a few seconds at most).
//
// Example:  progress 0 - 0.0 / progress 31 6 18.6 / progress 64 3 38.4 /
//           progress 100 0 60.0 / done

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

// What one progress line tells.
struct ProgressFigures {
    std::optional<int> percent;
    std::optional<int> secondsLeft;
    double position = 0;  // seconds converted

    bool operator==(const ProgressFigures&) const = default;
};

// The figures at `position` seconds of a source lasting `duration` (0: unknown), after
// `elapsed` seconds of converting. Below 100 percent until the end is confirmed.
ProgressFigures EstimateProgress(double position, double duration, double elapsed);

// The lines, each with its "\n". A reason is made one line of printable text.
std::string ProgressLine(const ProgressFigures& figures);
std::string FailedLine(std::string_view reason);

class ProgressChannel {
public:
    using Clock = std::chrono::steady_clock;

    // Without a descriptor every report is dropped.
    ProgressChannel() = default;
    ProgressChannel(const ProgressChannel&) = delete;
    ProgressChannel& operator=(const ProgressChannel&) = delete;

    // Takes `fd` as the channel when it is open for writing.
    bool Attach(int fd, std::string* why);
    bool IsOpen() const { return m_fd >= 0; }

    // When converting starts; `duration` in seconds, 0 when unknown.
    void Start(double duration, Clock::time_point now);
    // Where ffmpeg has got to; written only if the last line is old enough.
    void Position(double seconds, Clock::time_point now);

    void Done();
    void Failed(std::string_view reason);
    void Stopped();

    // The least time between two progress lines: with the final one this makes at most
    // four in any second.
    static constexpr std::chrono::milliseconds kLeastInterval{334};

private:
    void Write(const std::string& line, bool mustArrive);

    int m_fd = -1;
    double m_duration = 0;
    Clock::time_point m_startedAt;
    std::optional<Clock::time_point> m_lastLineAt;
    double m_position = 0;  // the furthest so far: what was converted stays converted
};
