#include "fetch/WatchUrl.h"

#include "fetch/ServiceConfig.h"

namespace {

// Byte-wise ASCII: bytes of multi-byte UTF-8 characters stay as they are.
char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsControl(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F;
}

}  // namespace

std::string WatchUrlPrefix(std::string_view host)
{
    std::string prefix = "http://";
    for (const char c : host)
        prefix.push_back(LowerAscii(c));
    prefix.append("/watch?v=");
    return prefix;
}

bool ParseWatchUrl(std::string_view text, std::string& id, std::string_view host)
{
    const std::string prefix = WatchUrlPrefix(host);
    if (text.size() <= prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (LowerAscii(text[i]) != prefix[i])
            return false;
    }
    const std::string_view rest = text.substr(prefix.size());
    for (const char c : rest) {
        if (IsControl(c))
            return false;
    }
    id.assign(rest);
    return true;
}

bool ParseWatchUrl(std::string_view text, std::string& id)
{
    return ParseWatchUrl(text, id, ServiceConfig::Current().serviceHost);
}
