#include "util/FileNames.h"

#include <array>

#include "util/TextCodec.h"

namespace tolvan {

namespace {
constexpr std::array<std::string_view, 8> kOwnFiles = {
    "last", "custmsg", "englist", "tlxplist", "tlxurls", "tlxurlsrev", "tlxprofiles", "tlxbatch",
};
constexpr std::array<std::string_view, 5> kOwnDataFiles = {"sites", "categories", "custeng", "tlversion", "hosts"};

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

// The part both checks share: a name that stays one plain file name.
// `asWhat` is "a list name", `subject` "A list name".
std::string checkPlainName(std::string_view name, std::string_view asWhat, std::string_view subject)
{
    if (name == "." || name == "..") {
        std::string rest = " cannot be used as ";
        rest.append(asWhat);
        rest += '.';
        return quotedName(name, rest);
    }
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '/' || c == '\\')
            return std::string(subject) + " cannot contain \"/\" or \"\\\".";
        if (c < 32 || c == 127)
            return std::string(subject) + " cannot contain control characters.";
    }
    return {};
}
}  // namespace

std::string checkEngineName(std::string_view name)
{
    if (name.empty())
        return "An engine name cannot be empty.";
    if (std::string refusal = checkPlainName(name, "an engine name", "An engine name"); !refusal.empty())
        return refusal;
    for (const auto own : kOwnDataFiles)
        if (equalsIgnoreCase(name, own))
            return quotedName(name, " is the name of one of Tolvan's own files, not an engine.");
    return {};
}

std::string checkListName(std::string_view name)
{
    if (name.empty())
        return {};
    if (std::string refusal = checkPlainName(name, "a list name", "A list name"); !refusal.empty())
        return refusal;
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
