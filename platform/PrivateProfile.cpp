#include "platform/PrivateProfile.h"

#include "platform/AtomicFile.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace platform {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

std::string Lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool EqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

std::string_view StripQuotes(std::string_view v)
{
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

// Cuts to bufferSize - 1 bytes without splitting a UTF-8 sequence, so a cut value
// is still valid text.
std::string CutToBuffer(std::string_view v, std::size_t bufferSize)
{
    if (bufferSize == 0)
        return {};
    std::size_t n = bufferSize - 1;
    if (v.size() <= n)
        return std::string(v);
    while (n > 0 && (static_cast<unsigned char>(v[n]) & 0xC0) == 0x80)
        --n;
    return std::string(v.substr(0, n));
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
    }

    bool Next(Line& line)
    {
        if (m_pos >= m_text.size())
            return false;
        line = Line{};
        line.begin = m_pos;
        std::size_t end = m_text.find_first_of("\r\n", m_pos);
        if (end == std::string_view::npos) {
            line.end = line.next = m_text.size();
        } else {
            line.end = end;
            line.next = end + 1;
            if (m_text[end] == '\r' && line.next < m_text.size() && m_text[line.next] == '\n')
                ++line.next;
        }
        m_pos = line.next;
        Classify(line);
        return true;
    }

private:
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
    return Parse(text);
}

ProfileSnapshot ProfileSnapshot::Parse(std::string_view text)
{
    ProfileSnapshot snapshot;
    LineScanner scanner(text);
    Line line;
    std::map<std::string, std::string>* current = nullptr;  // null: no section, or a repeated one
    while (scanner.Next(line)) {
        if (line.kind == LineKind::Section) {
            auto [it, inserted] = snapshot.m_sections.try_emplace(Lower(line.name));
            current = inserted ? &it->second : nullptr;
        } else if (line.kind == LineKind::Key && current) {
            current->try_emplace(Lower(line.name), StripQuotes(line.value));
        }
    }
    return snapshot;
}

std::string ProfileSnapshot::Get(std::string_view section, std::string_view key, std::string_view def,
                                 std::size_t bufferSize) const
{
    section = TrimBlanks(section);
    key = TrimBlanks(key);
    if (!section.empty() && !key.empty()) {
        auto s = m_sections.find(Lower(section));
        if (s != m_sections.end()) {
            auto k = s->second.find(Lower(key));
            if (k != s->second.end())
                return CutToBuffer(k->second, bufferSize);
        }
    }
    while (!def.empty() && IsBlank(def.back()))
        def.remove_suffix(1);
    return CutToBuffer(def, bufferSize);
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
