#include "settings/RegFile.h"

#include "util/TextCodec.h"

#include <cstdint>
#include <string_view>

namespace tolvan {

namespace {

std::string utf16LeToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() / 2);
    auto unit = [&](std::size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i]))
               | (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8);
    };
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        std::uint32_t cp = unit(i);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 3 < bytes.size()) {
            const std::uint32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (cp >= 0xD800 && cp <= 0xDFFF)
            cp = 0xFFFD;
        appendUtf8(out, cp);
    }
    return out;
}

std::vector<std::string> splitLines(std::string_view text)
{
    std::vector<std::string> lines;
    while (!text.empty()) {
        const auto end = text.find_first_of("\r\n");
        if (end == std::string_view::npos) {
            lines.emplace_back(text);
            break;
        }
        lines.emplace_back(text.substr(0, end));
        const std::size_t skip = (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1;
        text.remove_prefix(end + skip);
    }
    return lines;
}

// Reads a quoted string starting at s[pos] == '"'; on success pos points past
// the closing quote.
std::optional<std::string> readQuoted(std::string_view s, std::size_t& pos)
{
    std::string out;
    for (std::size_t i = pos + 1; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
            out += s[++i];
        } else if (c == '"') {
            pos = i + 1;
            return out;
        } else {
            out += c;
        }
    }
    return std::nullopt;
}

std::string quote(std::string_view s)
{
    std::string out = "\"";
    for (const char c : s) {
        if (c == '\\' || c == '"')
            out += '\\';
        // A line break cannot stand inside a .reg string; it becomes a blank.
        out += (c == '\r' || c == '\n') ? ' ' : c;
    }
    out += '"';
    return out;
}

bool isKeyLine(std::string_view line)
{
    return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

}  // namespace

RegFile RegFile::parse(const std::string& bytes)
{
    std::string text;
    if (bytes.starts_with("\xFF\xFE"))
        text = utf16LeToUtf8(std::string_view(bytes).substr(2));
    else
        text = decodeFileText(bytes.starts_with("\xEF\xBB\xBF") ? bytes.substr(3) : bytes);

    RegFile file;
    std::vector<std::string> lines = splitLines(text);
    std::size_t i = 0;
    while (i < lines.size() && lines[i].empty())
        ++i;
    if (i < lines.size() && (lines[i] == kHeader || lines[i] == "REGEDIT4")) {
        file.header_ = lines[i];
        ++i;
    }
    Key* current = nullptr;
    for (; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (isKeyLine(line)) {
            file.keys_.push_back(Key{line.substr(1, line.size() - 2), {}});
            current = &file.keys_.back();
            continue;
        }
        if (line.empty())
            continue;
        const std::size_t first = i;
        Entry entry;
        std::size_t pos = 0;
        std::optional<std::string> name;
        if (line[0] == '@') {
            name = "@";
            pos = 1;
        } else if (line[0] == '"') {
            name = readQuoted(line, pos);
        }
        if (name && pos < line.size() && line[pos] == '=') {
            entry.isValue = true;
            entry.name = *name;
            ++pos;
            std::size_t after = pos;
            std::optional<std::string> data;
            if (pos < line.size() && line[pos] == '"')
                data = readQuoted(line, after);
            if (data && after == line.size()) {
                entry.isText = true;
                entry.data = *data;
            } else {
                // Another type; hex data may go on over lines ending in "\".
                entry.data = line.substr(pos);
                while (!entry.data.empty() && entry.data.back() == '\\' && i + 1 < lines.size())
                    entry.data += "\r\n" + lines[++i];
            }
        } else {
            entry.raw = line;
        }
        if (current) {
            current->entries.push_back(std::move(entry));
        } else {
            // Before any key: kept as text, with the lines a value went on over.
            for (std::size_t j = first; j <= i; ++j)
                file.preamble_.push_back(lines[j]);
        }
    }
    return file;
}

RegFile::Key* RegFile::findKey(const std::string& key)
{
    for (auto& k : keys_)
        if (equalsIgnoreCase(k.path, key))
            return &k;
    return nullptr;
}

const RegFile::Key* RegFile::findKey(const std::string& key) const
{
    return const_cast<RegFile*>(this)->findKey(key);
}

bool RegFile::hasKey(const std::string& key) const
{
    return findKey(key) != nullptr;
}

void RegFile::addKey(const std::string& key)
{
    if (!findKey(key))
        keys_.push_back(Key{key, {}});
}

RegFile::Lookup RegFile::value(const std::string& key, const std::string& name) const
{
    Lookup result;
    if (const Key* k = findKey(key)) {
        for (const auto& e : k->entries) {
            if (e.isValue && equalsIgnoreCase(e.name, name)) {
                result.found = true;
                result.isText = e.isText;
                if (e.isText)
                    result.text = e.data;
                break;
            }
        }
    }
    return result;
}

void RegFile::setText(const std::string& key, const std::string& name, const std::string& text)
{
    addKey(key);
    Key* k = findKey(key);
    for (auto& e : k->entries) {
        if (e.isValue && equalsIgnoreCase(e.name, name)) {
            e.name = name;
            e.isText = true;
            e.data = text;
            return;
        }
    }
    Entry entry;
    entry.isValue = true;
    entry.isText = true;
    entry.name = name;
    entry.data = text;
    k->entries.push_back(std::move(entry));
}

std::string RegFile::serialize() const
{
    std::string out = header_ + "\r\n\r\n";
    for (const auto& line : preamble_)
        out += line + "\r\n";
    // A last line ending in "\" would carry the first key line away with it.
    if (!preamble_.empty() && preamble_.back().ends_with('\\'))
        out += "\r\n";
    for (const auto& k : keys_) {
        out += "[" + k.path + "]\r\n";
        for (const auto& e : k.entries) {
            if (!e.isValue)
                out += e.raw;
            else
                out += (e.name == "@" ? std::string("@") : quote(e.name)) + "="
                       + (e.isText ? quote(e.data) : e.data);
            out += "\r\n";
        }
        out += "\r\n";
    }
    return out;
}

}  // namespace tolvan
