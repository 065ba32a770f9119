#include "net/RemoteHosts.h"

#include "storage/BigIniFile.h"
#include "util/Files.h"

namespace tolvan {

RemoteHosts::RemoteHosts(const std::string& baseDir) : file_(joinPath(baseDir, "data/hosts.tlx")) {}

std::string RemoteHosts::value(const std::string& section, const std::string& key) const
{
    // Read afresh each time: the update may replace the data files while we run.
    return BigIniFile(file_).ReadString(section, key, "");
}

}  // namespace tolvan
