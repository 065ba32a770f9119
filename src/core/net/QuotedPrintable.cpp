#include "net/QuotedPrintable.h"

#include <algorithm>

namespace tolvan {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

bool mustEncode(unsigned char c)
{
    return c < 32 || c == '=' || c >= 127;
}

bool isWhite(unsigned char c)
{
    return c == ' ' || c == '\t';
}

// Encoded length of a piece; a blank or tab that ends the line is encoded too,
// since mail servers strip trailing white space.
std::size_t encodedLength(std::string_view piece)
{
    std::size_t n = 0;
    for (std::size_t i = 0; i < piece.size(); ++i) {
        const auto c = static_cast<unsigned char>(piece[i]);
        const bool last = i + 1 == piece.size();
        n += (mustEncode(c) || (last && isWhite(c))) ? 3 : 1;
    }
    return n;
}

std::string encodePiece(std::string_view piece)
{
    std::string out;
    out.reserve(encodedLength(piece) + 1);
    for (std::size_t i = 0; i < piece.size(); ++i) {
        const auto c = static_cast<unsigned char>(piece[i]);
        const bool last = i + 1 == piece.size();
        if (mustEncode(c) || (last && isWhite(c))) {
            out += '=';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

bool isContinuation(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

void QuotedPrintable::encodeParagraph(std::string_view paragraph, std::vector<std::string>& out)
{
    if (paragraph.size() > kMaxParagraph)
        throw TolvanError("Paragraph is too large");
    // A piece of length n fits when it and its soft line break stay within one line.
    auto fits = [](std::string_view piece) { return encodedLength(piece) + 1 <= kMaxLine; };

    std::string_view rest = paragraph;
    for (;;) {
        if (rest.size() < kMaxPiece && encodedLength(rest) <= kMaxLine) {
            out.push_back(encodePiece(rest));
            return;
        }
        // Prefer to cut before the last blank that keeps the piece short enough;
        // the blank then begins the next piece.
        std::size_t cut = 0;
        const std::size_t highest = std::min(kMaxPiece, rest.size() - 1);
        for (std::size_t j = highest; j >= 1; --j) {
            if (rest[j] == ' ' && fits(rest.substr(0, j))) {
                cut = j;
                break;
            }
        }
        if (cut == 0) {
            std::size_t len = std::min(kMaxPiece, rest.size());
            while (len > 1 && !fits(rest.substr(0, len)))
                --len;
            // Keep a UTF-8 sequence on one line: cut before its first byte.
            if (len < rest.size() && isContinuation(rest[len])) {
                std::size_t lead = len;
                while (lead > 0 && isContinuation(rest[lead]))
                    --lead;
                if (lead >= 1)
                    len = lead;
            }
            cut = len;
        }
        out.push_back(encodePiece(rest.substr(0, cut)) + "=");
        rest.remove_prefix(cut);
    }
}

std::vector<std::string> QuotedPrintable::encode(std::string_view text)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            encodeParagraph(text.substr(start, i - start), out);
            // CR LF and LF CR are one break; CR CR and LF LF are two, so empty
            // lines survive.
            const char pair = c == '\r' ? '\n' : '\r';
            i += (i + 1 < text.size() && text[i + 1] == pair) ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    encodeParagraph(text.substr(start), out);
    return out;
}

std::vector<std::string> QuotedPrintable::encodeLines(const std::vector<std::string>& lines)
{
    if (lines.empty())
        return {};
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i)
            text += "\r\n";
        text += lines[i];
    }
    return encode(text);
}

}  // namespace tolvan
