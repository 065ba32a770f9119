#pragma once
// One engine's submission recipe, read from data/<engine>.tlx, and the form body
// assembled from it and the working site profile.
#include <array>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tolvan {

class BigIniFile;
struct SiteProfile;

// The site-data keys of the [Fields] section, in the order their parts are sent.
constexpr std::array<std::string_view, 14> kSiteFieldKeys = {
    "URL", "TITLE", "NAME", "EMAIL", "COMPANY", "ADDRESS", "CITY",
    "STATE", "ZIP", "COUNTRY", "PHONE", "FAX", "DESC", "KEYWORDS",
};

struct EngineDefinition {
    std::string engineName;
    // Site-field key (kSiteFieldKeys) -> the engine's form-field name; an empty
    // name means the engine's form has no field for that item.
    std::map<std::string, std::string> fieldNames;
    std::string categoryField;
    std::string categoryValue;
    std::vector<std::pair<std::string, std::string>> extraFields;  // at most 255
    std::string action;
    std::string method;
    std::string siteUrl;
    std::string formBody;
};

enum class DefinitionStatus {
    Ready,      // definition and body built
    Missing,    // data/<engine>.tlx does not exist
    NoSiteUrl,  // the site has no address: the run stops here, silently
};

struct DefinitionResult {
    DefinitionStatus status = DefinitionStatus::Missing;
    EngineDefinition definition;
};

// <baseDir>/data/<engineName>.tlx, the name used unchanged.
std::string engineDefinitionPath(const std::string& baseDir, const std::string& engineName);

// Fills the empty fields of the working profile with the texts the engines are
// sent instead ("None Entered", "NA", ...; the first keyword becomes the site's
// address). The defaults stay in the profile afterwards.
void applySiteDefaults(SiteProfile& site);

// Reads the engine's definition file and builds its form body from `site`.
// `categoryNumber` carries the category number from engine to engine within a
// run (0 at its start): an unmatched category text keeps the previous number.
// Writes the defaults back into `site`. Throws ConvertError when "extrafields"
// is not a decimal number, FileError when the file cannot be read.
DefinitionResult readEngineDefinition(const std::string& baseDir, const std::string& engineName,
                                      SiteProfile& site, int& categoryNumber);

// The same from an already opened definition file.
DefinitionResult buildEngineDefinition(const BigIniFile& file, const std::string& engineName,
                                       SiteProfile& site, int& categoryNumber);

// The "extrafields" count: empty is 0, otherwise a decimal number (optional
// sign) whose low eight bits are used. Throws ConvertError otherwise.
int extraFieldCount(const std::string& text);

}  // namespace tolvan
