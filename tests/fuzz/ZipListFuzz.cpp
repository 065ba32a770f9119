// libFuzzer target: arbitrary bytes as a downloaded engine archive, unpacked
// into a directory of its own. Whatever the archive holds, nothing is written
// beside that directory and no staging folder is left behind.
#include <dirent.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "FuzzSupport.h"
#include "util/ZipExtractor.h"

namespace {

int entries(const std::string& dir)
{
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        (void)e;
        ++n;
    }
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tolvan;
    const std::string root = fuzz::scratchDir();
    const std::string archive = root + "/tleng.zip";
    const std::string dir = root + "/data";
    std::filesystem::remove_all(dir);
    fuzz::writeBytes(archive, std::string_view(reinterpret_cast<const char*>(data), size));

    ZipExtractor zip;
    zip.setChangeDirectory(false);
    zip.setZipFilename(archive);
    zip.setExtrBaseDir(dir);
    const int written = zip.Extract();
    if (written < 0 || (zip.failed() && written != 0))
        std::abort();
    if (entries(root) != 2)  // the archive and data/, nothing else
        std::abort();
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().filename().string().rfind(ZipExtractor::kStagingPrefix, 0) == 0)
            std::abort();
    return 0;
}
