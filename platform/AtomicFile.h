#pragma once
#include <string>
#include <string_view>

namespace platform {

// Replaces the whole file: writes a temporary file in the same folder, flushes it
// to disk and renames it over `path`. On any failure the old file is left as it was
// and `error` (when given) says why.
bool WriteFileAtomically(const std::string& path, std::string_view content, std::string* error = nullptr);

// Removes the temporary files that writes to `path` left behind when their process was
// killed before the rename. Files of writers still at work are kept. Returns how many
// were removed.
int RemoveAbandonedTemporaries(const std::string& path);

}  // namespace platform
