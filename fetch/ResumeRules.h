#pragma once
// When a download continues a partial file, and which answer may continue it. A file is
// only ever continued with the rest of the same version, so it never mixes two.

#include <cstdint>
#include <optional>
#include <string_view>

// Where the video request asks the body to start, for a partial file of
// `partialLength` bytes (negative: none) of a download of `knownSize` bytes (0: not
// known). Nothing: the download starts over.
//
// A file as long as the known size asks for its last byte again: only an answer that
// still has that size completes it, anything else starts over. Without a known size
// (`sizeFromAnswer`, a partial file met on its own) the request starts at the last byte
// too, and the answer's total becomes the size.
std::optional<std::int64_t> ResumeOffset(std::int64_t partialLength, std::int64_t knownSize,
                                         bool sizeFromAnswer);

// "bytes FIRST-LAST/TOTAL" of a Content-Range header.
struct ContentRange {
    std::int64_t first = 0;
    std::int64_t last = 0;
    std::int64_t total = 0;
};
std::optional<ContentRange> ParseContentRange(std::string_view value);

// The total size when an answer continues the file from `from`: a 206 whose range runs
// from `from` to the end, with the known size as its total (or, without one, a total
// beyond `from`). Nothing for any other answer.
std::optional<std::int64_t> ContinuedSize(int statusCode, std::optional<std::string_view> contentRange,
                                          std::int64_t from, std::int64_t knownSize);
