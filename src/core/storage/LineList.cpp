#include "storage/LineList.h"

#include "util/Files.h"
#include "util/TextCodec.h"

#include <cstring>
#include <string_view>

namespace tolvan {

LineList readLineList(const std::string& fileName)
{
    return parseLineList(readFile(fileName));
}

LineList parseLineList(std::string_view raw)
{
    // A NUL byte is an ordinary character: ending the text there would make every
    // entry after it vanish, and the next write would drop them for good.
    std::string decoded;
    std::string_view text = raw;
    if (!isValidUtf8(raw)) {
        decoded = windows1252ToUtf8(raw);
        text = decoded;
    }
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    LineList lines;
    const char* p = text.data();
    const char* const end = p + text.size();
    auto find = [](const char* from, const char* to, char c) {
        const void* hit = std::memchr(from, c, static_cast<std::size_t>(to - from));
        return hit ? static_cast<const char*>(hit) : to;
    };
    const char* lf = nullptr;  // the next LF at or after p (end when none)
    while (p < end) {
        if (lf == nullptr || lf < p)
            lf = find(p, end, '\n');
        // A line ends at the first CR or LF; in CR LF text the CR stands just before the LF.
        const char* lineEnd = lf;
        if (lf > p && lf[-1] == '\r')
            lineEnd = lf - 1;
        lineEnd = find(p, lineEnd, '\r');
        lines.emplace_back(p, lineEnd);
        if (lineEnd == end)
            break;
        p = lineEnd + (*lineEnd == '\r' && lineEnd + 1 < end && lineEnd[1] == '\n' ? 2 : 1);
    }
    return lines;
}

void writeLineList(const std::string& fileName, const LineList& lines)
{
    writeFileAtomic(fileName, lineListText(lines));
}

std::string lineListText(const LineList& lines)
{
    std::size_t size = 0;
    for (const auto& line : lines)
        size += line.size() + 2;
    std::string out;
    out.reserve(size);
    for (const auto& line : lines) {
        out += line;
        out += "\r\n";
    }
    return out;
}

}  // namespace tolvan
