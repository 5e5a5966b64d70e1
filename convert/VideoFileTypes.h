#pragma once
#include <array>
#include <string_view>

// The video files both programs take as sources: what ffmpeg reads as video and users
// meet as downloads. Compared without regard to letter case.
inline constexpr std::array<std::string_view, 12> kVideoExtensions = {
    ".flv", ".mp4", ".m4v", ".webm", ".mkv", ".avi", ".mov", ".wmv", ".3gp", ".mpg", ".mpeg", ".ogv"};

// True when `name` (a file name or path) ends with one of kVideoExtensions.
bool HasVideoExtension(std::string_view name);

// The extension of `name` as written (".MP4"), when it is one of kVideoExtensions; else empty.
std::string_view VideoExtensionOf(std::string_view name);
