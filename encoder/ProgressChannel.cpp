#include "encoder/ProgressChannel.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>

namespace {

// How long the last lines wait for a reader that does not read.
constexpr std::chrono::seconds kFinalLineWait{5};

std::string Field(const std::optional<int>& value)
{
    return value ? std::to_string(*value) : "-";
}

std::string Seconds(double value)
{
    char text[32];
    auto [end, ec] =
        std::to_chars(text, text + sizeof text, std::max(0.0, value), std::chars_format::fixed, 1);
    return ec == std::errc() ? std::string(text, end) : "0.0";
}

}  // namespace

ProgressFigures EstimateProgress(double position, double duration, double elapsed)
{
    ProgressFigures figures;
    figures.position = std::max(0.0, position);
    if (duration <= 0)
        return figures;
    figures.percent = std::clamp(static_cast<int>(std::floor(figures.position / duration * 100)), 0, 99);
    if (figures.position > 0 && elapsed > 0) {
        const double left = std::max(0.0, duration - figures.position) * elapsed / figures.position;
        figures.secondsLeft = static_cast<int>(std::min(std::ceil(left), 1e9));
    }
    return figures;
}

std::string ProgressLine(const ProgressFigures& figures)
{
    return "progress " + Field(figures.percent) + " " + Field(figures.secondsLeft) + " " +
           Seconds(figures.position) + "\n";
}

std::string FailedLine(std::string_view reason)
{
    std::string line = "failed ";
    for (char c : reason)
        line.push_back(static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c);
    return line + "\n";
}

bool ProgressChannel::Attach(int fd, std::string* why)
{
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY) {
        *why = "descriptor " + std::to_string(fd) + " is not open for writing";
        return false;
    }
    // Ours alone: were ffmpeg to hold it too, a reader would see its end only with ffmpeg's.
    fcntl(fd, F_SETFD, fcntl(fd, F_GETFD) | FD_CLOEXEC);
    m_fd = fd;
    return true;
}

void ProgressChannel::Start(double duration, Clock::time_point now)
{
    m_duration = duration;
    m_startedAt = now;
    m_lastLineAt = now;
    Write(ProgressLine(EstimateProgress(0, m_duration, 0)), false);
}

void ProgressChannel::Position(double seconds, Clock::time_point now)
{
    if (m_lastLineAt && now - *m_lastLineAt < kLeastInterval)
        return;
    m_position = std::max(m_position, seconds);
    m_lastLineAt = now;
    const double elapsed = std::chrono::duration<double>(now - m_startedAt).count();
    Write(ProgressLine(EstimateProgress(m_position, m_duration, elapsed)), false);
}

void ProgressChannel::Done()
{
    if (m_duration > 0)
        Write(ProgressLine({100, 0, m_duration}), true);
    Write("done\n", true);
}

void ProgressChannel::Failed(std::string_view reason)
{
    Write(FailedLine(reason), true);
}

void ProgressChannel::Stopped()
{
    Write("stopped\n", true);
}

void ProgressChannel::Write(const std::string& line, bool mustArrive)
{
    const auto giveUpAt = Clock::now() + kFinalLineWait;
    std::size_t written = 0;
    while (m_fd >= 0 && written < line.size()) {
        // A pipe with room takes a short line whole and at once; a full one would block.
        pollfd fd = {m_fd, POLLOUT, 0};
        const bool waits = mustArrive || written > 0;  // half a line would garble the next
        int wait = 0;
        if (waits) {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(giveUpAt - Clock::now()).count();
            wait = static_cast<int>(std::max<long long>(0, left));
        }
        const int ready = poll(&fd, 1, wait);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0 && !waits)
            return;  // dropped: the reader is behind
        if (ready <= 0 || (fd.revents & (POLLERR | POLLNVAL)) != 0) {
            m_fd = -1;  // nobody reads any more, or never will in time
            return;
        }
        const ssize_t n = write(m_fd, line.data() + written, line.size() - written);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0) {
            m_fd = -1;
            return;
        }
        written += static_cast<std::size_t>(n);
    }
}
