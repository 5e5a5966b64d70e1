#include "platform/Text.h"

#include <unistd.h>
#include <cerrno>
#include <limits>

namespace platform {

namespace {

template <typename Drop>
std::string_view TrimWith(std::string_view text, Drop drop)
{
    while (!text.empty() && drop(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && drop(text.back()))
        text.remove_suffix(1);
    return text;
}

}  // namespace

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsWhiteSpace(char c)
{
    return IsBlank(c) || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view TrimBlanks(std::string_view text)
{
    return TrimWith(text, IsBlank);
}

std::string_view TrimWhiteSpace(std::string_view text)
{
    return TrimWith(text, IsWhiteSpace);
}

char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    return true;
}

std::int64_t ParseLeadingDecimal(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    // Accumulated on the negative side, which holds one more value than the positive.
    using Limits = std::numeric_limits<std::int64_t>;
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        if (value < (Limits::min() + digit) / 10)
            return negative ? Limits::min() : Limits::max();
        value = value * 10 - digit;
    }
    if (negative)
        return value;
    return value == Limits::min() ? Limits::max() : -value;
}

bool WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace platform
