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

constexpr std::array<long long, 8> kAmrBitRates = {4750, 5150, 5900, 6700, 7400, 7950, 10200, 12200};
constexpr int kAmrSampleRate = 8000;
constexpr int kAmrChannels = 1;

// The AMR-NB encoder takes nothing but 8000 Hz mono; a request for anything else is
// better served by AAC than by being ignored.
bool AmrFits(const EncoderOptions& options)
{
    return (!options.sampleRate || *options.sampleRate == kAmrSampleRate) &&
           (!options.channels || *options.channels == kAmrChannels);
}

bool ChoosesOwnAudioFor3gp(const EncoderOptions& options)
{
    return ContainerFor(options) == Container::ThreeGp && !options.audioCodec;
}

// Codecs whose bit rate follows from the sample rate and channels: a bit rate given
// for them is refused or misread, so it is left off.
bool HasFixedBitRate(const std::string& audioCodec)
{
    return audioCodec.starts_with("adpcm_") || audioCodec.starts_with("pcm_");
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

bool NeedsSourceProbe(const EncoderOptions& options)
{
    const Container container = ContainerFor(options);
    const bool picksOwn3gpVideo = container == Container::ThreeGp && !options.size && !options.videoCodec;
    return picksOwn3gpVideo || container == Container::Psp;
}

bool NeedsAmrCheck(const EncoderOptions& options)
{
    return ChoosesOwnAudioFor3gp(options) && AmrFits(options);
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
    const bool probed = input.source.has_value();
    const SourceInfo source = input.source.value_or(SourceInfo{});

    // Errors only: the encoders' statistics would flood the terminal of whoever started us.
    std::vector<std::string> args = {"-hide_banner", "-loglevel", "error",         "-nostdin",
                                     "-y",           "-i",        input.sourcePath};

    // Its container holds exactly one video and one audio stream, so a source without
    // sound gets a silent track that ends with the picture.
    const bool addSilence = container == Container::Psp && probed && source.hasVideo && !source.hasAudio;
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
    } else if (probed && source.hasVideo && IsKnown(source.videoSize)) {
        codedSize = EvenDown(source.videoSize);
    }
    // Keeping the source's size, an odd one loses its last column or row: cropping keeps
    // every other pixel as it was, and as an expression it needs no probe, costs nothing
    // on even frames and follows a stream whose size changes midway.
    const bool cropToEven = !o.size && o.videoCodec != "copy";
    if (o.videoCodec) {
        args.insert(args.end(), {"-c:v", *o.videoCodec});
    } else if (container == Container::ThreeGp && codedSize && !IsH263Size(*codedSize)) {
        args.insert(args.end(), {"-c:v", "mpeg4"});
    }
    if (o.size)
        args.insert(args.end(), {"-s", SizeText(*codedSize)});
    if (cropToEven)
        args.insert(args.end(), {"-vf", "crop=trunc(iw/2)*2:trunc(ih/2)*2:0:0"});
    if (o.videoBitRate)
        args.insert(args.end(), {"-b:v", *o.videoBitRate});

    std::optional<int> sampleRate = o.sampleRate;
    std::optional<int> channels = o.channels;
    std::optional<std::string> audioBitRate = o.audioBitRate;
    std::string audioCodec = o.audioCodec.value_or("");
    if (ChoosesOwnAudioFor3gp(o)) {
        if (input.hasAmrEncoder && AmrFits(o)) {
            audioCodec = "libopencore_amrnb";
            sampleRate = kAmrSampleRate;
            channels = kAmrChannels;
            if (auto bits = audioBitRate ? ParseBitRate(*audioBitRate) : std::nullopt) {
                audioBitRate = std::to_string(NearestAmrBitRate(*bits));
            }
        } else {
            audioCodec = "aac";
        }
    }
    if (!audioCodec.empty())
        args.insert(args.end(), {"-c:a", audioCodec});
    if (sampleRate)
        args.insert(args.end(), {"-ar", std::to_string(*sampleRate)});
    if (audioBitRate && !HasFixedBitRate(audioCodec))
        args.insert(args.end(), {"-b:a", *audioBitRate});
    if (channels)
        args.insert(args.end(), {"-ac", std::to_string(*channels)});

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
