#include "fetch/VideoAddress.h"

#include <algorithm>

#include "convert/VideoFileTypes.h"
#include "fetch/WatchUrl.h"

namespace {

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view head)
{
    return text.size() >= head.size() &&
           std::equal(head.begin(), head.end(), text.begin(), [](char h, char t) { return h == Lower(t); });
}

// The path of an http(s) address without its query and fragment; nothing when the text
// is no such address.
bool SplitPath(std::string_view text, std::string_view& path)
{
    std::size_t rest = 0;
    if (StartsWithIgnoringCase(text, "http://"))
        rest = 7;
    else if (StartsWithIgnoringCase(text, "https://"))
        rest = 8;
    else
        return false;
    if (std::any_of(text.begin(), text.end(),
                    [](char c) { return static_cast<unsigned char>(c) <= ' ' || c == 0x7f; }))
        return false;
    const std::string_view afterScheme = text.substr(rest);
    const auto hostEnd = afterScheme.find_first_of("/?#");
    if (hostEnd == 0 || afterScheme.empty())
        return false;
    if (hostEnd == std::string_view::npos || afterScheme[hostEnd] != '/')
        return false;
    path = afterScheme.substr(hostEnd);
    path = path.substr(0, path.find_first_of("?#"));
    return true;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = Lower(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string PercentDecoded(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
            HexValue(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

// Cuts `text` to at most `size` bytes without splitting a UTF-8 sequence.
std::string_view CutAtCharacter(std::string_view text, std::size_t size)
{
    if (text.size() <= size)
        return text;
    while (size > 0 && (static_cast<unsigned char>(text[size]) & 0xC0) == 0x80)
        --size;
    return text.substr(0, size);
}

}  // namespace

bool IsDirectVideoAddress(std::string_view text)
{
    std::string_view path;
    return SplitPath(text, path) && HasVideoExtension(path);
}

bool IsAcceptedTaskAddress(std::string_view text, std::string_view serviceHost)
{
    std::string id;
    return ParseWatchUrl(text, id, serviceHost) || IsDirectVideoAddress(text);
}

std::string SuggestedFileName(std::string_view address, std::size_t maxBytes)
{
    std::string_view path;
    if (!SplitPath(address, path) || !HasVideoExtension(path))
        return {};
    std::string name = PercentDecoded(path.substr(path.find_last_of('/') + 1));
    for (char& c : name)
        if (c == '/' || static_cast<unsigned char>(c) < ' ' || c == 0x7f)
            c = '_';
    // Decoding only turns escapes into bytes, so the extension the address ends with is still there.
    const std::size_t extensionSize = VideoExtensionOf(name).size();
    if (name.size() > maxBytes && maxBytes > extensionSize) {
        const std::string extension = name.substr(name.size() - extensionSize);
        name = std::string(CutAtCharacter(std::string_view(name).substr(0, name.size() - extensionSize),
                                          maxBytes - extensionSize)) +
               extension;
    }
    // Neither a hidden file nor one that reads as an option.
    if (name.front() == '.' || name.front() == '-')
        name.front() = '_';
    return name;
}
