#pragma once
// Helpers for the fuzz targets: a scratch directory on the fastest file
// system at hand, made once per process.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace tolvan::fuzz {

// Removed when the run ends normally; a crash leaves it for a look.
inline const std::string& scratchDir()
{
    // Never destroyed, so the removal at exit can still read it.
    static const std::string* const dir = [] {
        const char* shm = "/dev/shm";
        auto* path = new std::string(std::string(::access(shm, W_OK) == 0 ? shm : "/tmp") + "/tolvan-fuzz-XXXXXX");
        if (!::mkdtemp(path->data()))
            std::abort();
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(scratchDir(), ignored);
        });
        return path;
    }();
    return *dir;
}

inline void writeBytes(const std::string& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        std::abort();
}

}  // namespace tolvan::fuzz
