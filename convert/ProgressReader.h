#pragma once
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "convert/EncoderProgress.h"

class EncoderRunObserver;

// Turns the bytes of the encoder's progress channel into progress reports for a run's
// observer: at most four a second, repeats left out, the last figures always delivered
// (Flush), and the reason of a "failed" line kept for the outcome.
class ProgressReader {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kLeastInterval{250};

    explicit ProgressReader(EncoderRunObserver& observer) : m_observer(observer) {}

    // Bytes as they came, in pieces of any size; a line counts once it is complete.
    void Take(std::string_view bytes, Clock::time_point now);
    // Delivers figures held back whose time has come.
    void Tick(Clock::time_point now);
    // When Tick has something to deliver; none while nothing is held back.
    std::optional<Clock::time_point> NextDue() const;
    // Delivers what is held back at once: the run is ending.
    void Flush();
    const std::string& FailedReason() const { return m_failedReason; }

private:
    void Offer(const EncoderProgress& progress, Clock::time_point now);
    void Deliver(EncoderProgress progress, Clock::time_point now);

    EncoderRunObserver& m_observer;
    std::string m_partial;
    std::optional<EncoderProgress> m_held;
    std::optional<EncoderProgress> m_delivered;
    std::optional<Clock::time_point> m_deliveredAt;
    std::string m_failedReason;
};
