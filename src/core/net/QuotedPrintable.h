#pragma once
// Quoted-printable encoding of a plain-text mail body (RFC 2045).
#include <string>
#include <string_view>
#include <vector>

#include "util/Errors.h"

namespace tolvan {

class QuotedPrintable {
public:
    // Longest paragraph (text between two line breaks) the encoder accepts.
    static constexpr std::size_t kMaxParagraph = 0x5FFF;
    // Longest piece of source text on one encoded line.
    static constexpr std::size_t kMaxPiece = 65;
    // Longest encoded line, soft line break included.
    static constexpr std::size_t kMaxLine = 76;

    // Encodes text whose lines end in CR LF, LF CR, CR or LF. Each paragraph is
    // cut into pieces at blanks where possible; every piece but the last of a
    // paragraph ends in a soft line break "=". Returns the encoded lines
    // (without line ends). Throws TolvanError("Paragraph is too large").
    static std::vector<std::string> encode(std::string_view text);

    // The same for text that is already split into lines.
    static std::vector<std::string> encodeLines(const std::vector<std::string>& lines);

private:
    static void encodeParagraph(std::string_view paragraph, std::vector<std::string>& out);
};

}  // namespace tolvan
