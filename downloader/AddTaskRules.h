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

// The typed folder trimmed, with one '/' appended when it is not empty and does not end
// in one already.
std::string NormaliseFolder(std::string_view typed);

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

// The final base name: `base` itself when neither folder + base + ".flv" nor
// folder + base + targetType is occupied, else the first free of base(0), base(1), ...
std::string SettleBaseName(const std::string& folder, const std::string& base, const std::string& targetType,
                           const PathOccupied& occupied);

// The conversion the dialog hands over for the profile at `selected` (none when out of
// range) and the texts picked in the four option boxes. Paths stay empty.
ConvertJob ReadProfileChoice(const std::vector<ConvertProfile>& profiles, int selected,
                             const OptionSelection& options);
