#include "encoder/EncoderOptions.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

constexpr std::string_view kFixedFirstWord = "converter.exe";

bool IsDigits(std::string_view text)
{
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<int> ParsePositive(std::string_view text, int limit)
{
    if (!IsDigits(text))
        return std::nullopt;
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 1 || value > limit)
        return std::nullopt;
    return value;
}

std::optional<FrameSize> ParseFrameSize(std::string_view text)
{
    auto x = text.find('x');
    if (x == std::string_view::npos)
        return std::nullopt;
    // Larger than any encoder here accepts; keeps width*height far from overflow.
    constexpr int kLimit = 16384;
    auto width = ParsePositive(text.substr(0, x), kLimit);
    auto height = ParsePositive(text.substr(x + 1), kLimit);
    if (!width || !height)
        return std::nullopt;
    return FrameSize{*width, *height};
}

// Codec and format names go to ffmpeg as values; a plain name can never be read as
// an option or a filter there.
bool IsPlainName(std::string_view text)
{
    return !text.empty() && text.front() != '-' && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
               c == '-';
    });
}

}  // namespace

std::optional<long long> ParseBitRate(std::string_view text)
{
    if (text.empty())
        return std::nullopt;
    double scale = 1;
    switch (text.back()) {
    case 'k':
    case 'K':
        scale = 1e3;
        text.remove_suffix(1);
        break;
    case 'M':
        scale = 1e6;
        text.remove_suffix(1);
        break;
    default:
        break;
    }
    auto dot = text.find('.');
    std::string_view whole = text.substr(0, dot);
    std::string_view fraction = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
    if (!IsDigits(whole) || (dot != std::string_view::npos && !IsDigits(fraction)) || whole.size() > 9) {
        return std::nullopt;
    }
    double value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    auto bits = std::llround(value * scale);
    if (bits < 1)
        return std::nullopt;
    return bits;
}

std::variant<EncoderOptions, OptionError> ParseEncoderOptions(const std::vector<std::string>& args)
{
    std::size_t first = (!args.empty() && args.front() == kFixedFirstWord) ? 1 : 0;
    if (args.size() <= first)
        return OptionError{"no source and no target given"};

    EncoderOptions options;
    bool haveSource = false;
    const std::size_t last = args.size() - 1;
    options.target = args[last];
    if (options.target.empty())
        return OptionError{"the target path is empty"};

    for (std::size_t i = first; i < last; i += 2) {
        const std::string& name = args[i];
        if (i + 1 >= last) {
            if (name.starts_with('-'))
                return OptionError{"option " + name + " needs a value (the target comes last)"};
            return OptionError{"unexpected argument \"" + name + "\" (the target comes last)"};
        }
        const std::string& value = args[i + 1];
        auto bad = [&](std::string_view what) {
            return OptionError{"bad value \"" + value + "\" for " + name + ": expected " + std::string(what)};
        };
        auto once = [&](bool given) -> std::optional<OptionError> {
            if (given)
                return OptionError{"option " + name + " given twice"};
            return std::nullopt;
        };

        if (name == "-i") {
            if (auto e = once(haveSource))
                return *e;
            if (value.empty())
                return OptionError{"the source path is empty"};
            options.source = value;
            haveSource = true;
        } else if (name == "-f") {
            if (auto e = once(options.format.has_value()))
                return *e;
            if (!IsPlainName(value))
                return bad("a container format name");
            options.format = value;
        } else if (name == "-vcodec") {
            if (auto e = once(options.videoCodec.has_value()))
                return *e;
            if (!IsPlainName(value))
                return bad("a codec name");
            options.videoCodec = value;
        } else if (name == "-acodec") {
            if (auto e = once(options.audioCodec.has_value()))
                return *e;
            if (!IsPlainName(value))
                return bad("a codec name");
            options.audioCodec = value;
        } else if (name == "-s") {
            if (auto e = once(options.size.has_value()))
                return *e;
            options.size = ParseFrameSize(value);
            if (!options.size)
                return bad("WIDTHxHEIGHT, such as 320x240");
        } else if (name == "-b") {
            if (auto e = once(options.videoBitRate.has_value()))
                return *e;
            if (!ParseBitRate(value))
                return bad("a bit rate such as 1200k");
            options.videoBitRate = value;
        } else if (name == "-ab") {
            if (auto e = once(options.audioBitRate.has_value()))
                return *e;
            if (!ParseBitRate(value))
                return bad("a bit rate such as 64k");
            options.audioBitRate = value;
        } else if (name == "-ar") {
            if (auto e = once(options.sampleRate.has_value()))
                return *e;
            options.sampleRate = ParsePositive(value, 384000);
            if (!options.sampleRate)
                return bad("a sample rate in Hz such as 44100");
        } else if (name == "-ac") {
            if (auto e = once(options.channels.has_value()))
                return *e;
            options.channels = ParsePositive(value, 8);
            if (!options.channels)
                return bad("a channel count from 1 to 8");
        } else if (name.starts_with('-')) {
            return OptionError{"unknown option " + name};
        } else {
            return OptionError{"unexpected argument \"" + name + "\" (the target comes last)"};
        }
    }
    if (!haveSource)
        return OptionError{"no source given (-i SOURCE)"};
    return options;
}

std::string EncoderUsage()
{
    return "usage: ostrand [converter.exe] -i SOURCE [options] TARGET\n"
           "options (each takes one value):\n"
           "  -f FORMAT       container format (otherwise chosen from TARGET's extension)\n"
           "  -vcodec CODEC   video codec\n"
           "  -s WxH          frame size\n"
           "  -b RATE         video bit rate, such as 1200k\n"
           "  -acodec CODEC   audio codec\n"
           "  -ar HZ          audio sample rate\n"
           "  -ab RATE        audio bit rate, such as 64k\n"
           "  -ac N           audio channels\n"
           "TARGET is always overwritten. Exit status: 0 converted, 1 conversion failed,\n"
           "2 bad arguments, 3 ffmpeg or ffprobe not found, 128+N stopped by signal N.\n";
}
