#include "encoder/FlvHead.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

namespace {

// Metadata with a keyframe index can be long; what we read comes first in practice.
constexpr std::size_t kMostRead = 1 << 20;
constexpr int kDeepestNesting = 16;
constexpr unsigned char kScriptTag = 18;

// AMF0 type markers.
enum : unsigned char {
    kNumber = 0x00,
    kBoolean = 0x01,
    kString = 0x02,
    kObject = 0x03,
    kNull = 0x05,
    kUndefined = 0x06,
    kReference = 0x07,
    kEcmaArray = 0x08,
    kObjectEnd = 0x09,
    kStrictArray = 0x0A,
    kDate = 0x0B,
    kLongString = 0x0C,
    kUnsupported = 0x0D,
};

// Reads big-endian AMF0 data; every read fails once the data runs out.
struct Cursor {
    std::string_view rest;

    bool Take(std::size_t count, std::string_view* taken = nullptr)
    {
        if (rest.size() < count)
            return false;
        if (taken)
            *taken = rest.substr(0, count);
        rest.remove_prefix(count);
        return true;
    }

    std::optional<std::uint32_t> Unsigned(std::size_t bytes)
    {
        std::string_view field;
        if (!Take(bytes, &field))
            return std::nullopt;
        std::uint32_t value = 0;
        for (char c : field)
            value = value << 8 | static_cast<unsigned char>(c);
        return value;
    }

    std::optional<double> Number()
    {
        std::string_view field;
        if (!Take(8, &field))
            return std::nullopt;
        std::uint64_t bits = 0;
        for (char c : field)
            bits = bits << 8 | static_cast<unsigned char>(c);
        return std::bit_cast<double>(bits);
    }

    std::optional<std::string_view> ShortString()
    {
        auto length = Unsigned(2);
        std::string_view text;
        if (!length || !Take(*length, &text))
            return std::nullopt;
        return text;
    }
};

bool SkipValue(Cursor& in, int depth);

// Name/value pairs up to the empty name and the end marker.
bool SkipPairs(Cursor& in, int depth)
{
    for (;;) {
        auto name = in.ShortString();
        if (!name)
            return false;
        if (name->empty()) {
            auto end = in.Unsigned(1);
            return end == kObjectEnd;
        }
        if (!SkipValue(in, depth))
            return false;
    }
}

bool SkipValue(Cursor& in, int depth)
{
    auto marker = in.Unsigned(1);
    if (!marker || depth > kDeepestNesting)
        return false;
    switch (*marker) {
    case kNumber:
        return in.Take(8);
    case kBoolean:
        return in.Take(1);
    case kString:
        return in.ShortString().has_value();
    case kObject:
        return SkipPairs(in, depth + 1);
    case kNull:
    case kUndefined:
    case kUnsupported:
        return true;
    case kReference:
        return in.Take(2);
    case kEcmaArray:
        return in.Take(4) && SkipPairs(in, depth + 1);
    case kStrictArray: {
        auto count = in.Unsigned(4);
        if (!count)
            return false;
        // Every value takes at least one byte, so a false count runs out of data soon.
        for (std::uint32_t i = 0; i < *count; ++i) {
            if (!SkipValue(in, depth + 1))
                return false;
        }
        return true;
    }
    case kDate:
        return in.Take(10);
    case kLongString: {
        auto length = in.Unsigned(4);
        return length && in.Take(*length);
    }
    default:
        return false;
    }
}

std::optional<int> PixelCount(double value)
{
    if (!std::isfinite(value) || value < 1 || value > 16384 || value != std::floor(value))
        return std::nullopt;
    return static_cast<int>(value);
}

// onMetaData's top-level numbers; stops quietly where the data ends or goes wrong.
void ReadMetadata(Cursor in, SourceInfo& info)
{
    auto marker = in.Unsigned(1);
    auto name = in.ShortString();
    if (marker != kString || name != "onMetaData")
        return;
    marker = in.Unsigned(1);
    if (marker == kEcmaArray) {
        if (!in.Take(4))
            return;
    } else if (marker != kObject) {
        return;
    }
    std::optional<int> width, height;
    for (;;) {
        auto key = in.ShortString();
        if (!key || key->empty())
            break;
        Cursor value = in;
        if (value.Unsigned(1) == kNumber) {
            auto number = value.Number();
            if (!number)
                break;
            if (*key == "duration" && std::isfinite(*number) && *number > 0)
                info.duration = *number;
            else if (*key == "width")
                width = PixelCount(*number);
            else if (*key == "height")
                height = PixelCount(*number);
            in = value;
        } else if (!SkipValue(in, 0)) {
            break;
        }
    }
    if (width && height)
        info.videoSize = {*width, *height};
}

}  // namespace

std::optional<SourceInfo> SourceInfoFromFlvHead(std::string_view head)
{
    constexpr unsigned char kAudio = 0x04;
    constexpr unsigned char kVideo = 0x01;
    if (head.size() < 9 || head.substr(0, 3) != "FLV")
        return std::nullopt;
    const auto flags = static_cast<unsigned char>(head[4]);
    SourceInfo info;
    info.hasVideo = (flags & kVideo) != 0;
    info.hasAudio = (flags & kAudio) != 0;
    info.streamsKnown = info.hasVideo && info.hasAudio;

    Cursor in{head.substr(5)};
    auto headerSize = in.Unsigned(4);
    // The header, the first "previous tag size", then the first tag's own header.
    if (!headerSize || *headerSize < 9 || *headerSize > head.size())
        return info;
    in.rest = head.substr(*headerSize);
    if (!in.Take(4))
        return info;
    auto type = in.Unsigned(1);
    auto size = in.Unsigned(3);
    if (!type || (*type & 0x1F) != kScriptTag || !size || !in.Take(7))
        return info;
    ReadMetadata(Cursor{in.rest.substr(0, *size)}, info);
    return info;
}

std::optional<SourceInfo> ReadFlvHead(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<char> head(kMostRead);
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    return SourceInfoFromFlvHead(std::string_view(head.data(), static_cast<std::size_t>(in.gcount())));
}
