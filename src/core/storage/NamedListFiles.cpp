#include "storage/NamedListFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "storage/SitesLock.h"
#include "util/Errors.h"
#include "util/FileNames.h"
#include "util/Files.h"

namespace tolvan {

std::string NamedListFiles::indexPath() const { return joinPath(baseDir_, "sites/" + indexFile_); }

std::string NamedListFiles::listPath(const std::string& name) const
{
    return joinPath(baseDir_, "sites/" + name + extension_);
}

bool NamedListFiles::indexExists() const { return fileExists(indexPath()); }

LineList NamedListFiles::readNames() const { return indexExists() ? readLineList(indexPath()) : LineList{}; }

namespace {

// The index to write back: the caller's names as changed, plus those another
// process added since the caller read the index.
LineList withConcurrentAdditions(const LineList& before, const LineList& after, const std::string& index)
{
    LineList out = after;
    if (!fileExists(index))
        return out;
    for (const auto& entry : readLineList(index))
        if (std::find(before.begin(), before.end(), entry) == before.end()
            && std::find(out.begin(), out.end(), entry) == out.end())
            out.push_back(entry);
    return out;
}

}  // namespace

std::string NamedListFiles::save(const std::string& name, LineList& names, const LineList& lines) const
{
    if (std::string refusal = checkListName(name); !refusal.empty())
        return refusal;
    const SitesLock lock(baseDir_);
    ensureDirectory(joinPath(baseDir_, "sites"));
    // The list first: a list that cannot be written leaves no name without a file.
    writeLineList(listPath(name), lines);
    const LineList before = names;
    if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end())
        names.push_back(name);
    writeLineList(indexPath(), withConcurrentAdditions(before, names, indexPath()));
    return {};
}

std::optional<LineList> NamedListFiles::find(const std::string& name) const
{
    if (!checkListName(name).empty())
        return std::nullopt;
    const std::string path = listPath(name);
    if (!fileExists(path))
        return std::nullopt;
    return readLineList(path);
}

std::string NamedListFiles::remove(const std::string& name, LineList& names) const
{
    // Without the check "Delete" with the name "tlxprofiles" would remove every saved site profile.
    if (std::string refusal = checkListName(name); !refusal.empty())
        return refusal;
    const SitesLock lock(baseDir_);
    const std::string path = listPath(name);
    if (fileExists(path) && std::remove(path.c_str()) != 0)
        throw FileError(path, std::strerror(errno));
    const LineList before = names;
    if (const auto at = std::find(names.begin(), names.end(), name); at != names.end())
        names.erase(at);
    ensureDirectory(joinPath(baseDir_, "sites"));
    writeLineList(indexPath(), withConcurrentAdditions(before, names, indexPath()));
    return {};
}

}  // namespace tolvan
