#pragma once
// What the installed ffmpeg has: its encoders and muxers ("ffmpeg -encoders",
// "ffmpeg -muxers"), some of which ship only in extra packages.

#include <string>
#include <string_view>
#include <vector>

#include "encoder/StopSignals.h"

// The names in such a listing: after its rule line of dashes, a line per entry with
// flags, then the name (or names joined by commas), then a description.
std::vector<std::string> ParseFfmpegListing(std::string_view text);

// `what` is "-encoders" or "-muxers". Empty when ffmpeg cannot be asked.
std::vector<std::string> QueryFfmpegListing(const std::string& ffmpegPath, const std::string& what,
                                            StopSignals& stops);
