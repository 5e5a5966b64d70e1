#pragma once
#include <string>
#include <string_view>

namespace platform {

// Replaces the whole file: writes a temporary file in the same folder, flushes it
// to disk and renames it over `path`. On any failure the old file is left as it was
// and `error` (when given) says why.
bool WriteFileAtomically(const std::string& path, std::string_view content, std::string* error = nullptr);

}  // namespace platform
