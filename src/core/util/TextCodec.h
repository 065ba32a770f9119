#pragma once
// Text on disk is UTF-8; a file that is not valid UTF-8 is read as Windows-1252
// so data sets from elsewhere still load.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tolvan {

bool isValidUtf8(std::string_view bytes);
std::string windows1252ToUtf8(std::string_view bytes);
// The file's bytes as UTF-8 text: unchanged when valid UTF-8, else from Windows-1252.
std::string decodeFileText(std::string_view bytes);
// Appends one code point as UTF-8.
void appendUtf8(std::string& out, std::uint32_t codePoint);

// At most maxChars characters (code points) of s, never splitting a UTF-8 sequence.
std::string cutChars(std::string_view s, std::size_t maxChars = 255);
std::size_t charCount(std::string_view s);
// At most maxBytes bytes of s, never splitting a UTF-8 sequence.
std::string cutBytes(std::string s, std::size_t maxBytes);

// Letter case folding for key and name comparisons (ASCII and Latin-1 letters).
bool equalsIgnoreCase(std::string_view a, std::string_view b);
int compareIgnoreCase(std::string_view a, std::string_view b);
// The folded form used by those comparisons, for hashing names; bytes that are
// not valid UTF-8 stay as they are.
std::string foldCase(std::string_view s);
// A..Z turned into a..z, every other byte as it is: for protocol names, header
// names and host names, which are ASCII.
std::string asciiLower(std::string_view s);
// Whether asciiLower(a) == asciiLower(b), without making either (inline: look-ups
// of keys and header names call it in their inner loops).
inline bool asciiEqualsIgnoreCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[i]);
        // Equal, or the same letter in the other case (the 0x20 bit tells only for letters).
        if (ca != cb && ((ca | 0x20) != (cb | 0x20) || (ca | 0x20) < 'a' || (ca | 0x20) > 'z'))
            return false;
    }
    return true;
}

// Base64 (RFC 4648, with "=" padding), as Basic authentication and SMTP AUTH send it.
std::string base64Encode(std::string_view bytes);

}  // namespace tolvan
