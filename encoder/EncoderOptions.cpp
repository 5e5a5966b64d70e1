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

// Where the options begin: after the fixed first word, which callers may leave off.
std::size_t FirstOptionIndex(const std::vector<std::string>& args)
{
    return !args.empty() && args.front() == kFixedFirstWord ? 1 : 0;
}

// Any descriptor a process may have open.
std::optional<int> ParseDescriptor(std::string_view text)
{
    if (text == "0")
        return 0;
    return ParsePositive(text, 1 << 20);
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

namespace {

std::variant<EncoderOptions, OptionError> ParseOptions(const std::vector<std::string>& args,
                                                       std::size_t first)
{
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
        } else if (name == "-progress-fd") {
            if (auto e = once(options.progressFd.has_value()))
                return *e;
            options.progressFd = ParseDescriptor(value);
            if (!options.progressFd)
                return bad("a descriptor number such as 3");
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

}  // namespace

std::variant<EncoderOptions, OptionError> ParseEncoderOptions(const std::vector<std::string>& args)
{
    const std::size_t first = FirstOptionIndex(args);
    // Found ahead of the rest: a refusal of any other option still goes to the channel.
    std::optional<int> progressFd;
    for (std::size_t i = first; i + 2 < args.size(); i += 2) {
        if (args[i] == "-progress-fd" && !progressFd)
            progressFd = ParseDescriptor(args[i + 1]);
    }
    auto parsed = ParseOptions(args, first);
    if (auto* error = std::get_if<OptionError>(&parsed))
        error->progressFd = progressFd;
    return parsed;
}

EncoderRequest RequestOf(const std::vector<std::string>& args)
{
    const std::size_t first = FirstOptionIndex(args);
    if (args.size() != first + 1)
        return EncoderRequest::Convert;
    const std::string& word = args[first];
    if (word == "--help" || word == "-h")
        return EncoderRequest::Help;
    if (word == "--version")
        return EncoderRequest::Version;
    if (word == "-list-profiles")
        return EncoderRequest::ListProfiles;
    return EncoderRequest::Convert;
}

std::string EncoderUsage()
{
    return "Usage: ostrand [converter.exe] -i SOURCE [options] TARGET\n"
           "  or:  ostrand -list-profiles | --help | -h | --version\n"
           "Options (each takes one value, in any order before TARGET):\n"
           "  -f FORMAT       container format (otherwise chosen from TARGET's extension)\n"
           "  -vcodec CODEC   video codec\n"
           "  -s WxH          frame size\n"
           "  -b RATE         video bit rate, such as 1200k\n"
           "  -acodec CODEC   audio codec\n"
           "  -ar HZ          audio sample rate\n"
           "  -ab RATE        audio bit rate, such as 64k\n"
           "  -ac N           audio channels\n"
           "  -progress-fd N  write progress lines to the open descriptor N (see --help)\n";
}

std::string EncoderHelp()
{
    return EncoderUsage() +
           "\n"
           "Converts one video file with ffmpeg. SOURCE is any file ffmpeg reads as video.\n"
           "TARGET is always overwritten; a conversion that does not finish removes it. An\n"
           "option left out is left to ostrand: for MP4 and PSP targets that is MPEG-4 Simple\n"
           "profile video and AAC-LC sound with the index at the front of the file, which the\n"
           "players these files are made for can play.\n"
           "\n"
           "Progress lines (-progress-fd N): ASCII lines ended by a newline, fields separated\n"
           "by one blank. Readers ignore fields after those they know, and lines that start\n"
           "with a word they do not know.\n"
           "  progress PERCENT LEFT DONE\n"
           "      PERCENT  whole percent converted, 0 to 100, never falling; \"-\" when the\n"
           "               length of the source is unknown\n"
           "      LEFT     estimated whole seconds still to go; \"-\" while unknown\n"
           "      DONE     seconds of the source converted so far, such as 12.5\n"
           "  done             the conversion finished and TARGET is complete\n"
           "  failed REASON    it did not; REASON is one line, such as \"source not found\",\n"
           "                   \"disk full\", \"needs AMR-NB support\" or ffmpeg's first error\n"
           "  stopped          a stop signal ended it\n"
           "At most four progress lines a second; lines a slow reader cannot take are dropped.\n"
           "Exactly one of done, failed and stopped comes last. When the length is known, a\n"
           "conversion that finishes writes \"progress 100 0 LENGTH\" right before \"done\".\n"
           "\n"
           "Profile listing (-list-profiles): one line per profile of the catalogue, in its\n"
           "order, fields separated by a tab, telling whether the installed ffmpeg can make it:\n"
           "  ok<TAB>NAME\n"
           "  unavailable<TAB>NAME<TAB>REASON     (REASON such as \"needs the wmv2 encoder\")\n"
           "\n"
           "Exit status: 0 converted (or listed), 1 conversion failed, 2 bad arguments,\n"
           "3 ffmpeg or ffprobe not found, 128+N stopped by signal N.\n";
}
