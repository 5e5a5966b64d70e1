#pragma once
#include <string>

namespace platform {

// True when the path names an entry of any kind, a dangling symbolic link included: what
// a new file must not be created over. A path that cannot be examined at all (no search
// right, a name too long) counts as empty, since creating there fails on its own.
bool AnythingAt(const std::string& path);

enum class FileRead { Read, Missing, Failed };

// Reads the whole of a regular file into `text`. Anything that keeps part of it back (a
// read error half-way, something other than a regular file) is Failed, never a shorter
// text; `error` then says why. A missing file is Missing, with `text` empty.
FileRead ReadWholeFile(const std::string& path, std::string& text, std::string* error = nullptr);

// True when the path is a folder whose entries can be listed: a folder that merely exists
// may still refuse its listing, and then files written there can be neither found nor
// shown again.
bool CanList(const std::string& path);

}  // namespace platform
