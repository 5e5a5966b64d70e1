#pragma once
#include <string>

namespace platform {

// True when the path names an entry of any kind, a dangling symbolic link included: what
// a new file must not be created over. A path that cannot be examined at all (no search
// right, a name too long) counts as empty, since creating there fails on its own.
bool AnythingAt(const std::string& path);

}  // namespace platform
