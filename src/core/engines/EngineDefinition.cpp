#include "engines/EngineDefinition.h"

#include <climits>

#include "engines/Categories.h"
#include "profiles/SiteProfile.h"
#include "storage/BigIniFile.h"
#include "util/Errors.h"
#include "util/FileNames.h"
#include "util/Files.h"
#include "util/FormEncoding.h"

namespace tolvan {

namespace {

void defaultIfEmpty(std::string& field, const char* text)
{
    if (field.empty())
        field = text;
}

// name=value& with the value form-encoded: site data typed by the user may hold
// "&", "=", "+", "#" or non-ASCII text that would otherwise break the body.
void addSitePart(std::string& body, const std::string& fieldName, const std::string& value)
{
    if (fieldName.empty())
        return;
    body += fieldName;
    body += '=';
    body += formEncode(value);
    body += '&';
}

// Category and extra values are the engine's own, written for its form: sent as they stand.
void addFixedPart(std::string& body, const std::string& fieldName, const std::string& value)
{
    body += fieldName;
    body += '=';
    body += value;
    body += '&';
}

std::string keywordList(const SiteProfile& site)
{
    std::string joined;
    for (std::size_t i = 0; i < site.keywords.size(); ++i) {
        if (i > 0)
            joined += ", ";
        joined += site.keywords[i];
    }
    return joined;
}

}  // namespace

std::string engineDefinitionPath(const std::string& baseDir, const std::string& engineName)
{
    return joinPath(baseDir, "data/" + engineName + ".tlx");
}

void applySiteDefaults(SiteProfile& site)
{
    defaultIfEmpty(site.title, "None Entered");
    defaultIfEmpty(site.name, "None Entered");
    defaultIfEmpty(site.email, "None@Entered");
    defaultIfEmpty(site.company, "None Entered");
    defaultIfEmpty(site.street, "None Entered");
    defaultIfEmpty(site.city, "None Entered");
    defaultIfEmpty(site.state, "NA");
    defaultIfEmpty(site.zip, "00000");
    defaultIfEmpty(site.country, "NA");
    defaultIfEmpty(site.phone, "000-000-0000");
    defaultIfEmpty(site.fax, "000-000-0000");
    if (site.keywords[0].empty())
        site.keywords[0] = site.fullAddress();
}

int extraFieldCount(const std::string& text)
{
    if (text.empty())
        return 0;
    std::size_t pos = 0;
    bool negative = false;
    if (text[0] == '+' || text[0] == '-') {
        negative = text[0] == '-';
        pos = 1;
    }
    if (pos == text.size())
        throw ConvertError(text);
    long long value = 0;
    for (; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (c < '0' || c > '9')
            throw ConvertError(text);
        value = value * 10 + (c - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            throw ConvertError(text);
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        throw ConvertError(text);
    // Only the low eight bits count (two's complement for negative numbers).
    return static_cast<int>(static_cast<unsigned long long>(value) & 0xFFu);
}

DefinitionResult buildEngineDefinition(const BigIniFile& file, const std::string& engineName,
                                       SiteProfile& site, int& currentCategory)
{
    DefinitionResult result;
    EngineDefinition& def = result.definition;
    def.engineName = engineName;

    const std::string url = site.fullAddress();
    if (url.empty()) {
        result.status = DefinitionStatus::NoSiteUrl;
        return result;
    }
    applySiteDefaults(site);

    for (const auto key : kSiteFieldKeys)
        def.fieldNames[std::string(key)] = file.ReadString("Fields", std::string(key), "");

    std::string description = site.descriptionText();
    if (description.empty())
        description = "No Description Entered";

    const std::pair<std::string_view, const std::string*> values[] = {
        {"URL", &url},          {"TITLE", &site.title},     {"NAME", &site.name},
        {"EMAIL", &site.email}, {"COMPANY", &site.company}, {"ADDRESS", &site.street},
        {"CITY", &site.city},   {"STATE", &site.state},     {"ZIP", &site.zip},
        {"COUNTRY", &site.country}, {"PHONE", &site.phone}, {"FAX", &site.fax},
        {"DESC", &description},
    };
    std::string& body = def.formBody;
    for (const auto& [key, value] : values)
        addSitePart(body, def.fieldNames[std::string(key)], *value);
    addSitePart(body, def.fieldNames["KEYWORDS"], keywordList(site));

    currentCategory = categoryNumber(site.category, currentCategory);
    def.categoryField = file.ReadString("Fields", "category", "");
    def.categoryValue = file.ReadString("Categories", std::to_string(currentCategory), "");
    if (!def.categoryField.empty())
        addFixedPart(body, def.categoryField, def.categoryValue);

    const int count = extraFieldCount(file.ReadString("ExtraFields", "extrafields", ""));
    for (int i = 1; i <= count; ++i) {
        const std::string entry = file.ReadString("ExtraFields", "Extra" + std::to_string(i), "");
        if (entry.empty())
            continue;
        // Split at the first comma; an entry without one is a field with an empty value.
        const auto comma = entry.find(',');
        std::string name = entry.substr(0, comma);
        std::string value = comma == std::string::npos ? std::string() : entry.substr(comma + 1);
        addFixedPart(body, name, value);
        def.extraFields.emplace_back(std::move(name), std::move(value));
    }

    def.action = file.ReadString("SITE", "ACTION", "");
    def.method = file.ReadString("SITE", "METHOD", "");
    def.siteUrl = file.ReadString("SITE", "URL", "");
    result.status = DefinitionStatus::Ready;
    return result;
}

DefinitionResult readEngineDefinition(const std::string& baseDir, const std::string& engineName,
                                      SiteProfile& site, int& currentCategory)
{
    const std::string path = engineDefinitionPath(baseDir, engineName);
    // A name that is not one plain file name of data/ has no definition there.
    if (!checkEngineName(engineName).empty() || !fileExists(path)) {
        DefinitionResult missing;
        missing.definition.engineName = engineName;
        return missing;
    }
    const BigIniFile file(path);
    return buildEngineDefinition(file, engineName, site, currentCategory);
}

}  // namespace tolvan
