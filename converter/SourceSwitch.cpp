#include "converter/SourceSwitch.h"

#include <algorithm>
#include <string_view>

namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

std::optional<std::string> SourceFromArguments(const std::vector<std::string>& arguments)
{
    if (arguments.size() != 2 || !EqualsIgnoringCase(arguments[0], "-source"))
        return std::nullopt;
    return arguments[1];
}
