#pragma once
#include <string>
#include <string_view>

// Addresses of video files themselves ("direct" addresses), which Tavolin downloads with
// one request, besides the service's watch pages.

// An http or https address (scheme in any case) with a host, whose path's last segment
// ends with a video extension (convert/VideoFileTypes.h); a query or fragment may
// follow. Blanks and control characters anywhere refuse it: such a text is no address.
bool IsDirectVideoAddress(std::string_view text);

// A watch page of `serviceHost` or a direct video address: what a task can be made of.
bool IsAcceptedTaskAddress(std::string_view text, std::string_view serviceHost);

// The file name a direct address suggests: its last path segment, percent-decoded, with
// every byte a file name cannot hold ('/', NUL, control characters) made '_', a leading
// '.' or '-' made '_', and cut to at most `maxBytes` bytes at a character boundary with
// the extension kept. Empty when `address` is not a direct video address.
std::string SuggestedFileName(std::string_view address, std::size_t maxBytes = 200);
