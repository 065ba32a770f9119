#include "profiles/ProfileStore.h"

#include "storage/BigIniFile.h"
#include "storage/LineList.h"
#include "util/Files.h"

#include <algorithm>
#include <utility>

namespace tolvan {

namespace {

constexpr const char* kLastSection = "LastSaved";

struct Defaults {
    const char* title;
    const char* desc;
    const char* category;
    const char* company;
    const char* city;
    const char* country;
    const char* email;
    const char* street;
    const char* state;
    const char* zip;
    const char* phone;
    const char* fax;
};

constexpr Defaults kSavedDefaults{"None Entered", "None Entered", "Miscellaneous", "None Entered",
                                  "None Entered", "None Entered", kPlaceholderEmail, "None Entered",
                                  "NA", "00000", "000-000-0000", "000-000-0000"};
constexpr Defaults kEmptyDefaults{"", "", "", "", "", "", "", "", "", "", "", ""};

// Every field in the order a new section lists them; an empty field is written too.
void writeFields(BigIniFile& ini, const std::string& section, const SiteProfile& site)
{
    ini.WriteString(section, "FORWARD", site.protocol);
    ini.WriteString(section, "URL", site.address);
    ini.WriteString(section, "TITLE", site.title);
    ini.WriteString(section, "desc", site.descriptionText());
    ini.WriteString(section, "CATEGORY", site.category);
    for (std::size_t i = 0; i < site.keywords.size(); ++i)
        ini.WriteString(section, "KEY" + std::to_string(i + 1), site.keywords[i]);
    ini.WriteString(section, "NAME", site.name);
    ini.WriteString(section, "COMPANY", site.company);
    ini.WriteString(section, "CITY", site.city);
    ini.WriteString(section, "COUNTRY", site.country);
    ini.WriteString(section, "email", site.email);
    ini.WriteString(section, "address", site.street);
    ini.WriteString(section, "state", site.state);
    ini.WriteString(section, "zip", site.zip);
    ini.WriteString(section, "phone", site.phone);
    ini.WriteString(section, "fax", site.fax);
    // Written only when set (or to clear a stored one), so profiles without a key keep their layout.
    const std::pair<const char*, const std::string*> indexNow[] = {
        {"INDEXNOWKEY", &site.indexNowKey}, {"INDEXNOWKEYLOCATION", &site.indexNowKeyLocation}};
    for (const auto& [key, value] : indexNow)
        if (!value->empty() || ini.ReadString(section, key, "\x01") != "\x01")
            ini.WriteString(section, key, *value);
}

void readFields(const BigIniFile& ini, const std::string& section, const Defaults& d, SiteProfile& site)
{
    site.protocol = ini.ReadString(section, "FORWARD", "");
    site.address = ini.ReadString(section, "URL", "");
    site.title = ini.ReadString(section, "TITLE", d.title);
    const std::string desc = ini.ReadString(section, "DESC", d.desc);
    site.category = ini.ReadString(section, "CATEGORY", d.category);
    for (std::size_t i = 0; i < site.keywords.size(); ++i)
        site.keywords[i] = ini.ReadString(section, "KEY" + std::to_string(i + 1), "");
    site.name = ini.ReadString(section, "NAME", "");
    site.company = ini.ReadString(section, "COMPANY", d.company);
    site.city = ini.ReadString(section, "CITY", d.city);
    site.country = ini.ReadString(section, "COUNTRY", d.country);
    site.email = ini.ReadString(section, "EMAIL", d.email);
    site.street = ini.ReadString(section, "ADDRESS", d.street);
    site.state = ini.ReadString(section, "STATE", d.state);
    site.zip = ini.ReadString(section, "ZIP", d.zip);
    site.phone = ini.ReadString(section, "PHONE", d.phone);
    site.fax = ini.ReadString(section, "FAX", d.fax);
    site.indexNowKey = ini.ReadString(section, "INDEXNOWKEY", "");
    site.indexNowKeyLocation = ini.ReadString(section, "INDEXNOWKEYLOCATION", "");
    // The stored description becomes the memo's only line.
    site.descriptionLines.clear();
    if (!desc.empty())
        site.descriptionLines.push_back(desc);
}

void appendIfAbsent(std::vector<std::string>& list, const std::string& entry)
{
    if (!entry.empty() && std::find(list.begin(), list.end(), entry) == list.end())
        list.push_back(entry);
}

// The index files hold one name or address per line; a pasted line break would
// split an entry there while the INI files store it with blanks, so the entry is
// stored as the INI files keep it.
std::string indexEntry(const std::string& text)
{
    std::string out = text;
    for (char& c : out)
        if (c == '\r' || c == '\n' || c == '\x1A')
            c = ' ';
    return out;
}

void removeLast(std::vector<std::string>& list, const std::string& entry)
{
    const auto it = std::find(list.rbegin(), list.rend(), entry);
    if (it != list.rend())
        list.erase(std::next(it).base());
}

}  // namespace

void clearFields(SiteProfile& site)
{
    std::string lastRun = std::move(site.lastRun);
    site = SiteProfile{};
    site.category = "SELECT A CATEGORY";
    site.lastRun = std::move(lastRun);
}

ProfileStore::ProfileStore(std::string baseDir) : baseDir_(std::move(baseDir)) {}

std::string ProfileStore::path(const char* relative) const
{
    return joinPath(baseDir_, relative);
}

std::string ProfileStore::sitesDir() const { return path("sites"); }
std::string ProfileStore::profilesPath() const { return path("sites/tlxprofiles.tlx"); }
std::string ProfileStore::namesPath() const { return path("sites/tlxplist.tlx"); }
std::string ProfileStore::addressesPath() const { return path("sites/tlxurls.tlx"); }
std::string ProfileStore::reversePath() const { return path("sites/tlxurlsrev.tlx"); }
std::string ProfileStore::lastPath() const { return path("sites/last.tlx"); }

bool ProfileStore::profilesFileExists() const { return fileExists(profilesPath()); }
bool ProfileStore::reverseIndexExists() const { return fileExists(reversePath()); }

std::vector<std::string> ProfileStore::readNames() const
{
    return fileExists(namesPath()) ? readLineList(namesPath()) : std::vector<std::string>{};
}

std::vector<std::string> ProfileStore::readAddresses() const
{
    return fileExists(addressesPath()) ? readLineList(addressesPath()) : std::vector<std::string>{};
}

void ProfileStore::saveProfile(const std::string& typedName, const SiteProfile& site,
                               std::vector<std::string>& names, std::vector<std::string>& addresses) const
{
    const std::string name = indexEntry(typedName);
    appendIfAbsent(names, name);
    ensureDirectory(sitesDir());
    writeLineList(namesPath(), names);

    const std::string address = indexEntry(site.fullAddress());
    appendIfAbsent(addresses, address);
    writeLineList(addressesPath(), addresses);

    BigIniFile profiles(profilesPath());
    writeFields(profiles, name, site);
    profiles.UpdateFile();

    BigIniFile reverse(reversePath());
    reverse.WriteString(address, "profile", name);
    reverse.UpdateFile();
}

SiteProfile ProfileStore::loadProfile(const std::string& name) const
{
    SiteProfile site;
    const BigIniFile profiles(profilesPath());
    site.lastRun = profiles.ReadString(name, "LASTRUN", kUnknownLastRun);
    readFields(profiles, name, kSavedDefaults, site);
    return site;
}

void ProfileStore::deleteProfile(const std::string& name, std::vector<std::string>& names,
                                 std::vector<std::string>& addresses) const
{
    BigIniFile profiles(profilesPath());
    const std::string address = profiles.ReadString(name, "FORWARD", "") + profiles.ReadString(name, "URL", "");
    profiles.EraseSection(name);
    profiles.UpdateFile();

    BigIniFile reverse(reversePath());
    reverse.EraseSection(address);
    reverse.UpdateFile();

    removeLast(addresses, address);
    removeLast(names, name);
    ensureDirectory(sitesDir());
    writeLineList(namesPath(), names);
    writeLineList(addressesPath(), addresses);
}

void ProfileStore::writeLastFields(const SiteProfile& site) const
{
    ensureDirectory(sitesDir());
    BigIniFile last(lastPath());
    writeFields(last, kLastSection, site);
    last.UpdateFile();
}

SiteProfile ProfileStore::readLastFields() const
{
    SiteProfile site;
    readFields(BigIniFile(lastPath()), kLastSection, kEmptyDefaults, site);
    return site;
}

std::string ProfileStore::profileForAddress(const std::string& fullAddress) const
{
    return BigIniFile(reversePath()).ReadString(fullAddress, "profile", "");
}

void ProfileStore::stampLastRun(const std::string& name, const std::string& labelText) const
{
    if (!profilesFileExists())
        return;
    BigIniFile profiles(profilesPath());
    if (!profiles.SectionExists(name))
        return;
    profiles.WriteString(name, "LASTRUN", labelText);
    profiles.UpdateFile();
}

void ProfileStore::storeIndexNowKey(const std::string& name, const std::string& key,
                                    const std::string& location) const
{
    if (!profilesFileExists())
        return;
    BigIniFile profiles(profilesPath());
    if (!profiles.SectionExists(name))
        return;
    profiles.WriteString(name, "INDEXNOWKEY", key);
    profiles.WriteString(name, "INDEXNOWKEYLOCATION", location);
    profiles.UpdateFile();
}

}  // namespace tolvan
