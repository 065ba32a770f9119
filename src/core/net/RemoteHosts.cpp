#include "net/RemoteHosts.h"

#include "storage/IniText.h"
#include "util/Files.h"

namespace tolvan {

struct RemoteHosts::Loaded {
    FileIdentity identity;
    bool read = false;
    IniText file;  // looked up in place, as BigIniFile would answer
};

RemoteHosts::RemoteHosts(const std::string& baseDir, Rereading rereading)
    : file_(joinPath(baseDir, "data/hosts.tlx")), rereading_(rereading), loaded_(std::make_shared<Loaded>())
{
}

std::string RemoteHosts::value(const std::string& section, const std::string& key) const
{
    if (loaded_->read && rereading_ == Rereading::Never)
        return std::string(loaded_->file.value(section, key));
    // Every replacing write makes a new file, so a changed identity means new contents.
    const FileIdentity identity = fileIdentity(file_);
    if (!loaded_->read || !(identity == loaded_->identity)) {
        loaded_->read = false;
        if (!loaded_->file.load(file_))
            loaded_->file.parse({});  // no file: every value is empty
        loaded_->identity = identity;
        loaded_->read = true;
    }
    return std::string(loaded_->file.value(section, key));
}

}  // namespace tolvan
