#include "util/Workspace.h"

#include "util/Files.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace tolvan {

namespace {

bool isDir(const fs::path& p)
{
    std::error_code ec;
    return fs::is_directory(p, ec);
}

bool isFile(const fs::path& p)
{
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

bool sameDirectory(const fs::path& a, const fs::path& b)
{
    std::error_code ec;
    return fs::equivalent(a, b, ec) && !ec;
}

Error failure(const fs::path& path, const std::error_code& ec)
{
    return Error{ec.value(), ec.message() + ": " + path.string()};
}

}  // namespace

bool isBaseDirectory(const std::string& dir)
{
    const fs::path base(dir);
    return isFile(base / "data" / "sites.tlx") || isFile(base / "data" / "categories.tlx") ||
           (isDir(base / "data") && isDir(base / "sites"));
}

std::string defaultWorkspace(const char* xdgDataHome, const char* home)
{
    if (xdgDataHome && xdgDataHome[0] == '/')
        return (fs::path(xdgDataHome) / "tolvan").string();
    if (home && home[0])
        return (fs::path(home) / ".local" / "share" / "tolvan").string();
    return {};
}

WorkspaceChoice chooseWorkspace(const std::string& currentDir, const std::string& named,
                                const std::string& shippedData, const std::string& defaultDir)
{
    if (!named.empty())
        return {fs::absolute(named).lexically_normal().string(), WorkspaceChoice::Reason::Named, {}};
    if (isBaseDirectory(currentDir) &&
        (shippedData.empty() || !sameDirectory(fs::path(currentDir) / "data", shippedData)))
        return {currentDir, WorkspaceChoice::Reason::CurrentDirectory, {}};
    WorkspaceChoice choice{defaultDir, WorkspaceChoice::Reason::Default, {}};
    const fs::path data = fs::path(currentDir) / "data";
    if (isFile(data / "hosts.tlx") && !isFile(data / "sites.tlx"))
        choice.notice = currentDir + " is not used as the workspace: it has data/hosts.tlx but no data/sites.tlx";
    return choice;
}

Status prepareWorkspace(const std::string& dir, const std::string& shippedData)
{
    const fs::path base(dir);
    std::error_code ec;
    fs::create_directories(base, ec);
    if (ec || !isDir(base))
        return failure(base, ec ? ec : std::make_error_code(std::errc::not_a_directory));

    const fs::path data = base / "data";
    if (!fs::exists(fs::symlink_status(data, ec))) {
        if (shippedData.empty() || !isDir(shippedData))
            return Error{ENOENT, "The engine data to copy is missing: " +
                                     (shippedData.empty() ? std::string("(not installed)") : shippedData)};
        const fs::path partial = base / (".data-" + std::to_string(::getpid()));
        fs::remove_all(partial, ec);
        fs::copy(shippedData, partial, fs::copy_options::recursive, ec);
        if (!ec)
            fs::rename(partial, data, ec);
        if (ec) {
            std::error_code ignored;
            fs::remove_all(partial, ignored);
            // Another start may have won the race; its copy is as good as ours.
            if (!isDir(data))
                return failure(data, ec);
        }
    }
    const fs::path sites = base / "sites";
    fs::create_directories(sites, ec);
    if (ec || !isDir(sites))
        return failure(sites, ec ? ec : std::make_error_code(std::errc::not_a_directory));
    return Ok{};
}

int removeLegacyTemporariesOf(const std::string& base)
{
    const fs::path dir(base);
    return removeLegacyTemporaries(dir.string()) + removeLegacyTemporaries((dir / "data").string()) +
           removeLegacyTemporaries((dir / "sites").string());
}

}  // namespace tolvan
