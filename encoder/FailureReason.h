#pragma once
// The one-line reasons a conversion or a profile is refused with, for the progress
// channel, the profile listing and standard error alike.

#include <string>
#include <string_view>

// "needs the wmv2 encoder"; the AMR-NB encoder, which ships in an extra package, by
// what it is: "needs AMR-NB support".
std::string MissingEncoderReason(std::string_view encoder);
std::string MissingMuxerReason(std::string_view muxer);

// What ffmpeg's error output (at log level "error") says went wrong, in one line: an
// encoder it lacks, a full disk, else its first line without the "[muxer @ 0x...]"
// prefix. Empty when it said nothing.
std::string ReasonFromFfmpegErrors(std::string_view errors);

// Whether the errors tell that the target was not written whole. ffmpeg ends with
// status 0 when only finishing the file failed (on a full disk, typically).
bool ReportsLostOutput(std::string_view errors);
