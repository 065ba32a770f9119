#include "profiles/ProfileStore.h"

#include "storage/BigIniFile.h"
#include "storage/LineList.h"
#include "storage/SitesLock.h"
#include "util/Files.h"
#include "util/TextCodec.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>
#include <utility>

#include "util/Errors.h"

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
        if (c == '\r' || c == '\n' || c == '\x1A' || c == '\0')
            c = ' ';
    return out;
}

// Whether `bytes` read as a line list give exactly `entries`, without reading
// them into a list: the bytes are the entries each ended by CR LF, and no entry
// holds a line end, starts the file with a byte-order mark or needs decoding.
bool holdsExactly(std::string_view bytes, const std::vector<std::string>& entries)
{
    std::size_t at = 0;
    for (const auto& entry : entries) {
        if (bytes.compare(at, entry.size(), entry) != 0 || std::memchr(entry.data(), '\r', entry.size())
            || std::memchr(entry.data(), '\n', entry.size()))
            return false;
        at += entry.size();
        if (bytes.compare(at, 2, "\r\n") != 0)
            return false;
        at += 2;
    }
    return at == bytes.size() && !bytes.starts_with("\xEF\xBB\xBF") && isValidUtf8(bytes);
}

// Writes the caller's list as changed (`after`) plus what another process
// added to the file since the caller read it (`before`). A file that already
// holds exactly those bytes is left as it is.
void writeIndexList(const std::string& file, const std::vector<std::string>& before,
                    const std::vector<std::string>& after)
{
    std::vector<std::string> merged;
    const std::vector<std::string>* out = &after;
    std::string onDiskBytes;
    const bool exists = fileExists(file);
    if (exists) {
        onDiskBytes = readFile(file);
        if (!holdsExactly(onDiskBytes, before)) {
            const std::vector<std::string> onDisk = parseLineList(onDiskBytes);
            if (onDisk != before) {
                merged = after;
                std::unordered_set<std::string> known(before.begin(), before.end());
                known.insert(after.begin(), after.end());
                for (const auto& entry : onDisk)
                    if (known.insert(entry).second)
                        merged.push_back(entry);
                out = &merged;
            }
        }
    }
    std::string text = lineListText(*out);
    if (!exists || text != onDiskBytes)
        writeFileAtomic(file, text);
}

struct PendingStamp {
    std::string name;
    std::string label;
};

// The pending file holds pairs of lines (profile name, label text), each line
// ended by CR LF; a pair cut short by a killed writer is ignored.
std::vector<PendingStamp> readPendingStamps(const std::string& file)
{
    std::vector<PendingStamp> stamps;
    if (!fileExists(file))
        return stamps;
    const std::string text = readFile(file);
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (;;) {
        const auto end = text.find("\r\n", start);
        if (end == std::string::npos)
            break;
        lines.emplace_back(text.data() + start, end - start);
        start = end + 2;
    }
    for (std::size_t i = 0; i + 1 < lines.size(); i += 2)
        stamps.push_back({std::string(lines[i]), std::string(lines[i + 1])});
    return stamps;
}

// Writes the pending stamps into `profiles` (not yet to disk). Returns whether
// there was a pending file, which the caller removes once the profiles file is
// written.
bool mergePendingStamps(BigIniFile& profiles, const std::string& pendingFile)
{
    if (!fileExists(pendingFile))
        return false;
    for (const auto& stamp : readPendingStamps(pendingFile))
        if (profiles.SectionExists(stamp.name))
            profiles.WriteString(stamp.name, "LASTRUN", stamp.label);
    return true;
}

// Rewrites the profiles file (when changed) and then drops the merged pending stamps.
void updateProfiles(BigIniFile& profiles, bool hadPending, const std::string& pendingFile)
{
    profiles.UpdateFile();
    if (hadPending && ::unlink(pendingFile.c_str()) != 0 && errno != ENOENT)
        throw FileError(pendingFile, std::string("Cannot delete file (") + std::strerror(errno) + ")");
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
    const SitesLock lock(baseDir_);
    const std::string name = indexEntry(typedName);
    const std::vector<std::string> namesBefore = names;
    appendIfAbsent(names, name);
    ensureDirectory(sitesDir());
    writeIndexList(namesPath(), namesBefore, names);

    const std::string address = indexEntry(site.fullAddress());
    const std::vector<std::string> addressesBefore = addresses;
    appendIfAbsent(addresses, address);
    writeIndexList(addressesPath(), addressesBefore, addresses);

    BigIniFile profiles(profilesPath());
    const bool existed = profiles.SectionExists(name);
    const std::string oldAddress
        = profiles.ReadString(name, "FORWARD", "") + profiles.ReadString(name, "URL", "");
    const bool hadPending = mergePendingStamps(profiles, pendingStampsPath());
    writeFields(profiles, name, site);
    updateProfiles(profiles, hadPending, pendingStampsPath());

    BigIniFile reverse(reversePath());
    // A profile saved with a new address no longer stands for its old one.
    if (existed && !BigIniFile::sameSectionName(oldAddress, address)
        && BigIniFile::sameSectionName(reverse.ReadString(oldAddress, "profile", ""), name))
        reverse.EraseSection(oldAddress);
    reverse.WriteString(address, "profile", name);
    reverse.UpdateFile();
}

SiteProfile ProfileStore::loadProfile(const std::string& name) const
{
    SiteProfile site;
    const BigIniFile profiles = BigIniFile::loadSection(profilesPath(), name);
    site.lastRun = profiles.ReadString(name, "LASTRUN", kUnknownLastRun);
    readFields(profiles, name, kSavedDefaults, site);
    // A stamp of a run that has not reached the profiles file yet.
    if (profiles.SectionExists(name))
        for (const auto& stamp : readPendingStamps(pendingStampsPath()))
            if (BigIniFile::sameSectionName(stamp.name, name))
                site.lastRun = cutChars(stamp.label);
    return site;
}

void ProfileStore::deleteProfile(const std::string& name, std::vector<std::string>& names,
                                 std::vector<std::string>& addresses) const
{
    const SitesLock lock(baseDir_);
    BigIniFile profiles(profilesPath());
    const bool hadPending = mergePendingStamps(profiles, pendingStampsPath());
    const std::string address = profiles.ReadString(name, "FORWARD", "") + profiles.ReadString(name, "URL", "");
    profiles.EraseSection(name);
    updateProfiles(profiles, hadPending, pendingStampsPath());

    BigIniFile reverse(reversePath());
    reverse.EraseSection(address);
    reverse.UpdateFile();

    const std::vector<std::string> namesBefore = names;
    const std::vector<std::string> addressesBefore = addresses;
    removeLast(addresses, address);
    removeLast(names, name);
    ensureDirectory(sitesDir());
    writeIndexList(namesPath(), namesBefore, names);
    writeIndexList(addressesPath(), addressesBefore, addresses);
}

void ProfileStore::writeLastFields(const SiteProfile& site) const
{
    const SitesLock lock(baseDir_);
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
    return BigIniFile::loadSection(reversePath(), fullAddress).ReadString(fullAddress, "profile", "");
}

bool ProfileStore::isProfileOf(const SiteProfile& profile, const std::string& fullAddress)
{
    // The address as the profiles file keeps it: one line, cut to the line limit.
    if (!fullAddress.starts_with(profile.protocol))
        return false;
    const std::string rest = fullAddress.substr(profile.protocol.size());
    return profile.address == cutChars(indexEntry(rest), 255 - 4);  // "URL=" + value
}

std::string ProfileStore::pendingStampsPath() const { return path("sites/tolvan-stamps.pending"); }

void ProfileStore::stampLastRun(const std::string& name, const std::string& labelText) const
{
    if (!profilesFileExists())
        return;
    const SitesLock lock(baseDir_);
    BigIniFile profiles(profilesPath());
    const bool hadPending = mergePendingStamps(profiles, pendingStampsPath());
    if (profiles.SectionExists(name))
        profiles.WriteString(name, "LASTRUN", labelText);
    updateProfiles(profiles, hadPending, pendingStampsPath());
}

void ProfileStore::queueLastRun(const std::string& name, const std::string& labelText) const
{
    if (!profilesFileExists())
        return;
    const SitesLock lock(baseDir_);
    const std::string file = pendingStampsPath();
    const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0)
        throw FileError(file, std::string("Cannot open file (") + std::strerror(errno) + ")");
    // One write per stamp: a reader or a killed run never sees half of one.
    const std::string record = indexEntry(name) + "\r\n" + indexEntry(labelText) + "\r\n";
    const ssize_t n = ::write(fd, record.data(), record.size());
    const int err = errno;
    if (n != static_cast<ssize_t>(record.size())) {
        // Cut a partial record off again so the pairs stay in step.
        struct stat st {};
        if (n > 0 && ::fstat(fd, &st) == 0)
            (void)::ftruncate(fd, st.st_size - n);
        ::close(fd);
        throw FileError(file, std::string("Cannot write file (") + std::strerror(n < 0 ? err : ENOSPC) + ")");
    }
    ::close(fd);
}

void ProfileStore::applyPendingStamps() const
{
    if (!fileExists(pendingStampsPath()))
        return;
    const SitesLock lock(baseDir_);
    BigIniFile profiles(profilesPath());
    const bool hadPending = mergePendingStamps(profiles, pendingStampsPath());
    updateProfiles(profiles, hadPending, pendingStampsPath());
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
