#include "engines/EngineLists.h"

#include <algorithm>
#include <cstdio>
#include <cerrno>
#include <cstring>

#include "util/Errors.h"
#include "util/FileNames.h"
#include "util/Files.h"

namespace tolvan {

std::string EngineListFiles::indexPath() const
{
    return joinPath(baseDir_, "sites/englist.tlx");
}

std::string EngineListFiles::listPath(const std::string& name) const
{
    return joinPath(baseDir_, "sites/" + name + ".tlx");
}

bool EngineListFiles::indexExists() const
{
    return fileExists(indexPath());
}

LineList EngineListFiles::readNames() const
{
    return indexExists() ? readLineList(indexPath()) : LineList{};
}

std::string EngineListFiles::save(const std::string& name, LineList& names, const LineList& engines) const
{
    if (std::string refusal = checkListName(name); !refusal.empty())
        return refusal;
    if (!name.empty() && !containsExactly(names, name))
        names.push_back(name);
    ensureDirectory(joinPath(baseDir_, "sites"));
    writeLineList(listPath(name), engines);
    writeLineList(indexPath(), names);
    return {};
}

std::optional<LineList> EngineListFiles::load(const std::string& name) const
{
    if (!checkListName(name).empty())
        return std::nullopt;
    const std::string path = listPath(name);
    if (!fileExists(path))
        return std::nullopt;
    return readLineList(path);
}

std::string EngineListFiles::remove(const std::string& name, LineList& names) const
{
    // Without this check "Delete" with the name "tlxprofiles" would remove every saved site profile.
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
