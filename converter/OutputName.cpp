#include "converter/OutputName.h"

std::string TargetBaseName(const std::string& source)
{
    const std::size_t slash = source.rfind('/');
    std::string name = slash == std::string::npos ? source : source.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos)
        name.erase(dot);
    return name;
}

std::string ChooseTargetPath(const std::string& folder, const std::string& source,
                             const std::string& extension,
                             const std::function<bool(const std::string&)>& exists)
{
    const std::string base = TargetBaseName(source);
    std::string candidate = folder + base + extension;
    for (long long n = 0; exists(candidate); ++n)
        candidate = folder + base + "-" + std::to_string(n) + extension;
    return candidate;
}
