#include "storage/LineList.h"

#include "util/Files.h"
#include "util/TextCodec.h"

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
    const std::string text = decodeFileText(raw);

    std::string_view rest(text);
    if (rest.starts_with("\xEF\xBB\xBF"))
        rest.remove_prefix(3);
    LineList lines;
    while (!rest.empty()) {
        const auto end = rest.find_first_of("\r\n");
        if (end == std::string_view::npos) {
            lines.emplace_back(rest);
            break;
        }
        lines.emplace_back(rest.substr(0, end));
        std::size_t skip = 1;
        if (rest[end] == '\r' && end + 1 < rest.size() && rest[end + 1] == '\n')
            skip = 2;
        rest.remove_prefix(end + skip);
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
