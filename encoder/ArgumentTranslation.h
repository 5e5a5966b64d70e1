#pragma once
// Turns the callers' options into an ffmpeg argument vector. Pure: what the source
// holds and which encoders ffmpeg has are looked up beforehand and passed in, so every
// decision here can be tested without running anything.

#include <optional>
#include <string>
#include <vector>

#include "encoder/EncoderOptions.h"

// What probing the source found.
struct SourceInfo {
    bool hasVideo = false;
    FrameSize videoSize;  // 0x0 when unknown
    bool hasAudio = false;

    bool operator==(const SourceInfo&) const = default;
};

// The containers whose rules differ; chosen by -f, else by the target's extension.
enum class Container { Mp4, Psp, ThreeGp, Asf, Avi, Other };

Container ContainerFor(const EncoderOptions& options);

// Whether the translation depends on the source: the PSP needs to know whether it has
// sound, and 3GP which video codec its frame size allows. Everything else is decided
// without it, which saves starting ffprobe.
bool NeedsSourceProbe(const EncoderOptions& options);

// Whether the translation depends on ffmpeg having the AMR-NB speech encoder.
bool NeedsAmrCheck(const EncoderOptions& options);

// Sizes H.263 can code; any other needs another video codec.
bool IsH263Size(FrameSize size);

// The AMR-NB bit rate (bit/s) nearest to the one asked for.
long long NearestAmrBitRate(long long bitsPerSecond);

struct TranslationInput {
    EncoderOptions options;
    std::string sourcePath;            // as ffmpeg is to open it (absolute)
    std::string targetPath;            // as ffmpeg is to write it (absolute)
    std::optional<SourceInfo> source;  // present when NeedsSourceProbe said so
    bool hasAmrEncoder = true;
};

// The arguments after the ffmpeg program name.
std::vector<std::string> TranslateArguments(const TranslationInput& input);

// A path ffmpeg takes as a plain file whatever its name: relative paths are made
// absolute against `currentFolder`, so no name can look like an option ("-x.flv") or
// a protocol ("a:b.flv").
std::string FilePathForFfmpeg(const std::string& path, const std::string& currentFolder);
