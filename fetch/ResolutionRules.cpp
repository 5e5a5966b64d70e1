#include "fetch/ResolutionRules.h"

#include "platform/Text.h"

namespace {

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

}  // namespace

std::string EncodeAddressBytes(std::string_view text, bool keepHash)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto u = static_cast<unsigned char>(text[i]);
        const bool escape =
            text[i] == '%' && i + 2 < text.size() && IsHexDigit(text[i + 1]) && IsHexDigit(text[i + 2]);
        if (u <= 0x20 || u >= 0x7F || (text[i] == '#' && !keepHash) || (text[i] == '%' && !escape)) {
            out.push_back('%');
            out.push_back(kHex[u >> 4]);
            out.push_back(kHex[u & 0xF]);
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

std::optional<std::string> FindLocationValue(std::string_view rawHeaders)
{
    constexpr std::string_view kName = "Location:";
    const auto at = rawHeaders.find(kName);
    if (at == std::string_view::npos)
        return std::nullopt;
    // The closing empty line is trimmed away too, so a Location that is the last
    // header has no line feed after it.
    const std::string_view rest = platform::TrimWhiteSpace(rawHeaders.substr(at + kName.size()));
    const auto lf = rest.find('\n');
    if (lf == std::string_view::npos || lf == 0)
        return std::nullopt;
    return std::string(platform::TrimWhiteSpace(rest.substr(0, lf)));
}

bool IsServiceRedirect(int statusCode)
{
    return statusCode >= 300 && statusCode <= 306;
}

std::optional<std::string> FindTokenTail(std::string_view firstRedirect)
{
    const auto at = firstRedirect.find("&t=");
    if (at == std::string_view::npos || at == 0)
        return std::nullopt;
    return std::string(firstRedirect.substr(at));
}

std::string BuildFirstRequestAddress(std::string_view serviceHost, std::string_view videoId)
{
    std::string address = "http://";
    address.append(serviceHost).append("/v/").append(videoId).append("&feature=dir");
    return address;
}

std::string BuildSecondRequestAddress(std::string_view serviceHost, std::string_view videoId,
                                      std::string_view tokenTail)
{
    std::string address = "http://";
    address.append(serviceHost).append("/get_video?video_id=").append(videoId).append(tokenTail);
    return address;
}

std::optional<std::string> BuildVideoRequestAddress(std::string_view secondRedirect,
                                                    std::string_view secondRequestAddress,
                                                    std::string_view videoId, std::string_view cdnDomain)
{
    if (cdnDomain.empty() || secondRedirect.find(cdnDomain) == std::string_view::npos)
        return std::string(secondRequestAddress);

    constexpr std::string_view kOrigin = "&origin=";
    const auto at = secondRedirect.find(kOrigin);
    if (at == std::string_view::npos || at == 0)
        return std::nullopt;
    std::string_view host = platform::TrimWhiteSpace(secondRedirect.substr(at + kOrigin.size()));
    std::string_view rest;
    const auto amp = host.find('&');
    if (amp != std::string_view::npos && amp > 0) {
        rest = host.substr(amp);
        host = host.substr(0, amp);
    }
    std::string address = "http://";
    address.append(host).append("/get_video?video_id=").append(videoId).append(rest);
    return address;
}

std::int64_t ProgressHundredths(std::int64_t downloaded, std::int64_t size)
{
    if (size <= 0)
        return 0;
    return static_cast<std::int64_t>(static_cast<double>(downloaded) * 100.0 / static_cast<double>(size) *
                                     100.0);
}

std::string CreateFileErrorText(std::string_view path)
{
    std::string text = "Can not create the file \"";
    text.append(path).append("\", file may be used by another thread.");
    return text;
}
