#pragma once
// Which encoders the installed ffmpeg has: some ship only in extra packages.

#include <string>
#include <string_view>
#include <vector>

#include "encoder/StopSignals.h"

// The names in the listing of "ffmpeg -encoders" (the lines after its "------" rule).
std::vector<std::string> ParseEncoderList(std::string_view text);

// Empty when ffmpeg cannot be asked; callers then fall back to what every build has.
std::vector<std::string> QueryEncoders(const std::string& ffmpegPath, StopSignals& stops);
