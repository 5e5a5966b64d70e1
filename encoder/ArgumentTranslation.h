#pragma once
// Turns the callers' options into an ffmpeg argument vector. Pure: what the source
// holds is looked up beforehand and passed in, so every decision here can be tested
// without running anything.

#include <optional>
#include <string>
#include <vector>

#include "encoder/EncoderOptions.h"

// What is known of the source, from its FLV head or from ffprobe.
struct SourceInfo {
    bool streamsKnown = false;  // whether the two flags below are facts
    bool hasVideo = false;
    bool hasAudio = false;
    FrameSize videoSize;  // 0x0 when unknown
    double duration = 0;  // seconds; 0 when unknown

    bool operator==(const SourceInfo&) const = default;
};

// The containers whose rules differ; chosen by -f, else by the target's extension.
enum class Container { Mp4, Psp, ThreeGp, Asf, Avi, Other };

Container ContainerFor(const EncoderOptions& options);

// What the translation needs to know of the source: the PSP whether it has sound (its
// container must hold both); a kept frame size whether it is even (odd sizes are
// cropped, and 3GP chooses its codec by size); a progress channel the duration.
struct SourceNeeds {
    bool streams = false;
    bool frameSize = false;
    bool duration = false;
};

SourceNeeds SourceNeedsOf(const EncoderOptions& options);

// Whether `known` leaves open something of `needs`, which a probe must then tell.
bool LeavesOpen(const SourceInfo& known, const SourceNeeds& needs);

// The encoders ostrand names to ffmpeg: the one asked for, else what the container's
// players take (MPEG-4 Simple profile and AAC-LC for MP4 and the PSP, H.263, or MPEG-4
// where H.263 cannot code the size, with AMR-NB for 3GP, MP3 for AVI). None leaves the
// choice to ffmpeg. `codedSize` is the frame size that will be coded, when known.
std::optional<std::string> VideoEncoderFor(const EncoderOptions& options, std::optional<FrameSize> codedSize);
std::optional<std::string> AudioEncoderFor(const EncoderOptions& options);

// Sizes H.263 can code; any other needs another video codec.
bool IsH263Size(FrameSize size);

// The AMR-NB bit rate (bit/s) nearest to the one asked for.
long long NearestAmrBitRate(long long bitsPerSecond);

struct TranslationInput {
    EncoderOptions options;
    std::string sourcePath;  // as ffmpeg is to open it (absolute)
    std::string targetPath;  // as ffmpeg is to write it (absolute)
    SourceInfo source;
};

// The arguments after the ffmpeg program name. When the options name a progress
// channel, ffmpeg writes its progress report to its standard output.
std::vector<std::string> TranslateArguments(const TranslationInput& input);

// A path ffmpeg takes as a plain file whatever its name: relative paths are made
// absolute against `currentFolder`, so no name can look like an option ("-x.flv") or
// a protocol ("a:b.flv").
std::string FilePathForFfmpeg(const std::string& path, const std::string& currentFolder);
