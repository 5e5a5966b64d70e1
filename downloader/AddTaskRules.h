#pragma once
// The decisions of the Add Task dialog, free of any window: how the typed folder and
// file name become a folder path and a file name, which name is free on disk, and
// what the chosen profile puts into the conversion.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/ConvertJob.h"
#include "convert/ProfileCatalogue.h"

// The typed folder trimmed, with one '/' appended when it does not end in one already;
// a leading "~/" (or "~" alone) stands for `home`. Empty for anything else that is not
// an absolute path: a relative folder would be read against whatever directory the
// program happens to run in, and the task would lose its files after a restart elsewhere.
std::string NormaliseFolder(std::string_view typed, std::string_view home);

// The text a file name starts from: the video identifier with automatic naming, else the
// typed name trimmed, falling back to the identifier when nothing is left.
std::string ChooseBaseName(bool autoRename, std::string_view typedName, std::string_view videoId);

// Every character that cannot stand in a file name becomes '_': the separators of both
// worlds, the characters the other platform reserves, and control characters (a line
// break in a name would also break the task store's lines). A name longer than a file
// system allows is cut, leaving room for a collision counter and the longest extension,
// without splitting a UTF-8 character.
std::string CleanBaseName(std::string_view name);

inline constexpr std::size_t kMaxBaseNameBytes = 200;

// Whether anything at all (file, folder, link, even a dangling one) occupies the path.
// A path that cannot be examined counts as free.
using PathOccupied = std::function<bool(const std::string&)>;

// What a direct video address names: the base name its last path segment suggests and
// that segment's extension as written (".MP4"). Empty when it is no direct address.
struct DirectName {
    std::string base;
    std::string extension;
};
DirectName DirectDownloadName(std::string_view address);

struct SettledNames {
    std::string base;        // the final base name
    std::string sourceFile;  // folder + base + the download's extension
    std::string targetFile;  // the converted file; the download itself when nothing is converted
};

// The files of a new task: `base` itself when its files are free, else the first of
// base(0), base(1), ... whose files are. A task whose target type is ".flv" converts
// nothing, so its target is the download itself. Otherwise the target is
// folder + name + targetType, and "-0" sets it apart when it would be the download's own
// name (a direct ".mp4" converted to MP4): the encoder cannot write over its source.
SettledNames SettleFileNames(const std::string& folder, const std::string& base,
                             const std::string& sourceType, const std::string& targetType,
                             const PathOccupied& occupied);

// The conversion the dialog hands over for the profile at `selected` (none when out of
// range) and the texts picked in the four option boxes. Paths stay empty.
ConvertJob ReadProfileChoice(const std::vector<ConvertProfile>& profiles, int selected,
                             const OptionSelection& options);
