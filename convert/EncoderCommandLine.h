#pragma once
// The encoder's command line for one job, in two forms built from one rule: the text
// that describes the run, and the argument vector that actually starts the encoder.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/ConvertJob.h"

// The encoder as the display text names it, relative to the program's folder.
inline constexpr std::string_view kEncoderDisplayPath = "./ostrand";
// The one profile that names its container; compared exactly, letter case included.
inline constexpr std::string_view kPspProfileName = "PSP - PSP MPEG-4 Video (*.mp4)";

// `./ostrand converter.exe -i "<source>" <options> "<target>" ` -- the paths quoted,
// option values as they stand, a blank after every part. Options reading "Auto" are
// left out. Text only: a path holding a double quote cannot be told apart in it, so
// nothing may start the encoder by splitting this text.
std::string BuildEncoderCommandLine(const ConvertJob& job);

// The arguments the encoder is started with: encoderPath, "converter.exe", "-i", the
// source, the options in the command line's order, "-progress-fd N" when a progress
// descriptor is given, the target. Every value is one argument of its own, whatever it
// holds.
std::vector<std::string> BuildEncoderArguments(const ConvertJob& job,
                                               std::string_view encoderPath = kEncoderDisplayPath,
                                               std::optional<int> progressFd = std::nullopt);
