#include "fetch/RetryRules.h"

#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "platform/Text.h"

bool IsTransientStatus(int statusCode)
{
    return statusCode == 408 || statusCode == 429 || (statusCode >= 500 && statusCode <= 599);
}

std::chrono::milliseconds RetryWait(const RetryPolicy& policy, int retry,
                                    std::optional<std::chrono::seconds> retryAfter, double random)
{
    using std::chrono::milliseconds;
    const milliseconds longest = policy.longestWait;
    if (retryAfter)
        return std::clamp<milliseconds>(*retryAfter, milliseconds(0), longest);
    // Past 2^20 the doubling has long passed any sensible cap.
    const double doubled =
        static_cast<double>(policy.firstWait.count()) * std::ldexp(1.0, std::clamp(retry - 1, 0, 20));
    // Shortened by up to a tenth, so a countdown in whole seconds starts at the planned one.
    const double jittered = doubled * (1.0 - 0.1 * std::clamp(random, 0.0, 1.0));
    return std::min(milliseconds(static_cast<milliseconds::rep>(jittered)), longest);
}

std::optional<std::chrono::seconds> ParseRetryAfter(std::string_view value, std::time_t now)
{
    const std::string_view text = platform::TrimWhiteSpace(value);
    if (text.empty())
        return std::nullopt;
    if (std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::chrono::seconds(platform::ParseLeadingDecimal(text));
    // "Sun, 06 Nov 1994 08:49:37 GMT", the only date form a service may send; read
    // without the locale, whose month names may be others.
    static constexpr std::string_view kMonths = "JanFebMarAprMayJunJulAugSepOctNovDec";
    const std::string copy(text);
    std::tm date{};
    char weekday[4] = {}, month[4] = {}, zone[4] = {};
    int consumed = 0;
    if (std::sscanf(copy.c_str(), "%3[A-Za-z], %d %3s %d %d:%d:%d %3s%n", weekday, &date.tm_mday, month,
                    &date.tm_year, &date.tm_hour, &date.tm_min, &date.tm_sec, zone, &consumed) != 8 ||
        static_cast<std::size_t>(consumed) != copy.size() || std::string_view(zone) != "GMT")
        return std::nullopt;
    const auto monthAt = kMonths.find(month);
    if (std::string_view(month).size() != 3 || monthAt == std::string_view::npos || monthAt % 3 != 0)
        return std::nullopt;
    date.tm_mon = static_cast<int>(monthAt / 3);
    date.tm_year -= 1900;
    const std::time_t at = ::timegm(&date);
    return std::chrono::seconds(std::max<std::time_t>(at - now, 0));
}
