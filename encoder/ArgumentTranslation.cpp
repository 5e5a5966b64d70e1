#include "encoder/ArgumentTranslation.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace {

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return text;
}

std::string Extension(const std::string& path)
{
    auto slash = path.find_last_of('/');
    auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    return Lower(path.substr(dot));
}

// H.264 and wmv2 refuse odd frame sizes; one pixel less is never noticed.
FrameSize EvenDown(FrameSize size)
{
    auto even = [](int value) { return std::max(2, value - value % 2); };
    return {even(size.width), even(size.height)};
}

bool IsKnown(FrameSize size)
{
    return size.width > 0 && size.height > 0;
}

bool IsEven(FrameSize size)
{
    return size.width % 2 == 0 && size.height % 2 == 0;
}

constexpr std::array<long long, 8> kAmrBitRates = {4750, 5150, 5900, 6700, 7400, 7950, 10200, 12200};
constexpr int kAmrSampleRate = 8000;
constexpr int kAmrChannels = 1;
constexpr const char* kAmrEncoder = "libopencore_amrnb";

// The AMR-NB encoder takes nothing but 8000 Hz mono; a request for anything else is
// better served by AAC than by being ignored.
bool AmrFits(const EncoderOptions& options)
{
    return (!options.sampleRate || *options.sampleRate == kAmrSampleRate) &&
           (!options.channels || *options.channels == kAmrChannels);
}

// Codecs whose bit rate follows from the sample rate and channels: a bit rate given
// for them is refused or misread, so it is left off.
bool HasFixedBitRate(const std::string& audioCodec)
{
    return audioCodec.starts_with("adpcm_") || audioCodec.starts_with("pcm_");
}

// The players read the index before the pictures; at the end of the file it would
// have to be fetched first.
bool IndexGoesFirst(Container container)
{
    return container == Container::Mp4 || container == Container::Psp || container == Container::ThreeGp;
}

std::string SizeText(FrameSize size)
{
    return std::to_string(size.width) + "x" + std::to_string(size.height);
}

}  // namespace

Container ContainerFor(const EncoderOptions& options)
{
    if (options.format) {
        std::string format = Lower(*options.format);
        if (format == "psp")
            return Container::Psp;
        if (format == "mp4" || format == "mov" || format == "ipod")
            return Container::Mp4;
        if (format == "3gp")
            return Container::ThreeGp;
        if (format == "asf")
            return Container::Asf;
        if (format == "avi")
            return Container::Avi;
        return Container::Other;
    }
    std::string ext = Extension(options.target);
    if (ext == ".mp4" || ext == ".m4v" || ext == ".mov")
        return Container::Mp4;
    if (ext == ".3gp")
        return Container::ThreeGp;
    if (ext == ".wmv" || ext == ".asf")
        return Container::Asf;
    if (ext == ".avi")
        return Container::Avi;
    return Container::Other;
}

SourceNeeds SourceNeedsOf(const EncoderOptions& options)
{
    SourceNeeds needs;
    needs.streams = ContainerFor(options) == Container::Psp;
    needs.frameSize = !options.size && options.videoCodec != "copy";
    needs.duration = options.progressFd.has_value();
    return needs;
}

bool LeavesOpen(const SourceInfo& known, const SourceNeeds& needs)
{
    return (needs.streams && !known.streamsKnown) || (needs.frameSize && !IsKnown(known.videoSize)) ||
           (needs.duration && known.duration <= 0);
}

std::optional<std::string> VideoEncoderFor(const EncoderOptions& options, std::optional<FrameSize> codedSize)
{
    if (options.videoCodec)
        return options.videoCodec;
    switch (ContainerFor(options)) {
    case Container::Mp4:
    case Container::Psp:
        // Simple profile: ffmpeg's MPEG-4 encoder adds no B-frames unless told to.
        return "mpeg4";
    case Container::ThreeGp:
        return codedSize && !IsH263Size(*codedSize) ? "mpeg4" : "h263";
    default:
        return std::nullopt;
    }
}

std::optional<std::string> AudioEncoderFor(const EncoderOptions& options)
{
    if (options.audioCodec)
        return options.audioCodec;
    switch (ContainerFor(options)) {
    case Container::Mp4:
    case Container::Psp:
        return "aac";
    case Container::ThreeGp:
        return AmrFits(options) ? kAmrEncoder : "aac";
    case Container::Avi:
        return "libmp3lame";
    default:
        return std::nullopt;
    }
}

bool IsH263Size(FrameSize size)
{
    static constexpr std::array<FrameSize, 5> kSizes = {FrameSize{128, 96}, FrameSize{176, 144},
                                                        FrameSize{352, 288}, FrameSize{704, 576},
                                                        FrameSize{1408, 1152}};
    return std::find(kSizes.begin(), kSizes.end(), size) != kSizes.end();
}

long long NearestAmrBitRate(long long bitsPerSecond)
{
    return *std::min_element(kAmrBitRates.begin(), kAmrBitRates.end(), [&](long long a, long long b) {
        return std::llabs(a - bitsPerSecond) < std::llabs(b - bitsPerSecond);
    });
}

std::vector<std::string> TranslateArguments(const TranslationInput& input)
{
    const EncoderOptions& o = input.options;
    const Container container = ContainerFor(o);
    const SourceInfo& source = input.source;

    // Errors only: the encoders' statistics would flood the terminal of whoever started us.
    std::vector<std::string> args = {"-hide_banner", "-loglevel", "error", "-nostats", "-nostdin", "-y"};
    if (o.progressFd)
        args.insert(args.end(), {"-progress", "pipe:1"});
    args.insert(args.end(), {"-i", input.sourcePath});

    // Its container holds exactly one video and one audio stream, so a source without
    // sound gets a silent track that ends with the picture.
    const bool addSilence =
        container == Container::Psp && source.streamsKnown && source.hasVideo && !source.hasAudio;
    if (addSilence) {
        std::string layout = o.channels == 1 ? "mono" : "stereo";
        args.insert(args.end(), {"-f", "lavfi", "-i",
                                 "anullsrc=channel_layout=" + layout +
                                     ":sample_rate=" + std::to_string(o.sampleRate.value_or(44100)),
                                 "-map", "0:v:0", "-map", "1:a:0"});
    }
    if (o.format)
        args.insert(args.end(), {"-f", *o.format});

    // Video. The frame size that will be coded decides what 3GP can carry.
    std::optional<FrameSize> codedSize;
    if (o.size) {
        codedSize = EvenDown(*o.size);
    } else if (IsKnown(source.videoSize)) {
        codedSize = EvenDown(source.videoSize);
    }
    // Keeping the source's size, an odd one loses its last column or row: cropping keeps
    // every other pixel as it was, and as an expression it also serves a size nobody
    // could tell. A filter slows ffmpeg down, so a size known to be even goes without.
    const bool mayHaveVideo = source.hasVideo || !source.streamsKnown;
    const bool cropToEven = !o.size && o.videoCodec != "copy" && mayHaveVideo &&
                            (!IsKnown(source.videoSize) || !IsEven(source.videoSize));
    if (auto video = VideoEncoderFor(o, codedSize))
        args.insert(args.end(), {"-c:v", *video});
    if (o.size)
        args.insert(args.end(), {"-s", SizeText(*codedSize)});
    if (cropToEven)
        args.insert(args.end(), {"-vf", "crop=trunc(iw/2)*2:trunc(ih/2)*2:0:0"});
    if (o.videoBitRate)
        args.insert(args.end(), {"-b:v", *o.videoBitRate});

    std::optional<int> sampleRate = o.sampleRate;
    std::optional<int> channels = o.channels;
    std::optional<std::string> audioBitRate = o.audioBitRate;
    const std::string audioCodec = AudioEncoderFor(o).value_or("");
    if (!o.audioCodec && audioCodec == kAmrEncoder) {
        sampleRate = kAmrSampleRate;
        channels = kAmrChannels;
        if (auto bits = audioBitRate ? ParseBitRate(*audioBitRate) : std::nullopt)
            audioBitRate = std::to_string(NearestAmrBitRate(*bits));
    }
    if (!audioCodec.empty())
        args.insert(args.end(), {"-c:a", audioCodec});
    if (sampleRate)
        args.insert(args.end(), {"-ar", std::to_string(*sampleRate)});
    if (audioBitRate && !HasFixedBitRate(audioCodec))
        args.insert(args.end(), {"-b:a", *audioBitRate});
    if (channels)
        args.insert(args.end(), {"-ac", std::to_string(*channels)});

    if (IndexGoesFirst(container))
        args.insert(args.end(), {"-movflags", "+faststart"});
    if (addSilence)
        args.push_back("-shortest");
    args.push_back(input.targetPath);
    return args;
}

std::string FilePathForFfmpeg(const std::string& path, const std::string& currentFolder)
{
    if (path.starts_with('/'))
        return path;
    if (currentFolder.empty() || currentFolder.back() == '/')
        return currentFolder + path;
    return currentFolder + "/" + path;
}
