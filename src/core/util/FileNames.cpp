#include "util/FileNames.h"

#include <array>

#include "util/TextCodec.h"

namespace tolvan {

namespace {
constexpr std::array<std::string_view, 8> kOwnFiles = {
    "last", "custmsg", "englist", "tlxplist", "tlxurls", "tlxurlsrev", "tlxprofiles", "tlxbatch",
};

// The name in double quotes followed by `rest`, built front to back: a literal
// before a temporary string would make the library insert at the front.
std::string quotedName(std::string_view name, std::string_view rest)
{
    std::string text;
    text.reserve(name.size() + rest.size() + 2);
    text += '"';
    text.append(name);
    text += '"';
    text.append(rest);
    return text;
}
}

std::string checkListName(std::string_view name)
{
    if (name.empty())
        return {};
    if (name == "." || name == "..")
        return quotedName(name, " cannot be used as a list name.");
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '/' || c == '\\')
            return "A list name cannot contain \"/\" or \"\\\".";
        if (c < 32 || c == 127)
            return "A list name cannot contain control characters.";
    }
    for (const auto own : kOwnFiles)
        if (equalsIgnoreCase(name, own))
            return quotedName(name, " is the name of one of Tolvan's own files.  Please choose another name.");
    return {};
}

std::string safeFileName(std::string_view title)
{
    if (title.empty() || title == "." || title == "..")
        return "_";
    std::string out;
    out.reserve(title.size());
    for (const char ch : title) {
        const auto c = static_cast<unsigned char>(ch);
        const bool bad = c < 32 || c == 127 || ch == '/' || ch == '\\' || ch == ':' || ch == '*' || ch == '?'
            || ch == '"' || ch == '<' || ch == '>' || ch == '|';
        out += bad ? '_' : ch;
    }
    return out;
}

}  // namespace tolvan
