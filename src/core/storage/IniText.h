#pragma once
// The reading rules of the keyed .tlx files, shared by BigIniFile and by
// read-only look-ups that need no copy of each line (the engine definitions,
// read once per site and engine).
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace tolvan {

inline constexpr std::size_t kIniMaxChars = 255;

// Cuts a line to 255 characters without splitting a UTF-8 sequence.
std::string_view cutIniLine(std::string_view line);

inline bool isIniHeader(std::string_view line)
{
    return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

// Calls onLine for every line of `text` (decoded already) as the files are read:
// a byte-order mark and everything from the end-of-file mark on are ignored,
// a line ends at CR LF, a lone CR or a lone LF, empty lines are skipped and
// every line is cut to 255 characters. An onLine that returns bool stops the
// reading by returning false.
template <class OnLine>
void forEachIniLine(std::string_view text, OnLine&& onLine)
{
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    // The end-of-file mark ends the text; what stands before it on its line still counts.
    if (const auto eof = text.find('\x1A'); eof != std::string_view::npos)
        text = text.substr(0, eof);

    // The first CR or LF from p on, eight bytes at a time (lines are short,
    // and one pass finds either end, so LF-only files stay linear too).
    const char* p = text.data();
    const char* const end = p + text.size();
    const auto lineEnd = [end](const char* from) {
        constexpr std::uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
        for (; std::endian::native == std::endian::little && end - from >= 8; from += 8) {
            std::uint64_t word;
            std::memcpy(&word, from, 8);
            const std::uint64_t cr = word ^ (ones * '\r'), lf = word ^ (ones * '\n');
            // A byte of zero in either: the lowest flagged byte is the first such byte.
            const std::uint64_t hits = ((cr - ones) & ~cr & highs) | ((lf - ones) & ~lf & highs);
            if (hits != 0)
                return from + std::countr_zero(hits) / 8;
        }
        while (from < end && *from != '\r' && *from != '\n')
            ++from;
        return from;
    };
    while (p < end) {
        const char* stop = lineEnd(p);
        std::string_view line(p, static_cast<std::size_t>(stop - p));
        p = stop;
        if (p < end) {
            if (*p == '\r' && p + 1 < end && p[1] == '\n')
                ++p;
            ++p;
        }
        if (line.empty())
            continue;
        if (line.size() > kIniMaxChars)
            line = cutIniLine(line);
        if constexpr (std::is_same_v<std::invoke_result_t<OnLine&, std::string_view>, bool>) {
            if (!onLine(line))
                return;
        } else {
            onLine(line);
        }
    }
}

// A whole keyed file held as one text, its values looked up where they stand.
// Look-ups follow BigIniFile::ReadString: sections and keys are found without
// regard to case, the first section of a name and the first line of a key count.
class IniText {
public:
    // Reads the file with as few system calls as it can (open, one read for a
    // small file, close). False when there is no such file (or it is a
    // directory); throws FileError when it exists but cannot be read. The
    // object keeps its buffers, so loading file after file into one object
    // allocates nothing once they have grown.
    bool load(const std::string& path);
    // The same for `name` inside the open directory `directory` (an fd, or
    // AT_FDCWD); `path` names the file in error messages.
    bool load(int directory, const char* name, const std::string& path);
    // The same from bytes already in memory.
    void parse(std::string_view bytes);

    // The value, or an empty view when the section or key is absent. The view
    // lives until the next load() or parse().
    std::string_view value(std::string_view section, std::string_view key) const;

    // Several keys of one section in one pass over its lines: found[i] is what
    // value(section, keys[i]) answers. `found` has the size of `keys`.
    void values(std::string_view section, std::span<const std::string_view> keys,
                std::span<std::string_view> found) const;

private:
    void index(std::string_view text);

    // Names are split off once per load, each with a signature: an ASCII name
    // (its length and first letter, folded) is compared with the names of the
    // same signature alone.
    static constexpr std::uint32_t kNoKey = 0;     // a line without "=" matches no key
    static constexpr std::uint32_t kOtherKey = 1;  // a name with bytes beyond ASCII
    static std::uint32_t asciiSignature(std::string_view name)
    {
        const unsigned char first = name.empty() ? 0 : static_cast<unsigned char>(name[0]);
        const unsigned folded = first >= 'A' && first <= 'Z' ? first + 32u : first;
        return 0x80000000u | static_cast<std::uint32_t>(name.size()) << 8 | folded;
    }
    struct Line {
        std::string_view key;  // before the first "="
        std::string_view value;
        std::uint32_t signature = kNoKey;
    };
    struct Section {
        std::string_view name;
        bool asciiName = false;
        std::size_t first = 0;  // index into lines_
        std::size_t count = 0;
    };
    const Section* findSection(std::string_view section) const;
    std::string_view valueIn(const Section& s, std::string_view key) const;
    std::unique_ptr<char[]> buffer_;  // what load() read, never cleared between loads
    std::size_t bufferSize_ = 0;
    std::string converted_;  // parse()'s copy, or a Windows-1252 text as UTF-8
    std::vector<Line> lines_;
    std::vector<Section> sections_;
};

}  // namespace tolvan
