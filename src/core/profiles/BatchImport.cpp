#include "profiles/BatchImport.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "profiles/ProfileStore.h"
#include "storage/BigIniFile.h"
#include "util/Errors.h"
#include "util/Files.h"
#include "util/TextCodec.h"

namespace tolvan {

namespace {

// Names come from the directory listing; anything that would point outside
// batch/ is not an import file.
bool isPlainName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos
        && name.find('\0') == std::string::npos;
}

bool lessIgnoringCase(const std::string& a, const std::string& b)
{
    const int order = compareIgnoreCase(a, b);
    return order != 0 ? order < 0 : a < b;
}

}  // namespace

std::string BatchImport::batchDir() const { return joinPath(baseDir_, "batch"); }

std::string BatchImport::filePath(const std::string& fileName) const
{
    // Not joinPath: it would read a "\" in the name as a folder step.
    return batchDir() + "/" + fileName;
}

std::vector<std::string> BatchImport::files() const
{
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    std::error_code ec;
    fs::directory_iterator it(batchDir(), ec);
    if (ec)
        return names;
    for (const fs::directory_entry& entry : it) {
        std::error_code typeError;
        if (entry.is_regular_file(typeError))
            names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end(), lessIgnoringCase);
    return names;
}

ImportedSite BatchImport::read(const std::string& fileName, const SiteProfile& site) const
{
    if (!isPlainName(fileName))
        throw FileError(fileName, "Not a file of the batch directory");
    const BigIniFile ini(filePath(fileName));
    const std::string s = kImportSection;
    ImportedSite out;
    out.site.lastRun = site.lastRun;
    SiteProfile& p = out.site;
    out.profileName = ini.ReadString(s, "PROFILE", "");
    p.protocol = ini.ReadString(s, "FORWARD", "");
    p.address = ini.ReadString(s, "URL", "");
    p.title = ini.ReadString(s, "TITLE", "None Entered");
    const std::string desc = ini.ReadString(s, "DESC", "None Entered");
    if (!desc.empty())
        p.descriptionLines.push_back(desc);
    p.category = ini.ReadString(s, "CATEGORY", "Miscellaneous");
    for (std::size_t i = 0; i < p.keywords.size(); ++i)
        p.keywords[i] = ini.ReadString(s, "KEY" + std::to_string(i + 1), "");
    p.name = ini.ReadString(s, "NAME", "");
    p.company = ini.ReadString(s, "COMPANY", "None Entered");
    p.city = ini.ReadString(s, "CITY", "None Entered");
    p.country = ini.ReadString(s, "COUNTRY", "None Entered");
    p.email = ini.ReadString(s, "EMAIL", kPlaceholderEmail);
    p.street = ini.ReadString(s, "ADDRESS", "None Entered");
    p.state = ini.ReadString(s, "STATE", "NA");
    p.zip = ini.ReadString(s, "ZIP", "00000");
    p.phone = ini.ReadString(s, "PHONE", "000-000-0000");
    p.fax = ini.ReadString(s, "FAX", "000-000-0000");
    return out;
}

std::optional<ImportedSite> BatchImport::importFiles(const std::vector<std::string>& fileNames,
                                                     const SiteProfile& working,
                                                     std::vector<BatchFileProblem>* problems) const
{
    const ProfileStore store(baseDir_);
    // A first import, before any profile was saved, starts from empty indexes.
    std::vector<std::string> names = store.readNames();
    std::vector<std::string> addresses = store.readAddresses();
    std::optional<ImportedSite> last;
    SiteProfile current = working;
    for (const std::string& file : fileNames) {
        try {
            // A file gone since the list was read is not an empty import file.
            if (isPlainName(file) && !fileExists(filePath(file)))
                throw FileError(filePath(file), std::strerror(ENOENT));
            ImportedSite site = read(file, current);
            current = site.site;
            if (!site.profileName.empty())
                store.saveProfile(site.profileName, site.site, names, addresses);
            last = std::move(site);
        } catch (const FileError& e) {
            if (!problems)
                throw;
            problems->push_back({file, e.what()});
        }
    }
    return last;
}

std::vector<std::string> BatchImport::addresses(const std::vector<std::string>& fileNames) const
{
    std::vector<std::string> out;
    for (const std::string& file : fileNames) {
        if (!isPlainName(file))
            continue;
        const BigIniFile ini(filePath(file));
        out.push_back(ini.ReadString(kImportSection, "FORWARD", "") + ini.ReadString(kImportSection, "URL", ""));
    }
    return out;
}

std::vector<BatchFileProblem> BatchImport::deleteFiles(const std::vector<std::string>& fileNames) const
{
    std::vector<BatchFileProblem> problems;
    for (const std::string& file : fileNames) {
        if (!isPlainName(file)) {
            problems.push_back({file, "Not a file of the batch directory"});
            continue;
        }
        const std::string path = filePath(file);
        if (std::remove(path.c_str()) != 0 && errno != ENOENT)
            problems.push_back({file, std::strerror(errno)});
    }
    return problems;
}

}  // namespace tolvan
