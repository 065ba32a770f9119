#include "storage/BigIniFile.h"

#include "storage/IniText.h"

#include "util/Files.h"
#include "util/TextCodec.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <unordered_set>
#include <utility>

namespace tolvan {

namespace {

constexpr std::size_t kMaxChars = kIniMaxChars;
// "[" + name + "]" must still fit in one 255-character line, or the header
// would be cut on the next load and its section would vanish into the one above.
constexpr std::size_t kMaxSectionChars = kMaxChars - 2;

// CR and LF inside a name or value would split the line on disk and could even
// forge a section header, the end-of-file byte would cut off everything after
// it at the next load, and a NUL ends the text for the line-list readers of
// other programs; they are written as blanks.
std::string singleLine(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c == '\r' || c == '\n' || c == '\x1A' || c == '\0')
            c = ' ';
    return out;
}

std::string cleanSectionName(const std::string& section)
{
    return cutChars(singleLine(section), kMaxSectionChars);
}

bool keyMatches(std::string_view line, std::string_view key)
{
    const auto eq = line.find('=');
    return eq != std::string_view::npos && equalsIgnoreCase(line.substr(0, eq), key);
}

}  // namespace


// The whole path is kept: a cut name would read and write some other file.
BigIniFile::BigIniFile(std::string fileName) : fileName_(std::move(fileName))
{
    if (fileName_.empty() || !fileExists(fileName_))
        return;
    text_ = readFile(fileName_);
    if (!isValidUtf8(text_))
        text_ = windows1252ToUtf8(text_);
    if (!indexLaidOutText()) {
        sections_.clear();
        parseText();
        text_ = std::string();
    }
    modified_ = false;
}

namespace {

// Whether a load keeps the line as it stands (at most 255 characters).
bool keptWhole(std::string_view line)
{
    return line.size() <= kMaxChars || cutIniLine(line).size() == line.size();
}


// The section names a load has seen, compared as foldCase compares them. Plain
// ASCII names are kept as views into the text; any other name is folded once and
// kept here, so folded and plain names meet under the same ASCII-blind hash.
class SeenNames {
public:
    explicit SeenNames(std::size_t expected) { views_.reserve(expected); }

    // False when the name was seen before.
    bool insert(std::string_view name)
    {
        const bool ascii = std::all_of(name.begin(), name.end(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        if (!ascii)
            name = folded_.emplace_back(foldCase(name));
        return views_.insert(name).second;
    }

private:
    struct Hash {
        std::size_t operator()(std::string_view s) const
        {
            std::size_t h = 14695981039346656037ULL;  // FNV-1a over the lower-cased bytes
            for (const char c : s) {
                const auto b = static_cast<unsigned char>(c);
                h = (h ^ ((b >= 'A' && b <= 'Z') ? b + 32u : b)) * 1099511628211ULL;
            }
            return h;
        }
    };
    struct Equal {
        bool operator()(std::string_view a, std::string_view b) const { return asciiEqualsIgnoreCase(a, b); }
    };
    std::deque<std::string> folded_;
    std::unordered_set<std::string_view, Hash, Equal> views_;
};

}  // namespace

// Indexes text_ when serialize() of its full parse would give back exactly these
// bytes: no byte-order or end-of-file mark, every line ended by CR LF and kept
// whole, each section a header, at least one line that is neither empty nor a
// header, and one empty line; no name twice. Otherwise false (sections_ partly
// filled).
bool BigIniFile::indexLaidOutText()
{
    const std::string_view text = text_;
    if (text.starts_with("\xEF\xBB\xBF") || text.find('\x1A') != std::string_view::npos)
        return false;
    SeenNames seen(text.size() / 256 + 16);
    enum class Expect { Header, FirstLine, LineOrEnd } expect = Expect::Header;
    const char* const data = text.data();
    const char* const end = data + text.size();
    const char* p = data;
    while (p < end) {
        const auto* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        if (!lf || lf == p || lf[-1] != '\r')
            return false;
        const std::string_view line(p, static_cast<std::size_t>(lf - 1 - p));
        // No lone CR inside: a load would split the line there.
        if (!keptWhole(line) || std::memchr(line.data(), '\r', line.size()))
            return false;
        const char* const next = lf + 1;
        switch (expect) {
        case Expect::Header: {
            if (!isIniHeader(line))
                return false;
            const std::string_view name = line.substr(1, line.size() - 2);
            if (!seen.insert(name))
                return false;
            Section& section = sections_.emplace_back(Section{std::string(name), {}});
            section.rawBegin = static_cast<std::size_t>(p - data);
            expect = Expect::FirstLine;
            break;
        }
        case Expect::FirstLine:
            if (line.empty() || isIniHeader(line))
                return false;
            expect = Expect::LineOrEnd;
            break;
        case Expect::LineOrEnd:
            if (line.empty()) {
                sections_.back().rawEnd = static_cast<std::size_t>(next - data);
                expect = Expect::Header;
            } else if (isIniHeader(line)) {
                return false;
            }
            break;
        }
        p = next;
    }
    return expect == Expect::Header;
}

// The full load: lines before the first header and later sections of a name
// already seen are dropped, empty lines skipped, long lines cut.
void BigIniFile::parseText()
{
    std::unordered_set<std::string> seen;
    seen.reserve(text_.size() / 256 + 16);
    std::vector<std::string_view> pending;  // lines of the section being read
    bool keeping = false;                   // false before the first header and inside dropped duplicates
    auto finishSection = [&] {
        if (keeping) {
            auto& lines = sections_.back().lines;
            lines.reserve(pending.size());
            for (const auto line : pending)
                lines.emplace_back(line);
        }
        pending.clear();
    };

    forEachIniLine(text_, [&](std::string_view line) -> bool {
        if (isIniHeader(line)) {
            finishSection();
            const std::string_view name = line.substr(1, line.size() - 2);
            keeping = seen.insert(foldCase(name)).second;
            if (keeping)
                sections_.push_back(Section{std::string(name), {}});
            return true;
        }
        if (keeping)
            pending.push_back(line);
        return true;
    });
    finishSection();
}

std::vector<std::string>& BigIniFile::linesOf(std::size_t index) const
{
    Section& section = sections_[index];
    if (section.rawEnd != 0) {
        // Laid-out lines all end in CR LF and are kept whole; the empty one ends
        // the section. (They are split here, not by the file reader: a line that
        // opens with a byte-order mark keeps it, as it does in a full load.)
        const std::size_t first = section.rawBegin + section.name.size() + 4;  // past "[name]" CR LF
        const std::size_t end = section.rawEnd - 2;                            // before the empty line
        std::string_view body = std::string_view(text_).substr(first, end - first);
        while (!body.empty()) {
            const std::size_t lf = body.find('\n');
            section.lines.emplace_back(body.substr(0, lf - 1));
            body.remove_prefix(lf + 1);
        }
        section.rawBegin = section.rawEnd = 0;
    }
    return section.lines;
}

const std::vector<BigIniFile::Section>& BigIniFile::sections() const
{
    for (std::size_t i = 0; i < sections_.size(); ++i)
        linesOf(i);
    return sections_;
}

BigIniFile BigIniFile::loadSection(std::string fileName, const std::string& section)
{
    BigIniFile ini;
    ini.fileName_ = std::move(fileName);
    ini.partial_ = true;
    if (ini.fileName_.empty() || !fileExists(ini.fileName_))
        return ini;
    const std::string text = decodeFileText(readFile(ini.fileName_));
    const std::string wanted = cleanSectionName(section);
    // Later sections of the same name are dropped on a full load, so the first
    // header that matches is the section; the next header ends it.
    bool inside = false;
    forEachIniLine(text, [&](std::string_view line) -> bool {
        if (isIniHeader(line)) {
            if (inside)
                return false;
            const std::string_view name = line.substr(1, line.size() - 2);
            if (equalsIgnoreCase(name, wanted)) {
                inside = true;
                ini.sections_.push_back(Section{std::string(name), {}});
            }
            return true;
        }
        if (inside)
            ini.sections_.back().lines.emplace_back(line);
        return true;
    });
    return ini;
}

int BigIniFile::findSection(const std::string& name) const
{
    const std::size_t count = sections_.size();
    if (count == 0)
        return -1;
    if (lastFound_ >= count)
        lastFound_ = 0;
    for (std::size_t n = 0; n < count; ++n) {
        const std::size_t i = (lastFound_ + n) % count;
        if (equalsIgnoreCase(sections_[i].name, name)) {
            lastFound_ = i;
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::string BigIniFile::ReadString(const std::string& section, const std::string& key,
                                   const std::string& defaultValue) const
{
    const int index = findSection(cleanSectionName(section));
    if (index >= 0) {
        const std::string k = cutChars(key, kMaxChars);
        for (const auto& line : linesOf(static_cast<std::size_t>(index)))
            if (keyMatches(line, k))
                return line.substr(line.find('=') + 1);
    }
    return cutChars(defaultValue, kMaxChars);
}

void BigIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value)
{
    const std::string k = cutChars(singleLine(key), kMaxChars);
    if (k.empty())
        return;
    const std::string name = cleanSectionName(section);
    std::string newLine = cutChars(k + "=" + singleLine(cutChars(value, kMaxChars)), kMaxChars);

    int index = findSection(name);
    if (index < 0) {
        sections_.push_back(Section{name, {}});
        index = static_cast<int>(sections_.size() - 1);
        lastFound_ = sections_.size() - 1;
    }
    auto& lines = linesOf(static_cast<std::size_t>(index));
    for (auto& line : lines) {
        if (keyMatches(line, k)) {
            if (line != newLine) {
                line = std::move(newLine);
                modified_ = true;
            }
            return;
        }
    }
    lines.push_back(std::move(newLine));
    modified_ = true;
}

void BigIniFile::EraseSection(const std::string& section)
{
    const int index = findSection(cleanSectionName(section));
    if (index < 0)
        return;
    sections_.erase(sections_.begin() + index);
    lastFound_ = 0;
    modified_ = true;
}

bool BigIniFile::sameSectionName(const std::string& a, const std::string& b)
{
    return equalsIgnoreCase(cleanSectionName(a), cleanSectionName(b));
}

bool BigIniFile::SectionExists(const std::string& section) const
{
    return findSection(cleanSectionName(section)) >= 0;
}

std::string BigIniFile::serialize() const
{
    std::size_t size = 0;
    for (const auto& s : sections_) {
        if (s.rawEnd != 0) {
            size += s.rawEnd - s.rawBegin;
            continue;
        }
        if (s.lines.empty())
            continue;
        size += s.name.size() + 6;
        for (const auto& line : s.lines)
            size += line.size() + 2;
    }
    std::string out;
    out.reserve(size);
    for (const auto& s : sections_) {
        if (s.rawEnd != 0) {  // not read in, so unchanged: its bytes as loaded
            out.append(text_, s.rawBegin, s.rawEnd - s.rawBegin);
            continue;
        }
        if (s.lines.empty())
            continue;  // empty sections are not written
        out += '[';
        out += s.name;
        out += "]\r\n";
        for (const auto& line : s.lines) {
            out += line;
            out += "\r\n";
        }
        out += "\r\n";
    }
    return out;
}

void BigIniFile::UpdateFile()
{
    if (!modified_ || fileName_.empty())
        return;
    if (partial_)
        throw std::logic_error("a file loaded for one section cannot be written back");
    writeFileAtomic(fileName_, serialize());
    modified_ = false;
}

}  // namespace tolvan
