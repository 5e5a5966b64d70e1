#pragma once
// What an FLV file tells about itself before its first frame: the header's stream flags
// and the onMetaData script tag (duration, width, height). Reading it costs nothing next
// to starting ffprobe, which is why only what it leaves open is probed.

#include <optional>
#include <string>
#include <string_view>

#include "encoder/ArgumentTranslation.h"

// None when `head` (the file's first bytes) is no FLV. The streams count as known only
// when the header announces both: believing a missing stream could throw real sound
// away. A metadata value that is missing, truncated or not a plain number stays unknown.
std::optional<SourceInfo> SourceInfoFromFlvHead(std::string_view head);

// The same for the file at `path`; none when it cannot be read or is no FLV.
std::optional<SourceInfo> ReadFlvHead(const std::string& path);
