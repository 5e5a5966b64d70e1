#pragma once
// INI files read and written the way the Windows private-profile functions do:
// names match without regard to case, values are trimmed and cut at the buffer,
// and a write changes only the one line it must.

#include <cstddef>
#include <cstdint>
#include <functional>
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
// It keeps the file's text and an index of where each name and value lies in it, so a
// store of many thousand keys is parsed without a copy of each.
class ProfileSnapshot {
public:
    static ProfileSnapshot Load(const std::string& path);  // missing or unreadable: empty
    static ProfileSnapshot Parse(std::string text);

    std::string Get(std::string_view section, std::string_view key, std::string_view def,
                    std::size_t bufferSize) const;
    // Every key that Get would find in the section, with the value Get would give, in file
    // order: one walk instead of a look-up per key.
    void ForEachKey(std::string_view section, std::size_t bufferSize,
                    const std::function<void(std::string_view key, std::string_view value)>& visit) const;

private:
    struct Span {
        std::size_t begin = 0;
        std::size_t size = 0;
    };
    // A section (owner kSection) or a key of the section whose entry is `owner`; only the
    // first occurrence of each, from the first block of its section, is kept.
    struct Entry {
        std::uint64_t hash = 0;  // of the lower-cased name and the owner
        std::uint32_t owner = 0;
        Span name;
        Span value;  // trimmed and unquoted
    };
    static constexpr std::uint32_t kSection = UINT32_MAX;

    std::string_view Text(Span span) const { return std::string_view(m_text).substr(span.begin, span.size); }
    const Entry* Find(std::uint32_t owner, std::string_view name) const;
    // The slot that holds the entry of `wanted`'s owner and `name`, or the free one where it goes.
    std::size_t Probe(const Entry& wanted, std::string_view name) const;
    // Adds the entry unless its name is already there; returns the index of the one kept.
    std::uint32_t Insert(const Entry& entry);
    void Grow();

    std::string m_text;
    std::vector<Entry> m_entries;
    // Open addressing over m_entries, a power of two long. The tag (the hash's high half)
    // spares most probes a visit to an entry, which in a large file is a cache miss.
    struct Slot {
        std::uint32_t tag = 0;
        std::uint32_t entry = 0;  // index + 1; 0: free
    };
    std::vector<Slot> m_slots;
};

}  // namespace platform
