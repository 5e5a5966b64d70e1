#include "fetch/ResumeRules.h"

#include "platform/Text.h"

namespace {

// Digits only, at least one.
std::optional<std::int64_t> ParseCount(std::string_view text)
{
    text = platform::TrimBlanks(text);
    if (text.empty() || text.size() > 18)
        return std::nullopt;
    for (const char c : text)
        if (c < '0' || c > '9')
            return std::nullopt;
    return platform::ParseLeadingDecimal(text);
}

}  // namespace

std::optional<std::int64_t> ResumeOffset(std::int64_t partialLength, std::int64_t knownSize,
                                         bool sizeFromAnswer)
{
    if (partialLength <= 0)
        return std::nullopt;
    if (knownSize > 0) {
        if (partialLength < knownSize)
            return partialLength;
        if (partialLength == knownSize)
            return knownSize - 1;
        return std::nullopt;
    }
    if (sizeFromAnswer)
        return partialLength - 1;
    return std::nullopt;
}

std::optional<ContentRange> ParseContentRange(std::string_view value)
{
    value = platform::TrimWhiteSpace(value);
    constexpr std::string_view kUnit = "bytes ";
    if (value.size() < kUnit.size())
        return std::nullopt;
    for (std::size_t i = 0; i < kUnit.size(); ++i) {
        const char c = value[i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != kUnit[i])
            return std::nullopt;
    }
    value.remove_prefix(kUnit.size());
    const auto dash = value.find('-');
    const auto slash = value.find('/');
    if (dash == std::string_view::npos || slash == std::string_view::npos || slash < dash)
        return std::nullopt;
    const auto first = ParseCount(value.substr(0, dash));
    const auto last = ParseCount(value.substr(dash + 1, slash - dash - 1));
    const auto total = ParseCount(value.substr(slash + 1));
    if (!first || !last || !total || *first > *last || *last >= *total)
        return std::nullopt;
    return ContentRange{*first, *last, *total};
}

std::optional<std::int64_t> ContinuedSize(int statusCode, std::optional<std::string_view> contentRange,
                                          std::int64_t from, std::int64_t knownSize)
{
    if (statusCode != 206 || !contentRange)
        return std::nullopt;
    const std::optional<ContentRange> range = ParseContentRange(*contentRange);
    if (!range || range->first != from || range->last != range->total - 1)
        return std::nullopt;
    if (knownSize > 0 && range->total != knownSize)
        return std::nullopt;
    return range->total;
}
