#pragma once
// INI files read and written the way the Windows private-profile functions do:
// names match without regard to case, values are trimmed and cut at the buffer,
// and a write changes only the one line it must.

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Reads one value. A missing file, section or key gives `def` with its trailing
// blanks removed; a value longer than the buffer is cut to bufferSize - 1 characters.
std::string GetPrivateProfileString(std::string_view section, std::string_view key, std::string_view def,
                                    std::size_t bufferSize, const std::string& path);

// Writes one value raw. Creates the file or the section when missing, replaces an
// existing key's line in place and keeps every other byte. Returns false when the
// file cannot be written; the old file is then unchanged.
bool WritePrivateProfileString(std::string_view section, std::string_view key, std::string_view value,
                               const std::string& path);

// A file parsed once, answering many reads with the semantics of GetPrivateProfileString.
class ProfileSnapshot {
public:
    static ProfileSnapshot Load(const std::string& path);  // missing or unreadable: empty
    static ProfileSnapshot Parse(std::string_view text);

    std::string Get(std::string_view section, std::string_view key, std::string_view def,
                    std::size_t bufferSize) const;

private:
    // Lower-cased section name -> lower-cased key -> value of the first occurrence,
    // from the first block of the section only.
    std::map<std::string, std::map<std::string, std::string>> m_sections;
};

}  // namespace platform
