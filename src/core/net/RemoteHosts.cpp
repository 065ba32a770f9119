#include "net/RemoteHosts.h"

#include <optional>

#include "storage/BigIniFile.h"
#include "util/Files.h"

namespace tolvan {

struct RemoteHosts::Loaded {
    FileIdentity identity;
    std::optional<BigIniFile> file;
};

RemoteHosts::RemoteHosts(const std::string& baseDir)
    : file_(joinPath(baseDir, "data/hosts.tlx")), loaded_(std::make_shared<Loaded>())
{
}

std::string RemoteHosts::value(const std::string& section, const std::string& key) const
{
    // Every replacing write makes a new file, so a changed identity means new contents.
    const FileIdentity identity = fileIdentity(file_);
    if (!loaded_->file || !(identity == loaded_->identity)) {
        loaded_->file.reset();
        loaded_->file.emplace(file_);
        loaded_->identity = identity;
    }
    return loaded_->file->ReadString(section, key, "");
}

}  // namespace tolvan
