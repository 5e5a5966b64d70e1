#include "convert/EncoderProfiles.h"

#include <utility>
#include <vector>

#include "platform/Pipe.h"
#include "platform/Process.h"
#include "platform/WorkerThread.h"

namespace {

using Clock = std::chrono::steady_clock;

// A listing is a few lines; more than this is no listing.
constexpr std::size_t kLongestListing = 1 << 20;
// The exit statuses of a listing: ffmpeg asked, and ffmpeg missing (every converting
// profile then listed as unavailable, with that reason).
constexpr int kListed = 0;
constexpr int kListedWithoutFfmpeg = 3;

std::vector<std::string_view> Split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    for (std::size_t at = 0;;) {
        const std::size_t end = text.find(separator, at);
        parts.push_back(text.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at));
        if (end == std::string_view::npos)
            return parts;
        at = end + 1;
    }
}

}  // namespace

std::optional<UnavailableProfiles> ParseProfileListing(std::string_view text)
{
    UnavailableProfiles unavailable;
    bool listed = false;
    for (const std::string_view line : Split(text, '\n')) {
        const std::vector<std::string_view> fields = Split(line, '\t');
        if (fields[0] == "ok") {
            if (fields.size() < 2 || fields[1].empty())
                return std::nullopt;
        } else if (fields[0] == "unavailable") {
            if (fields.size() < 3 || fields[1].empty() || fields[2].empty())
                return std::nullopt;
            unavailable[std::string(fields[1])] = std::string(fields[2]);
        } else {
            continue;
        }
        listed = true;
    }
    if (!listed)
        return std::nullopt;
    return unavailable;
}

std::optional<UnavailableProfiles> AskEncoderProfiles(const std::string& encoderPath,
                                                      std::chrono::milliseconds timeout,
                                                      platform::AutoResetEvent& cancel)
{
    const auto until = Clock::now() + timeout;
    platform::Pipe output;
    platform::Process encoder;  // ended and reaped on every way out
    if (!output.Open(nullptr) ||
        !encoder.Start({encoderPath, "-list-profiles"}, nullptr, {{output.WriteEnd(), 1}}))
        return std::nullopt;
    output.CloseWriteEnd();
    std::string text;
    while (!output.HasEnded()) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        const platform::Pipe::Wake wake = output.Wait(&cancel, left);
        if (wake == platform::Pipe::Wake::Event)
            return std::nullopt;
        if (wake == platform::Pipe::Wake::Input)
            output.Read(text);
        if (text.size() > kLongestListing)
            return std::nullopt;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
    if (!encoder.WaitFor(left))
        return std::nullopt;
    const platform::ProcessExit exit = *encoder.Exit();
    if (exit.signal != 0 || (exit.code != kListed && exit.code != kListedWithoutFfmpeg))
        return std::nullopt;
    return ParseProfileListing(text);
}

std::string ProfileDisplayName(const std::string& name, const std::string& reason)
{
    return reason.empty() ? name : name + " (" + reason + ")";
}

EncoderProfiles::EncoderProfiles() = default;

EncoderProfiles::~EncoderProfiles()
{
    if (m_thread) {
        m_cancel.Set();
        m_thread->Join();
    }
}

void EncoderProfiles::Ask(const std::string& encoderPath, std::chrono::milliseconds timeout,
                          std::function<void()> answered)
{
    if (m_thread)
        return;
    m_thread = std::make_unique<platform::WorkerThread>(
        [this, encoderPath, timeout, answered = std::move(answered)] {
            auto unavailable = AskEncoderProfiles(encoderPath, timeout, m_cancel);
            if (!unavailable)
                return;
            Learn(std::move(*unavailable));
            if (answered)
                answered();
        });
}

void EncoderProfiles::Learn(UnavailableProfiles unavailable)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_unavailable = std::move(unavailable);
}

std::string EncoderProfiles::UnavailableReason(const std::string& name) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto found = m_unavailable.find(name);
    return found == m_unavailable.end() ? std::string() : found->second;
}
