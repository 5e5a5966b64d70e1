#pragma once
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

// Which of a worker's reports go to the mailbox. Progress and elapsed time change with
// every chunk, thousands of times a second on a fast line; each goes out when it changed
// and `interval` has passed since that code last went out, otherwise the newest value is
// held back. Held values go out, in the order they came, before any other report, so a
// status always follows the last values of the transfer it ends.
class ReportPacer {
public:
    using Clock = std::chrono::steady_clock;
    using Post = std::function<void(std::int32_t code, std::int64_t value)>;

    ReportPacer(Clock::duration interval, Post post);

    void Offer(std::int32_t code, std::int64_t value, Clock::time_point now = Clock::now());
    // Sends what is held once its interval has passed: called while the transfer waits on
    // the network, so a stalled download still shows how far it came.
    void PostDue(Clock::time_point now = Clock::now());

private:
    struct Paced {
        std::int32_t code = 0;
        std::optional<std::int64_t> posted;
        Clock::time_point postedAt;
        std::optional<std::int64_t> held;
        std::uint64_t heldOrder = 0;
    };

    void Emit(Paced& paced, std::int64_t value, Clock::time_point now);
    void FlushHeld(Clock::time_point now);

    const Clock::duration m_interval;
    const Post m_post;
    std::array<Paced, 2> m_paced;
    std::uint64_t m_offers = 0;
};
