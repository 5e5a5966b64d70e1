#include "convert/VideoFileTypes.h"

#include <algorithm>

namespace {

bool EndsWithIgnoringCase(std::string_view text, std::string_view tail)
{
    if (text.size() < tail.size())
        return false;
    return std::equal(
        tail.begin(), tail.end(), text.end() - static_cast<std::ptrdiff_t>(tail.size()), [](char a, char b) {
            const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
            return lower(a) == lower(b);
        });
}

}  // namespace

std::string_view VideoExtensionOf(std::string_view name)
{
    // A folder named "clip.mp4/" is no file.
    const auto slash = name.find_last_of('/');
    const std::string_view base = slash == std::string_view::npos ? name : name.substr(slash + 1);
    for (const std::string_view extension : kVideoExtensions)
        if (base.size() > extension.size() && EndsWithIgnoringCase(base, extension))
            return base.substr(base.size() - extension.size());
    return {};
}

bool HasVideoExtension(std::string_view name)
{
    return !VideoExtensionOf(name).empty();
}
