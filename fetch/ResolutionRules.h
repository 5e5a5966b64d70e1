#pragma once
// The decisions of the download, as pure functions: the three-request resolution of a
// watch-page address to the video file, the progress figure and the file error text.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The bytes an address cannot carry as they are (blank, '#', a '%' that starts no
// escape, control and non-ASCII bytes) as %XX escapes, the rest untouched: a video
// identifier travels this way, the same in every request. A whole address keeps its
// '#', which starts its fragment.
std::string EncodeAddressBytes(std::string_view text, bool keepHash = false);

// The text of the first "Location:" header (that exact spelling), trimmed; nothing
// when the header is missing or its value is not followed by a line feed.
std::optional<std::string> FindLocationValue(std::string_view rawHeaders);
// Statuses 300 to 306 are the redirects the service answers with.
bool IsServiceRedirect(int statusCode);
// From the first "&t=" (not at position 0) to the end of the address.
std::optional<std::string> FindTokenTail(std::string_view firstRedirect);
std::string BuildFirstRequestAddress(std::string_view serviceHost, std::string_view videoId);
std::string BuildSecondRequestAddress(std::string_view serviceHost, std::string_view videoId,
                                      std::string_view tokenTail);
// The address of the video request: on the CDN the origin named by "&origin=",
// elsewhere the second request's address again. Nothing when a CDN address has
// no usable "&origin=".
std::optional<std::string> BuildVideoRequestAddress(std::string_view secondRedirect,
                                                    std::string_view secondRequestAddress,
                                                    std::string_view videoId, std::string_view cdnDomain);
// Hundredths of a percent, truncated toward zero.
std::int64_t ProgressHundredths(std::int64_t downloaded, std::int64_t size);
std::string CreateFileErrorText(std::string_view path);
