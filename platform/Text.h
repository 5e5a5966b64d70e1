#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace platform {

// A blank or a tab: what the profile files and headers pad their values with.
bool IsBlank(char c);
// Blanks, tabs, line breaks (CR, LF), vertical tabs and form feeds.
bool IsWhiteSpace(char c);

// The text without blanks and tabs at either end.
std::string_view TrimBlanks(std::string_view text);
// The text without white space of any kind at either end.
std::string_view TrimWhiteSpace(std::string_view text);

// The ASCII letters as lower case; every other byte as it is.
char LowerAscii(char c);
// Equal but for the case of ASCII letters, as profile names compare.
bool EqualNoCase(std::string_view a, std::string_view b);

// The leading decimal number: blanks and tabs, an optional sign, digits. A text without
// digits gives 0; a number beyond 64 bits gives the nearest 64-bit limit.
std::int64_t ParseLeadingDecimal(std::string_view text);

// Writes every byte, resuming after interruptions and short writes; false with errno
// set when the descriptor refuses.
bool WriteAll(int fd, const char* data, std::size_t size);

}  // namespace platform
