#include "ranking/RankDefinition.h"

#include <algorithm>
#include <charconv>
#include <filesystem>

#include "storage/BigIniFile.h"
#include "util/Errors.h"
#include "util/Files.h"
#include "util/FormEncoding.h"

namespace tolvan {

namespace {

long number(const BigIniFile& ini, const char* section, const char* key, long fallback)
{
    const std::string text = ini.ReadString(section, key, "");
    long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() ? value : fallback;
}

// Key1, Key2, ... up to the first one missing.
std::vector<std::string> numbered(const BigIniFile& ini, const char* section, const std::string& key)
{
    std::vector<std::string> values;
    for (int i = 1;; ++i) {
        std::string value = ini.ReadString(section, key + std::to_string(i), "");
        if (value.empty())
            break;
        values.push_back(std::move(value));
    }
    return values;
}

void replaceAll(std::string& text, std::string_view what, std::string_view with)
{
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

}  // namespace

RankDefinition loadRankDefinition(const std::string& baseDir, const std::string& name)
{
    const std::string file = joinPath(baseDir, "data/rank/" + name + ".tlx");
    if (name.empty() || name.find('/') != std::string::npos || !fileExists(file))
        throw TolvanError("There is no rank engine definition " + file);
    const BigIniFile ini(file);
    RankDefinition def;
    def.name = name;
    def.address = ini.ReadString("Engine", "Address", "");
    std::string format = ini.ReadString("Engine", "Format", "HTML");
    std::transform(format.begin(), format.end(), format.begin(), [](unsigned char c) { return std::toupper(c); });
    def.json = format == "JSON";
    def.firstPage = number(ini, "Engine", "FirstPage", 1);
    def.offsetBase = number(ini, "Engine", "OffsetBase", 0);
    def.perPage = static_cast<int>(std::clamp(number(ini, "Engine", "PerPage", 10), 1L, 1000L));
    def.maxPages = static_cast<int>(std::clamp(number(ini, "Engine", "MaxPages", 1), 1L, 1000L));
    def.needsKey = number(ini, "Engine", "NeedsKey", 0) != 0;
    def.headers = numbered(ini, "Engine", "Header");

    def.pattern = ini.ReadString("Results", "Pattern", "");
    def.jsonArray = ini.ReadString("Results", "Array", "");
    def.jsonField = ini.ReadString("Results", "Field", "url");
    def.unwrapParam = ini.ReadString("Results", "UnwrapParam", "");
    def.unwrapBase64 = number(ini, "Results", "UnwrapBase64", 0) != 0;
    def.unwrapPrefix = ini.ReadString("Results", "UnwrapPrefix", "");

    std::string statuses = ini.ReadString("Refusal", "Status", "403,429");
    for (std::size_t at = 0; at <= statuses.size();) {
        std::size_t comma = statuses.find(',', at);
        if (comma == std::string::npos)
            comma = statuses.size();
        int code = 0;
        std::string_view item(statuses.data() + at, comma - at);
        while (!item.empty() && item.front() == ' ')
            item.remove_prefix(1);
        if (std::from_chars(item.data(), item.data() + item.size(), code).ec == std::errc())
            def.refusalStatuses.push_back(code);
        at = comma + 1;
    }
    def.refusalRedirects = numbered(ini, "Refusal", "Redirect");
    def.refusalMarkers = numbered(ini, "Refusal", "Marker");

    if (def.address.empty())
        throw TolvanError("The rank engine definition " + file + " has no Address.");
    if (!def.json && def.pattern.empty())
        throw TolvanError("The rank engine definition " + file + " has no Pattern.");
    return def;
}

std::vector<std::string> rankDefinitionNames(const std::string& baseDir)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(joinPath(baseDir, "data/rank"), ec)) {
        const std::filesystem::path& path = entry.path();
        std::string ext = path.extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
        if (ext == ".tlx" && entry.is_regular_file(ec))
            names.push_back(path.stem().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> rankEnginesNeedingKey(const std::string& baseDir)
{
    std::vector<std::string> names;
    for (const std::string& name : rankDefinitionNames(baseDir)) {
        // Only the flag is read: a definition still being written wants its key field too.
        try {
            if (number(BigIniFile(joinPath(baseDir, "data/rank/" + name + ".tlx")), "Engine", "NeedsKey", 0) != 0)
                names.push_back(name);
        } catch (const TolvanError&) {
        }
    }
    return names;
}

std::string rankPageAddress(const RankDefinition& def, const std::string& host, const std::string& phrase, int page,
                            const std::string& apiKey)
{
    std::string address = def.address;
    replaceAll(address, "{HOST}", host);
    replaceAll(address, "{Q}", formEncode(phrase));
    replaceAll(address, "{PAGE}", std::to_string(def.firstPage + page));
    replaceAll(address, "{OFFSET}", std::to_string(def.offsetBase + static_cast<long>(page) * def.perPage));
    replaceAll(address, "{COUNT}", std::to_string(def.perPage));
    replaceAll(address, "{APIKEY}", formEncode(apiKey));
    return address;
}

std::string rankHeaderLine(const std::string& header, const std::string& apiKey)
{
    std::string line = header;
    // A key with a line break would add a header of its own.
    std::string key = apiKey;
    key.erase(std::remove_if(key.begin(), key.end(), [](char c) { return c == '\r' || c == '\n'; }), key.end());
    replaceAll(line, "{APIKEY}", key);
    return line;
}

}  // namespace tolvan
