#include "profiles/BatchLists.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "util/Errors.h"
#include "util/FileNames.h"
#include "util/Files.h"

namespace tolvan {

std::string BatchListFiles::indexPath() const { return joinPath(baseDir_, "sites/tlxbatch.tlx"); }

std::string BatchListFiles::listPath(const std::string& name) const
{
    return joinPath(baseDir_, "sites/" + name + ".tlb");
}

bool BatchListFiles::indexExists() const { return fileExists(indexPath()); }

LineList BatchListFiles::readNames() const { return indexExists() ? readLineList(indexPath()) : LineList{}; }

std::string BatchListFiles::save(const std::string& name, LineList& names, const LineList& sites) const
{
    if (std::string refusal = checkListName(name); !refusal.empty())
        return refusal;
    ensureDirectory(joinPath(baseDir_, "sites"));
    // The list first: a list that cannot be written leaves no name without a file.
    writeLineList(listPath(name), sites);
    if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end())
        names.push_back(name);
    writeLineList(indexPath(), names);
    return {};
}

LineList BatchListFiles::load(const std::string& name) const
{
    if (std::string refusal = checkListName(name); !refusal.empty())
        throw TolvanError(refusal);
    return readLineList(listPath(name));  // a missing list is a FileError
}

std::string BatchListFiles::remove(const std::string& name, LineList& names) const
{
    if (std::string refusal = checkListName(name); !refusal.empty())
        return refusal;
    const std::string path = listPath(name);
    if (fileExists(path) && std::remove(path.c_str()) != 0)
        throw FileError(path, std::strerror(errno));
    if (const auto at = std::find(names.begin(), names.end(), name); at != names.end())
        names.erase(at);
    ensureDirectory(joinPath(baseDir_, "sites"));
    writeLineList(indexPath(), names);
    return {};
}

}  // namespace tolvan
