#pragma once
// What the encoder was asked to do, read from its command line. The callers speak the
// older option language ("-b", "-ab", "-vcodec"); this is the one place that reads it.

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

struct FrameSize {
    int width = 0;
    int height = 0;

    bool operator==(const FrameSize&) const = default;
};

struct EncoderOptions {
    std::string source;
    std::string target;
    std::optional<std::string> format;             // -f
    std::optional<std::string> videoCodec;         // -vcodec
    std::optional<FrameSize> size;                 // -s
    std::optional<std::string> videoBitRate;       // -b, as written ("1200k")
    std::optional<std::string> audioCodec;         // -acodec
    std::optional<int> sampleRate;                 // -ar
    std::optional<std::string> audioBitRate;       // -ab, as written ("4.75k")
    std::optional<int> channels;                   // -ac
    std::optional<int> progressFd = std::nullopt;  // -progress-fd: where the progress lines go

    bool operator==(const EncoderOptions&) const = default;
};

struct OptionError {
    std::string message;
    // The progress descriptor when the arguments name a valid one, so the refusal
    // reaches whoever reads it.
    std::optional<int> progressFd = std::nullopt;
};

// What a run is asked for. Help, version and the profile listing are asked by that word
// alone (after the optional "converter.exe"); anything else is a conversion.
enum class EncoderRequest { Convert, Help, Version, ListProfiles };

EncoderRequest RequestOf(const std::vector<std::string>& args);

// Reads the arguments after the program name: an optional leading "converter.exe",
// option/value pairs, and the target as the last argument. Every option takes exactly
// one value, so a value (or a path) that starts with '-' is never taken for an option.
std::variant<EncoderOptions, OptionError> ParseEncoderOptions(const std::vector<std::string>& args);

// A bit rate as the option language writes it ("1200k", "4.75k", "64000") in bit/s;
// none for anything else.
std::optional<long long> ParseBitRate(std::string_view text);

// The short form shown with a refusal, and the whole of --help.
std::string EncoderUsage();
std::string EncoderHelp();
