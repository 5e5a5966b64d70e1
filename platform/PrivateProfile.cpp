#include "platform/PrivateProfile.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "platform/AtomicFile.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace platform {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// FNV-1a over the lower-cased name, seeded with the owner so that equal names of
// different sections land apart.
std::uint64_t HashNoCase(std::string_view name, std::uint32_t owner)
{
    std::uint64_t h = 0xcbf29ce484222325ULL ^ owner;
    for (const char c : name) {
        h ^= static_cast<unsigned char>(LowerAscii(c));
        h *= 0x100000001b3ULL;
    }
    return h ^ (h >> 32);
}

std::string_view StripQuotes(std::string_view v)
{
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

// Cuts to bufferSize - 1 bytes without splitting a UTF-8 sequence, so a cut value
// is still valid text.
std::string_view CutToBuffer(std::string_view v, std::size_t bufferSize)
{
    if (bufferSize == 0)
        return {};
    std::size_t n = bufferSize - 1;
    if (v.size() <= n)
        return v;
    while (n > 0 && (static_cast<unsigned char>(v[n]) & 0xC0) == 0x80)
        --n;
    return v.substr(0, n);
}

enum class LineKind { Other, Section, Key };

struct Line {
    std::size_t begin = 0;  // first byte of the line
    std::size_t end = 0;    // one past the last byte before the line break
    std::size_t next = 0;   // first byte of the following line
    LineKind kind = LineKind::Other;
    std::string_view name;   // trimmed section or key name
    std::string_view value;  // trimmed raw value of a key line
};

// Walks the lines of an INI text; CRLF, LF and CR all end a line.
class LineScanner {
public:
    explicit LineScanner(std::string_view text) : m_text(text)
    {
        if (m_text.substr(0, kBom.size()) == kBom)
            m_pos = kBom.size();
        m_lf = FindFrom(m_pos, '\n', m_text.size());
    }

    bool Next(Line& line)
    {
        if (m_pos >= m_text.size())
            return false;
        line = Line{};
        line.begin = m_pos;
        // memchr rather than find_first_of, which tests each byte with a call of its own:
        // the scan is most of the parse of a large store. The next LF is kept, so that a
        // file of lone CRs is not searched to its end for each line.
        if (m_lf < m_pos)
            m_lf = FindFrom(m_pos, '\n', m_text.size());
        const std::size_t cr = FindFrom(m_pos, '\r', m_lf);
        line.end = std::min(cr, m_lf);
        line.next = line.end == m_text.size() ? line.end : line.end + 1;
        if (cr + 1 == m_lf && m_lf < m_text.size())
            line.next = m_lf + 1;
        m_pos = line.next;
        Classify(line);
        return true;
    }

private:
    // The first `c` in [from, to), or `to`.
    std::size_t FindFrom(std::size_t from, char c, std::size_t to) const
    {
        const char* const begin = m_text.data() + from;
        const auto* found = static_cast<const char*>(std::memchr(begin, c, to - from));
        return found ? from + static_cast<std::size_t>(found - begin) : to;
    }

    void Classify(Line& line) const
    {
        std::string_view content = TrimBlanks(m_text.substr(line.begin, line.end - line.begin));
        if (content.empty() || content.front() == ';')
            return;
        if (content.front() == '[') {
            std::size_t close = content.rfind(']');
            if (close != std::string_view::npos) {
                line.kind = LineKind::Section;
                line.name = TrimBlanks(content.substr(1, close - 1));
                return;
            }
        }
        std::size_t eq = content.find('=');
        if (eq == std::string_view::npos)
            return;
        std::string_view name = TrimBlanks(content.substr(0, eq));
        if (name.empty())
            return;
        line.kind = LineKind::Key;
        line.name = name;
        line.value = TrimBlanks(content.substr(eq + 1));
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
    std::size_t m_lf = 0;  // the first LF at or after the line's start, else the end
};

bool HasAny(std::string_view s, std::string_view chars)
{
    return s.find_first_of(chars) != std::string_view::npos;
}

const std::string_view kLineBreakChars("\r\n\0", 3);

// Anything that would read back as a different key, section or line is refused:
// callers pass user text here and must not be able to forge entries.
bool IsWritable(std::string_view section, std::string_view key, std::string_view value)
{
    if (section.empty() || key.empty())
        return false;
    if (HasAny(section, kLineBreakChars) || HasAny(key, kLineBreakChars) || HasAny(value, kLineBreakChars))
        return false;
    if (key.find('=') != std::string_view::npos)
        return false;
    // A key line starting like a comment or a section header would not read back as that key.
    return key.front() != ';' && key.front() != '[';
}

std::string_view FirstLineBreak(std::string_view text)
{
    std::size_t pos = text.find_first_of("\r\n");
    if (pos == std::string_view::npos)
        return "\r\n";
    if (text[pos] == '\n')
        return "\n";
    if (pos + 1 < text.size() && text[pos + 1] == '\n')
        return "\r\n";
    return "\r";
}

}  // namespace

ProfileSnapshot ProfileSnapshot::Load(const std::string& path)
{
    std::string text;
    if (ReadWholeFile(path, text) != FileRead::Read)
        return ProfileSnapshot{};
    return Parse(std::move(text));
}

ProfileSnapshot ProfileSnapshot::Parse(std::string text)
{
    ProfileSnapshot snapshot;
    snapshot.m_text = std::move(text);
    const std::string_view all = snapshot.m_text;
    const auto spanOf = [&all](std::string_view part) {
        return Span{static_cast<std::size_t>(part.data() - all.data()), part.size()};
    };
    // Keys are inserted a few lines behind the scan, their slots fetched ahead: in a table
    // of many thousand keys the cache misses would otherwise cost more than the scan.
    constexpr std::size_t kAhead = 16;
    std::array<Entry, kAhead> ahead;
    std::size_t waiting = 0;
    const auto insertWaiting = [&] {
        for (std::size_t i = 0; i < waiting; ++i)
            snapshot.Insert(ahead[i]);
        waiting = 0;
    };
    LineScanner scanner(all);
    Line line;
    std::uint32_t current = kSection;  // kSection: no section yet, or a repeated one
    while (scanner.Next(line)) {
        if (line.kind == LineKind::Section) {
            insertWaiting();
            const auto added = static_cast<std::uint32_t>(snapshot.m_entries.size());
            const Entry section{HashNoCase(line.name, kSection), kSection, spanOf(line.name), {}};
            current = snapshot.Insert(section) == added ? added : kSection;
        } else if (line.kind == LineKind::Key && current != kSection) {
            const Entry& key = ahead[waiting++] = {HashNoCase(line.name, current), current, spanOf(line.name),
                                                   spanOf(StripQuotes(line.value))};
            if (!snapshot.m_slots.empty())
                __builtin_prefetch(&snapshot.m_slots[key.hash & (snapshot.m_slots.size() - 1)]);
            if (waiting == kAhead)
                insertWaiting();
        }
    }
    insertWaiting();
    return snapshot;
}

std::size_t ProfileSnapshot::Probe(const Entry& wanted, std::string_view name) const
{
    const std::size_t mask = m_slots.size() - 1;
    const auto tag = static_cast<std::uint32_t>(wanted.hash >> 32);
    for (std::size_t i = wanted.hash & mask;; i = (i + 1) & mask) {
        const Slot slot = m_slots[i];
        if (slot.entry == 0)
            return i;
        if (slot.tag != tag)
            continue;
        const Entry& entry = m_entries[slot.entry - 1];
        if (entry.owner == wanted.owner && EqualNoCase(Text(entry.name), name))
            return i;
    }
}

std::uint32_t ProfileSnapshot::Insert(const Entry& entry)
{
    if ((m_entries.size() + 1) * 2 > m_slots.size())
        Grow();
    Slot& slot = m_slots[Probe(entry, Text(entry.name))];
    if (slot.entry == 0) {
        m_entries.push_back(entry);
        slot = {static_cast<std::uint32_t>(entry.hash >> 32), static_cast<std::uint32_t>(m_entries.size())};
    }
    return slot.entry - 1;
}

void ProfileSnapshot::Grow()
{
    m_slots.assign(std::max<std::size_t>(64, m_slots.size() * 2), Slot{});
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t index = 0; index < m_entries.size(); ++index) {
        const std::uint64_t hash = m_entries[index].hash;
        std::size_t i = hash & mask;
        while (m_slots[i].entry != 0)
            i = (i + 1) & mask;
        m_slots[i] = {static_cast<std::uint32_t>(hash >> 32), static_cast<std::uint32_t>(index + 1)};
    }
}

const ProfileSnapshot::Entry* ProfileSnapshot::Find(std::uint32_t owner, std::string_view name) const
{
    if (m_slots.empty())
        return nullptr;
    const Slot slot = m_slots[Probe({HashNoCase(name, owner), owner, {}, {}}, name)];
    return slot.entry == 0 ? nullptr : &m_entries[slot.entry - 1];
}

std::string ProfileSnapshot::Get(std::string_view section, std::string_view key, std::string_view def,
                                 std::size_t bufferSize) const
{
    section = TrimBlanks(section);
    key = TrimBlanks(key);
    if (!section.empty() && !key.empty()) {
        if (const Entry* s = Find(kSection, section)) {
            const auto owner = static_cast<std::uint32_t>(s - m_entries.data());
            if (const Entry* k = Find(owner, key))
                return std::string(CutToBuffer(Text(k->value), bufferSize));
        }
    }
    while (!def.empty() && IsBlank(def.back()))
        def.remove_suffix(1);
    return std::string(CutToBuffer(def, bufferSize));
}

void ProfileSnapshot::ForEachKey(std::string_view section, std::size_t bufferSize,
                                 const std::function<void(std::string_view, std::string_view)>& visit) const
{
    section = TrimBlanks(section);
    const Entry* s = section.empty() ? nullptr : Find(kSection, section);
    if (!s)
        return;
    const auto owner = static_cast<std::uint32_t>(s - m_entries.data());
    for (auto entry = m_entries.begin() + owner + 1; entry != m_entries.end(); ++entry)
        if (entry->owner == owner)
            visit(Text(entry->name), CutToBuffer(Text(entry->value), bufferSize));
}

std::string GetPrivateProfileString(std::string_view section, std::string_view key, std::string_view def,
                                    std::size_t bufferSize, const std::string& path)
{
    return ProfileSnapshot::Load(path).Get(section, key, def, bufferSize);
}

bool WritePrivateProfileString(std::string_view section, std::string_view key, std::string_view value,
                               const std::string& path)
{
    section = TrimBlanks(section);
    key = TrimBlanks(key);
    if (!IsWritable(section, key, value))
        return false;

    std::string text;
    const FileRead read = ReadWholeFile(path, text);
    if (read == FileRead::Failed)
        return false;
    const bool missing = read == FileRead::Missing;

    const std::string_view nl = FirstLineBreak(text);
    std::string keyLine;
    std::string out;

    // Only the first block of the section counts, as when reading.
    LineScanner scanner(text);
    Line line;
    bool inSection = false;
    bool sectionFound = false;
    Line anchor;  // the line after which a new key goes: the last key line, else the header
    Line match;
    bool keyFound = false;
    while (scanner.Next(line)) {
        if (line.kind == LineKind::Section) {
            if (inSection)
                break;
            if (EqualNoCase(line.name, section)) {
                inSection = sectionFound = true;
                anchor = line;
            }
        } else if (line.kind == LineKind::Key && inSection) {
            anchor = line;
            if (EqualNoCase(line.name, key)) {
                match = line;
                keyFound = true;
                break;
            }
        }
    }

    if (keyFound) {
        // The file's own spelling of the key is kept.
        out.reserve(text.size() + value.size());
        out.append(text, 0, match.begin);
        out.append(match.name).append("=").append(value);
        out.append(text, match.end, std::string::npos);
    } else if (sectionFound) {
        out.reserve(text.size() + key.size() + value.size() + 4);
        out.append(text, 0, anchor.next);
        if (anchor.next == anchor.end)  // the anchor is the last line and has no line break
            out.append(nl);
        out.append(key).append("=").append(value).append(nl);
        out.append(text, anchor.next, std::string::npos);
    } else {
        out = text;
        if (!out.empty() && out.back() != '\n' && out.back() != '\r')
            out.append(nl);
        out.append("[").append(section).append("]").append(nl);
        out.append(key).append("=").append(value).append(nl);
    }

    if (!missing && out == text)
        return true;
    return WriteFileAtomically(path, out);
}

}  // namespace platform
