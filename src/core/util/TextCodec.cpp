#include "util/TextCodec.h"

#include <cstdint>

namespace tolvan {

namespace {

// Length of the well-formed UTF-8 sequence at s[i], or 0 when it is not one.
std::size_t sequenceLength(std::string_view s, std::size_t i)
{
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80)
        return 1;
    const std::size_t left = s.size() - i;
    auto cont = [&](std::size_t k) { return (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80; };
    if (b0 >= 0xC2 && b0 <= 0xDF)
        return left >= 2 && cont(1) ? 2 : 0;
    if (b0 >= 0xE0 && b0 <= 0xEF) {
        if (left < 3 || !cont(1) || !cont(2))
            return 0;
        const auto b1 = static_cast<unsigned char>(s[i + 1]);
        if (b0 == 0xE0 && b1 < 0xA0)
            return 0;  // overlong
        if (b0 == 0xED && b1 > 0x9F)
            return 0;  // surrogate
        return 3;
    }
    if (b0 >= 0xF0 && b0 <= 0xF4) {
        if (left < 4 || !cont(1) || !cont(2) || !cont(3))
            return 0;
        const auto b1 = static_cast<unsigned char>(s[i + 1]);
        if (b0 == 0xF0 && b1 < 0x90)
            return 0;
        if (b0 == 0xF4 && b1 > 0x8F)
            return 0;
        return 4;
    }
    return 0;
}

// Step over one character: a whole sequence, or one stray byte.
std::size_t stepLength(std::string_view s, std::size_t i)
{
    const std::size_t n = sequenceLength(s, i);
    return n == 0 ? 1 : n;
}

// Code points of bytes 0x80..0x9F in Windows-1252; the five unassigned bytes map
// to the C1 control of the same number.
constexpr std::uint16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};


// Lower-case form of a code point for comparisons: ASCII, Latin-1 and Latin
// Extended-A letters.
std::uint32_t foldCodePoint(std::uint32_t cp)
{
    if (cp < 0x80)
        return (cp >= 'A' && cp <= 'Z') ? cp + 32 : cp;
    if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7)
        return cp + 32;
    if (cp >= 0x100 && cp <= 0x17F) {
        if (cp == 0x178)
            return 0xFF;
        if ((cp >= 0x100 && cp <= 0x137) || (cp >= 0x14A && cp <= 0x177))
            return cp | 1;
        if ((cp >= 0x139 && cp <= 0x148) || (cp >= 0x179 && cp <= 0x17E))
            return (cp & 1) ? cp + 1 : cp;
    }
    return cp;
}

// Reads the character at s[i] and advances i; a stray byte reads as itself
// offset into a private range so it never equals a real character.
std::uint32_t nextFolded(std::string_view s, std::size_t& i)
{
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        ++i;
        return (b0 >= 'A' && b0 <= 'Z') ? b0 + 32u : b0;
    }
    const std::size_t n = sequenceLength(s, i);
    if (n == 0) {
        ++i;
        return 0x110000u + b0;
    }
    std::uint32_t cp = b0 & (0xFF >> (n + 1));
    for (std::size_t k = 1; k < n; ++k)
        cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    i += n;
    return foldCodePoint(cp);
}

}  // namespace

void appendUtf8(std::string& out, std::uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool isValidUtf8(std::string_view bytes)
{
    std::size_t i = 0;
    const std::size_t size = bytes.size();
    while (i < size) {
        // Fast path over plain ASCII, 32 bytes and then 8 at a time.
        while (i + 32 <= size) {
            std::uint64_t w[4];
            __builtin_memcpy(w, bytes.data() + i, 32);
            if ((w[0] | w[1] | w[2] | w[3]) & 0x8080808080808080ull)
                break;
            i += 32;
        }
        while (i + 8 <= size) {
            std::uint64_t word;
            __builtin_memcpy(&word, bytes.data() + i, 8);
            if (word & 0x8080808080808080ull)
                break;
            i += 8;
        }
        if (i >= size)
            break;
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        const std::size_t n = sequenceLength(bytes, i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

std::string windows1252ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80)
            out += c;
        else if (b < 0xA0)
            appendUtf8(out, kCp1252High[b - 0x80]);
        else
            appendUtf8(out, b);
    }
    return out;
}

std::string decodeFileText(std::string_view bytes)
{
    if (isValidUtf8(bytes))
        return std::string(bytes);
    return windows1252ToUtf8(bytes);
}

std::string cutBytes(std::string s, std::size_t maxBytes)
{
    if (s.size() <= maxBytes)
        return s;
    std::size_t end = maxBytes;
    while (end > 0 && (static_cast<unsigned char>(s[end]) & 0xC0) == 0x80)
        --end;
    s.resize(end);
    return s;
}

std::string cutChars(std::string_view s, std::size_t maxChars)
{
    if (s.size() <= maxChars)
        return std::string(s);  // fewer bytes than the limit: fewer characters too
    std::size_t i = 0;
    std::size_t count = 0;
    while (i < s.size() && count < maxChars) {
        i += stepLength(s, i);
        ++count;
    }
    return std::string(s.substr(0, i));
}

std::size_t charCount(std::string_view s)
{
    std::size_t count = 0;
    for (std::size_t i = 0; i < s.size(); i += stepLength(s, i))
        ++count;
    return count;
}

std::string asciiLower(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + ('a' - 'A'));
    return out;
}

std::string base64Encode(std::string_view in)
{
    static const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((in.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < in.size(); i += 3) {
        const unsigned v = (static_cast<unsigned char>(in[i]) << 16) | (static_cast<unsigned char>(in[i + 1]) << 8)
                           | static_cast<unsigned char>(in[i + 2]);
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += alphabet[(v >> 6) & 63];
        out += alphabet[v & 63];
    }
    if (i + 1 == in.size()) {
        const unsigned v = static_cast<unsigned char>(in[i]) << 16;
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += "==";
    } else if (i + 2 == in.size()) {
        const unsigned v = (static_cast<unsigned char>(in[i]) << 16) | (static_cast<unsigned char>(in[i + 1]) << 8);
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += alphabet[(v >> 6) & 63];
        out += '=';
    }
    return out;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b)
{
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[j]);
        if (ca < 0x80 && cb < 0x80) {
            if (ca != cb) {
                const unsigned char la = (ca >= 'A' && ca <= 'Z') ? ca + 32 : ca;
                const unsigned char lb = (cb >= 'A' && cb <= 'Z') ? cb + 32 : cb;
                if (la != lb)
                    return false;
            }
            ++i;
            ++j;
            continue;
        }
        if (nextFolded(a, i) != nextFolded(b, j))
            return false;
    }
    return i == a.size() && j == b.size();
}

int compareIgnoreCase(std::string_view a, std::string_view b)
{
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const std::uint32_t ca = nextFolded(a, i);
        const std::uint32_t cb = nextFolded(b, j);
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

std::string foldCase(std::string_view s)
{
    std::string out(s);
    std::size_t i = 0;
    // Plain ASCII folds in place; the first other byte goes the long way.
    for (; i < out.size(); ++i) {
        const auto c = static_cast<unsigned char>(out[i]);
        if (c >= 0x80)
            break;
        if (c >= 'A' && c <= 'Z')
            out[i] = static_cast<char>(c + 32);
    }
    if (i == out.size())
        return out;
    out.resize(i);
    while (i < s.size()) {
        const std::uint32_t cp = nextFolded(s, i);
        if (cp >= 0x110000u)
            out += static_cast<char>(cp - 0x110000u);
        else if (cp < 0x80)
            out += static_cast<char>(cp);
        else
            appendUtf8(out, cp);
    }
    return out;
}

}  // namespace tolvan
