#pragma once
// One engine's submission recipe, read from data/<engine>.tlx, and the form body
// assembled from it and the working site profile.
#include <array>
#include <exception>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "storage/IniText.h"

namespace tolvan {

struct SiteProfile;

// The site-data keys of the [Fields] section, in the order their parts are sent.
constexpr std::array<std::string_view, 14> kSiteFieldKeys = {
    "URL", "TITLE", "NAME", "EMAIL", "COMPANY", "ADDRESS", "CITY",
    "STATE", "ZIP", "COUNTRY", "PHONE", "FAX", "DESC", "KEYWORDS",
};

// Site-field key -> the engine's form-field name, kept in kSiteFieldKeys order;
// an empty name means the engine's form has no field for that item.
struct SiteFieldNames {
    std::array<std::string, kSiteFieldKeys.size()> names;
    // The name for one of kSiteFieldKeys; throws std::out_of_range for any other key.
    const std::string& at(std::string_view key) const;
};

struct EngineDefinition {
    std::string engineName;
    SiteFieldNames fieldNames;
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

// The same for one engine after another, as a run reads them: the buffers are
// kept, and the site's values are defaulted and form-encoded once, at the
// site's first engine, for all of its engines.
class EngineDefinitionReader {
public:
    explicit EngineDefinitionReader(const std::string& baseDir);
    ~EngineDefinitionReader();
    EngineDefinitionReader(const EngineDefinitionReader&) = delete;
    EngineDefinitionReader& operator=(const EngineDefinitionReader&) = delete;

    // The next engines belong to another site (or the site's fields were
    // changed): its values are prepared afresh at the next read(), and the
    // data folder is opened again.
    void startSite();

    // The result is the reader's own, valid (and free to change) until the next read().
    DefinitionResult& read(const std::string& engineName, SiteProfile& site, int& categoryNumber);

    // Reads the file of the engine that comes next while the current one's
    // request waits for its answer. The next read() of that engine uses it
    // (and meets any error the reading met); a read() of another engine, or
    // startSite(), drops it. The result of the last read() is left alone.
    void readAhead(const std::string& engineName);
    void forgetReadAhead() { ahead_.engineName.clear(); }

private:
    // The values one site sends, in kSiteFieldKeys order, form-encoded.
    struct SiteValues {
        bool prepared = false;
        std::array<std::string, kSiteFieldKeys.size()> encoded;
        int categoryNumber = 0;
        std::string categoryKey;  // the number in decimal, the key of [Categories]
    };
    void prepareSite(SiteProfile& site, int categoryNumber);
    bool openDataFile(const std::string& engineName, IniText& into);

    std::string dataDir_;  // <base>/data/
    // data/ held open while a site's engines are read: each file is opened by
    // its name alone, without walking the whole path again (-1: not open).
    int dataFd_ = -1;
    std::string path_;
    // Two files: the one the last result points into, and the one read ahead.
    IniText files_[2];
    int current_ = 0;
    struct ReadAhead {
        std::string engineName;  // empty: nothing read ahead
        bool found = false;
        std::exception_ptr error;
    } ahead_;
    DefinitionResult result_;
    std::vector<std::string_view> extras_;  // the [ExtraFields] entries of the engine being read
    SiteValues site_;
};

// The "extrafields" count: empty is 0, otherwise a decimal number (optional
// sign) whose low eight bits are used. Throws ConvertError otherwise.
int extraFieldCount(const std::string& text);

}  // namespace tolvan
