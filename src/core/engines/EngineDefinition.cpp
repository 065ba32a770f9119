#include "engines/EngineDefinition.h"

#include <fcntl.h>
#include <unistd.h>

#include <charconv>
#include <climits>
#include <cstdio>
#include <span>
#include <stdexcept>

#include "engines/Categories.h"
#include "profiles/SiteProfile.h"
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

// name=value& with the value as it stands: the site's values arrive form-encoded
// (site data typed by the user may hold "&", "=", "+", "#" or non-ASCII text
// that would otherwise break the body); category and extra values are the
// engine's own, written for its form, and are sent as they stand.
void addPart(std::string& body, std::string_view fieldName, std::string_view value)
{
    body += fieldName;
    body += '=';
    body += value;
    body += '&';
}

// The keys of [Fields] one definition is read for: the site fields', then the category's.
constexpr auto kFieldsKeys = [] {
    std::array<std::string_view, kSiteFieldKeys.size() + 1> keys{};
    for (std::size_t i = 0; i < kSiteFieldKeys.size(); ++i)
        keys[i] = kSiteFieldKeys[i];
    keys.back() = "category";
    return keys;
}();

constexpr std::array<std::string_view, 3> kSiteKeys = {"ACTION", "METHOD", "URL"};

// "Extra1" to "Extra255", the keys of [ExtraFields] a count may ask for.
const std::array<std::string_view, 255>& extraKeys()
{
    static const auto keys = [] {
        static std::array<char[12], 255> texts{};
        std::array<std::string_view, 255> views{};
        for (std::size_t i = 0; i < views.size(); ++i) {
            const int n = std::snprintf(texts[i], sizeof texts[i], "Extra%zu", i + 1);
            views[i] = std::string_view(texts[i], static_cast<std::size_t>(n));
        }
        return views;
    }();
    return keys;
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

const std::string& SiteFieldNames::at(std::string_view key) const
{
    for (std::size_t i = 0; i < kSiteFieldKeys.size(); ++i)
        if (kSiteFieldKeys[i] == key)
            return names[i];
    throw std::out_of_range("no site field " + std::string(key));
}

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

EngineDefinitionReader::EngineDefinitionReader(const std::string& baseDir) : dataDir_(joinPath(baseDir, "data/")) {}

EngineDefinitionReader::~EngineDefinitionReader()
{
    if (dataFd_ >= 0)
        ::close(dataFd_);
}

void EngineDefinitionReader::startSite()
{
    site_.prepared = false;
    ahead_.engineName.clear();
    if (dataFd_ >= 0)
        ::close(dataFd_);
    dataFd_ = -1;
}

void EngineDefinitionReader::prepareSite(SiteProfile& site, int categoryNumber)
{
    applySiteDefaults(site);
    std::string description = site.descriptionText();
    if (description.empty())
        description = "No Description Entered";
    const std::string* const values[kSiteFieldKeys.size() - 1] = {
        nullptr,      &site.title, &site.name,  &site.email,   &site.company, &site.street, &site.city,
        &site.state,  &site.zip,   &site.country, &site.phone, &site.fax,     &description,
    };
    site_.encoded[0] = formEncode(site.fullAddress());
    for (std::size_t i = 1; i < kSiteFieldKeys.size() - 1; ++i)
        site_.encoded[i] = formEncode(*values[i]);
    site_.encoded.back() = formEncode(keywordList(site));
    // An unmatched category text keeps the number the run had: the same for every engine of the site.
    site_.categoryNumber = tolvan::categoryNumber(site.category, categoryNumber);
    site_.categoryKey = std::to_string(site_.categoryNumber);
    site_.prepared = true;
}

bool EngineDefinitionReader::openDataFile(const std::string& engineName, IniText& into)
{
    path_.assign(dataDir_);
    for (const char c : engineName)
        path_ += c == '\\' ? '/' : c;  // paths are written with "/"
    path_ += ".tlx";
    if (dataFd_ < 0)
        dataFd_ = ::open(dataDir_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);  // no folder: whole paths, as before
    return dataFd_ >= 0 ? into.load(dataFd_, path_.c_str() + dataDir_.size(), path_) : into.load(path_);
}

void EngineDefinitionReader::readAhead(const std::string& engineName)
{
    ahead_.engineName.clear();
    ahead_.error = nullptr;
    if (!checkEngineName(engineName).empty())
        return;  // read() finds nothing either
    try {
        ahead_.found = openDataFile(engineName, files_[1 - current_]);
    } catch (...) {
        ahead_.error = std::current_exception();
    }
    ahead_.engineName = engineName;
}

DefinitionResult& EngineDefinitionReader::read(const std::string& engineName, SiteProfile& site, int& currentCategory)
{
    // Emptied, not made anew: the strings keep their room from engine to engine.
    DefinitionResult& result = result_;
    result.status = DefinitionStatus::Missing;
    EngineDefinition& def = result.definition;
    def.engineName = engineName;
    for (std::string& name : def.fieldNames.names)
        name.clear();
    def.categoryField.clear();
    def.categoryValue.clear();
    def.extraFields.clear();
    def.action.clear();
    def.method.clear();
    def.siteUrl.clear();
    def.formBody.clear();
    // A name that is not one plain file name of data/ has no definition there.
    if (!checkEngineName(engineName).empty())
        return result;  // Missing

    bool found = false;
    if (!ahead_.engineName.empty() && ahead_.engineName == engineName) {
        ahead_.engineName.clear();
        current_ = 1 - current_;
        if (ahead_.error)
            std::rethrow_exception(std::exchange(ahead_.error, nullptr));
        found = ahead_.found;
    } else {
        ahead_.engineName.clear();
        found = openDataFile(engineName, files_[current_]);
    }
    if (!found)
        return result;  // Missing
    const IniText& file = files_[current_];

    if (!site_.prepared) {
        if (site.protocol.empty() && site.address.empty()) {
            result.status = DefinitionStatus::NoSiteUrl;
            return result;
        }
        prepareSite(site, currentCategory);
    }

    // [Fields] in one pass: the site fields' names, then the category's.
    std::array<std::string_view, kFieldsKeys.size()> fields;
    file.values("Fields", kFieldsKeys, fields);
    std::size_t size = 0;
    for (std::size_t i = 0; i < kSiteFieldKeys.size(); ++i) {
        def.fieldNames.names[i] = fields[i];
        if (!fields[i].empty())
            size += fields[i].size() + site_.encoded[i].size() + 2;
    }
    std::string& body = def.formBody;
    body.reserve(size + 128);
    for (std::size_t i = 0; i < kSiteFieldKeys.size(); ++i)
        if (!fields[i].empty())
            addPart(body, fields[i], site_.encoded[i]);

    currentCategory = site_.categoryNumber;
    def.categoryField = fields.back();
    def.categoryValue = file.value("Categories", site_.categoryKey);
    if (!def.categoryField.empty())
        addPart(body, def.categoryField, def.categoryValue);

    const int count = extraFieldCount(std::string(file.value("ExtraFields", "extrafields")));
    if (count > 0) {
        const std::span<const std::string_view> keys(extraKeys().data(), static_cast<std::size_t>(count));
        extras_.resize(keys.size());
        file.values("ExtraFields", keys, extras_);
        for (const std::string_view entry : extras_) {
            if (entry.empty())
                continue;
            // Split at the first comma; an entry without one is a field with an empty value.
            const auto comma = entry.find(',');
            const std::string_view name = entry.substr(0, comma);
            const std::string_view value = comma == std::string_view::npos ? std::string_view() : entry.substr(comma + 1);
            addPart(body, name, value);
            def.extraFields.emplace_back(name, value);
        }
    }

    std::array<std::string_view, kSiteKeys.size()> request;
    file.values("SITE", kSiteKeys, request);
    def.action = request[0];
    def.method = request[1];
    def.siteUrl = request[2];
    result.status = DefinitionStatus::Ready;
    return result;
}

DefinitionResult readEngineDefinition(const std::string& baseDir, const std::string& engineName,
                                      SiteProfile& site, int& currentCategory)
{
    EngineDefinitionReader reader(baseDir);
    return std::move(reader.read(engineName, site, currentCategory));
}

}  // namespace tolvan
