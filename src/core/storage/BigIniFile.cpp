#include "storage/BigIniFile.h"

#include "storage/IniText.h"

#include "util/Files.h"
#include "util/TextCodec.h"

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
    const std::string text = decodeFileText(readFile(fileName_));

    std::unordered_set<std::string> seen;
    seen.reserve(text.size() / 256 + 16);
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

    forEachIniLine(text, [&](std::string_view line) -> bool {
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
    modified_ = false;
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
        for (const auto& line : sections_[static_cast<std::size_t>(index)].lines)
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
    auto& lines = sections_[static_cast<std::size_t>(index)].lines;
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
        if (s.lines.empty())
            continue;
        size += s.name.size() + 6;
        for (const auto& line : s.lines)
            size += line.size() + 2;
    }
    std::string out;
    out.reserve(size);
    for (const auto& s : sections_) {
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
