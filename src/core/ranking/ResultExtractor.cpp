#include "ranking/ResultExtractor.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <nlohmann/json.hpp>

#include "util/Errors.h"
#include "util/TextCodec.h"

namespace tolvan {

struct ResultExtractor::Pattern {
    pcre2_code* code = nullptr;
    pcre2_match_data* match = nullptr;
    ~Pattern()
    {
        pcre2_match_data_free(match);
        pcre2_code_free(code);
    }
};

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string percentDecode(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int hi = hexValue(text[i + 1]), lo = hexValue(text[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += text[i] == '+' ? ' ' : text[i];
    }
    return out;
}

bool base64Decode(std::string_view text, std::string& out)
{
    out.clear();
    unsigned buffer = 0;
    int bits = 0;
    for (char c : text) {
        int v;
        if (c >= 'A' && c <= 'Z')
            v = c - 'A';
        else if (c >= 'a' && c <= 'z')
            v = c - 'a' + 26;
        else if (c >= '0' && c <= '9')
            v = c - '0' + 52;
        else if (c == '+' || c == '-')
            v = 62;
        else if (c == '/' || c == '_')
            v = 63;
        else if (c == '=')
            break;
        else
            return false;
        buffer = (buffer << 6) | static_cast<unsigned>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((buffer >> bits) & 0xFF);
        }
    }
    return !out.empty();
}

}  // namespace

std::string decodeHtmlReferences(std::string_view text)
{
    if (text.find('&') == std::string_view::npos)
        return std::string(text);
    static const std::pair<std::string_view, char> named[] = {
        {"amp;", '&'}, {"quot;", '"'}, {"apos;", '\''}, {"lt;", '<'}, {"gt;", '>'}};
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out += text[i];
            continue;
        }
        const std::string_view rest = text.substr(i + 1);
        bool done = false;
        for (const auto& [name, c] : named) {
            if (rest.substr(0, name.size()) == name) {
                out += c;
                i += name.size();
                done = true;
                break;
            }
        }
        if (!done && !rest.empty() && rest[0] == '#') {
            const bool hex = rest.size() > 1 && (rest[1] == 'x' || rest[1] == 'X');
            std::size_t j = hex ? 2 : 1;
            unsigned long cp = 0;
            const std::size_t start = j;
            while (j < rest.size() && j < start + 8 && (hex ? hexValue(rest[j]) >= 0 : (rest[j] >= '0' && rest[j] <= '9'))) {
                cp = cp * (hex ? 16 : 10) + static_cast<unsigned long>(hex ? hexValue(rest[j]) : rest[j] - '0');
                ++j;
            }
            if (j > start && j < rest.size() && rest[j] == ';') {
                if (cp < 0x110000)  // beyond Unicode: the reference is dropped
                    appendUtf8(out, static_cast<std::uint32_t>(cp));
                i += j + 1;
                done = true;
            }
        }
        if (!done)
            out += '&';
    }
    return out;
}

std::string unwrapRedirect(const std::string& address, const std::string& param, bool base64,
                           const std::string& prefix)
{
    if (param.empty())
        return address;
    const std::size_t query = address.find('?');
    if (query == std::string::npos)
        return address;
    std::string_view rest(address);
    rest.remove_prefix(query + 1);
    const std::size_t hash = rest.find('#');
    if (hash != std::string_view::npos)
        rest = rest.substr(0, hash);
    while (!rest.empty()) {
        std::size_t amp = rest.find('&');
        const std::string_view pair = rest.substr(0, amp);
        rest = amp == std::string_view::npos ? std::string_view() : rest.substr(amp + 1);
        const std::size_t eq = pair.find('=');
        if (eq == std::string_view::npos || pair.substr(0, eq) != param)
            continue;
        std::string value = percentDecode(pair.substr(eq + 1));
        if (!base64)
            return value.empty() ? address : value;
        std::string_view coded(value);
        if (coded.substr(0, prefix.size()) == prefix)
            coded.remove_prefix(prefix.size());
        std::string decoded;
        return base64Decode(coded, decoded) ? decoded : address;
    }
    return address;
}

ResultExtractor::ResultExtractor(const RankDefinition& def) : def_(def)
{
    if (def_.json)
        return;
    pattern_ = std::make_unique<Pattern>();
    int error = 0;
    PCRE2_SIZE offset = 0;
    pattern_->code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(def_.pattern.data()), def_.pattern.size(),
                                   PCRE2_DOTALL, &error, &offset, nullptr);
    if (!pattern_->code) {
        PCRE2_UCHAR message[256];
        pcre2_get_error_message(error, message, sizeof message);
        throw TolvanError("The result pattern of the rank engine " + def_.name + " does not compile at offset " +
                          std::to_string(offset) + ": " + reinterpret_cast<const char*>(message));
    }
    std::uint32_t captures = 0;
    pcre2_pattern_info(pattern_->code, PCRE2_INFO_CAPTURECOUNT, &captures);
    if (captures < 1)
        throw TolvanError("The result pattern of the rank engine " + def_.name + " has no capture group.");
    pcre2_jit_compile(pattern_->code, PCRE2_JIT_COMPLETE);  // the interpreter does when JIT is not there
    pattern_->match = pcre2_match_data_create_from_pattern(pattern_->code, nullptr);
}

ResultExtractor::~ResultExtractor() = default;

std::vector<std::string> ResultExtractor::extract(std::string_view answer) const
{
    return def_.json ? extractJson(answer) : extractHtml(answer);
}

std::string ResultExtractor::finish(std::string address) const
{
    address = decodeHtmlReferences(address);
    return unwrapRedirect(address, def_.unwrapParam, def_.unwrapBase64, def_.unwrapPrefix);
}

std::vector<std::string> ResultExtractor::extractHtml(std::string_view page) const
{
    std::vector<std::string> found;
    const auto* subject = reinterpret_cast<PCRE2_SPTR>(page.data());
    PCRE2_SIZE start = 0;
    while (start <= page.size()) {
        const int rc = pcre2_match(pattern_->code, subject, page.size(), start, 0, pattern_->match, nullptr);
        if (rc < 0)
            break;  // no more matches, or a match limit: what was found stands
        const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(pattern_->match);
        if (rc >= 2 && ov[2] != PCRE2_UNSET)
            found.push_back(finish(std::string(page.substr(ov[2], ov[3] - ov[2]))));
        start = ov[1] > ov[0] ? ov[1] : ov[0] + 1;
    }
    return found;
}

std::vector<std::string> ResultExtractor::extractJson(std::string_view text) const
{
    std::vector<std::string> found;
    const nlohmann::json doc = nlohmann::json::parse(text.begin(), text.end(), nullptr, false);
    if (doc.is_discarded())
        return found;
    const nlohmann::json* node = &doc;
    std::string_view path(def_.jsonArray);
    while (!path.empty()) {
        const std::size_t dot = path.find('.');
        const std::string key(path.substr(0, dot));
        path = dot == std::string_view::npos ? std::string_view() : path.substr(dot + 1);
        if (!node->is_object() || !node->contains(key))
            return found;
        node = &(*node)[key];
    }
    if (!node->is_array())
        return found;
    for (const auto& item : *node) {
        if (item.is_object() && item.contains(def_.jsonField) && item[def_.jsonField].is_string())
            found.push_back(
                unwrapRedirect(item[def_.jsonField].get<std::string>(), def_.unwrapParam, def_.unwrapBase64,
                               def_.unwrapPrefix));
    }
    return found;
}

}  // namespace tolvan
