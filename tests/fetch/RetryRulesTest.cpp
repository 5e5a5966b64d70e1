#include "fetch/RetryRules.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

using namespace std::chrono_literals;

TEST(RetryRules, WhichAnswersPassAndHowLongEachWaitIs)
{
    for (const int code : {200, 404, 407, 408, 429, 430, 499, 500, 503, 599, 600})
        EXPECT_EQ(IsTransientStatus(code), code == 408 || code == 429 || (code >= 500 && code < 600)) << code;

    const RetryPolicy policy;
    // retry, Retry-After, random -> wait
    const std::tuple<int, std::optional<std::chrono::seconds>, double, std::chrono::milliseconds> waits[] = {
        {1, std::nullopt, 0.0, 1000ms},
        {5, std::nullopt, 0.0, 16000ms},
        {3, std::nullopt, 1.0, 3600ms},  // a tenth shorter at most
        {40, std::nullopt, 0.0, 300s},   // doubling stops at the cap
        {1, 7s, 0.5, 7s},
        {1, 3600s, 0.0, 300s},
    };
    for (const auto& [retry, after, random, wait] : waits)
        EXPECT_EQ(RetryWait(policy, retry, after, random), wait) << retry << " " << random;

    constexpr std::time_t kNow = 784111777;  // Sun, 06 Nov 1994 08:49:37 GMT
    const std::tuple<const char*, std::optional<std::chrono::seconds>> afters[] = {
        {" 120 ", 120s},
        {"Sun, 06 Nov 1994 08:50:07 GMT", 30s},
        {"Sun, 06 Nov 1994 08:49:00 GMT", 0s},  // a date gone by: at once
        {"Sunday, 06-Nov-94 08:49:37 GMT", std::nullopt},
        {"Sun, 06 Nov 1994 08:49:37 CET", std::nullopt},
        {"-5", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [value, seconds] : afters)
        EXPECT_EQ(ParseRetryAfter(value, kNow), seconds) << value;
}

}  // namespace
