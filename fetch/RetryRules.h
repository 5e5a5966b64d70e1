#pragma once
// When a failed download is tried again, and after how long.

#include <chrono>
#include <ctime>
#include <optional>
#include <string_view>

struct RetryPolicy {
    int maxRetries = 0;  // 0: a failure is final at once
    std::chrono::milliseconds firstWait{1000};
    std::chrono::seconds longestWait{300};
    // The real waits are the planned ones times this; tests shrink it, and the status
    // still shows the planned wait.
    double waitScale = 1.0;
};

inline constexpr int kMostRetries = 100;

// 5xx, 408 and 429: answers that may be different a little later.
bool IsTransientStatus(int statusCode);

// The wait before retry `retry` (1 for the first): firstWait doubled for each retry
// before it, less up to a tenth by `random` (0 to 1) so that many downloads failing
// together do not come back together, or the service's Retry-After when it sent one;
// never longer than longestWait.
std::chrono::milliseconds RetryWait(const RetryPolicy& policy, int retry,
                                    std::optional<std::chrono::seconds> retryAfter, double random);

// A Retry-After value: whole seconds, or an HTTP date counted from `now`. Nothing for
// anything else.
std::optional<std::chrono::seconds> ParseRetryAfter(std::string_view value, std::time_t now);
