#pragma once
// Reading the text that ffmpeg and ffprobe write, one line or one field at a time.

#include <string_view>

// Takes the text up to the next `separator`, or to the end, off the front of `text`;
// the separator goes with it.
inline std::string_view TakeUntil(std::string_view& text, char separator)
{
    const auto at = text.find(separator);
    const std::string_view taken = text.substr(0, at);
    text.remove_prefix(at == std::string_view::npos ? text.size() : at + 1);
    return taken;
}

// The next line, without its "\n" or "\r\n".
inline std::string_view TakeLine(std::string_view& text)
{
    std::string_view line = TakeUntil(text, '\n');
    if (line.ends_with('\r'))
        line.remove_suffix(1);
    return line;
}
