#pragma once
// Which profiles the installed encoder can make, as "ostrand -list-profiles" tells. Asked
// once per run on a thread of its own, so no window waits for it. Until the answer is
// in, and when the encoder cannot be asked at all, every profile counts as available: a
// conversion then fails at once with the encoder's own reason.

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/AutoResetEvent.h"

namespace platform {
class WorkerThread;
}

// A profile's name -> why the encoder cannot make it.
using UnavailableProfiles = std::map<std::string, std::string>;

// Reads a listing: "ok<TAB>NAME" and "unavailable<TAB>NAME<TAB>REASON" lines; lines of
// other words are left for later versions. None when the text holds no listing or a
// broken line.
std::optional<UnavailableProfiles> ParseProfileListing(std::string_view text);

// Runs `encoderPath -list-profiles` for at most `timeout`; a signal of `cancel` ends it at
// once. None when it cannot be started, takes too long, ends badly or lists nothing.
std::optional<UnavailableProfiles> AskEncoderProfiles(const std::string& encoderPath,
                                                      std::chrono::milliseconds timeout,
                                                      platform::AutoResetEvent& cancel);

// A profile's name as the profile lists show it: followed by the reason, in
// parentheses, when it cannot be made.
std::string ProfileDisplayName(const std::string& name, const std::string& reason);

// The answer for the run, shared by the windows and the task engine. Thread-safe.
class EncoderProfiles {
public:
    EncoderProfiles();
    // Ends a question still open and waits for its thread.
    ~EncoderProfiles();
    EncoderProfiles(const EncoderProfiles&) = delete;
    EncoderProfiles& operator=(const EncoderProfiles&) = delete;

    // Asks the encoder on a thread of its own, once; `answered` runs on that thread when
    // an answer has come in (not when none came).
    void Ask(const std::string& encoderPath, std::chrono::milliseconds timeout,
             std::function<void()> answered = {});
    void Learn(UnavailableProfiles unavailable);
    // Why the profile cannot be made; empty when it can, or while nothing is known.
    std::string UnavailableReason(const std::string& name) const;

    // How long a run waits for the encoder's answer at most.
    static constexpr std::chrono::milliseconds kAskTimeout{10000};

private:
    mutable std::mutex m_mutex;
    UnavailableProfiles m_unavailable;
    platform::AutoResetEvent m_cancel;
    std::unique_ptr<platform::WorkerThread> m_thread;
};
