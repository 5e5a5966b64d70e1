#include "downloader/AddTaskRules.h"

#include <strings.h>

#include "convert/VideoFileTypes.h"
#include "fetch/VideoAddress.h"
#include "platform/Text.h"

namespace {

bool IsReserved(char c)
{
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F)
        return true;
    switch (c) {
    case '\\':
    case '/':
    case ':':
    case '*':
    case '?':
    case '"':
    case '<':
    case '>':
    case '|':
        return true;
    default:
        return false;
    }
}

bool IsUtf8Continuation(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

std::string NormaliseFolder(std::string_view typed, std::string_view home)
{
    std::string folder(platform::TrimWhiteSpace(typed));
    if (folder == "~" || folder.starts_with("~/"))
        folder = std::string(home) + folder.substr(1);
    if (folder.empty() || folder.front() != '/')
        return {};
    if (folder.back() != '/')
        folder.push_back('/');
    return folder;
}

std::string ChooseBaseName(bool autoRename, std::string_view typedName, std::string_view videoId)
{
    if (autoRename)
        return std::string(videoId);
    std::string name(platform::TrimWhiteSpace(typedName));
    return name.empty() ? std::string(videoId) : name;
}

std::string CleanBaseName(std::string_view name)
{
    std::string clean(name);
    for (char& c : clean) {
        if (IsReserved(c))
            c = '_';
    }
    if (clean.size() > kMaxBaseNameBytes) {
        std::size_t cut = kMaxBaseNameBytes;
        while (cut > 0 && IsUtf8Continuation(clean[cut]))
            --cut;
        clean.resize(cut);
    }
    return clean;
}

DirectName DirectDownloadName(std::string_view address)
{
    const std::string suggested = SuggestedFileName(address, kMaxBaseNameBytes);
    const std::string_view extension = VideoExtensionOf(suggested);
    if (extension.empty())
        return {};
    return {suggested.substr(0, suggested.size() - extension.size()), std::string(extension)};
}

SettledNames SettleFileNames(const std::string& folder, const std::string& base,
                             const std::string& sourceType, const std::string& targetType,
                             const PathOccupied& occupied)
{
    const bool converts = targetType != ".flv";
    const bool sameType = ::strcasecmp(sourceType.c_str(), targetType.c_str()) == 0;
    const auto namesFor = [&](const std::string& name) {
        const std::string source = folder + name + sourceType;
        if (!converts)
            return SettledNames{name, source, source};
        return SettledNames{name, source, folder + name + (sameType ? "-0" : "") + targetType};
    };
    SettledNames names = namesFor(base);
    for (int counter = 0; occupied(names.sourceFile) || occupied(names.targetFile); ++counter)
        names = namesFor(base + "(" + std::to_string(counter) + ")");
    return names;
}

ConvertJob ReadProfileChoice(const std::vector<ConvertProfile>& profiles, int selected,
                             const OptionSelection& options)
{
    ConvertJob job;
    const bool inRange = selected >= 0 && static_cast<std::size_t>(selected) < profiles.size();
    ReadJobFromSelection(job, inRange ? &profiles[static_cast<std::size_t>(selected)] : nullptr, options);
    return job;
}
