#pragma once
// Helpers for the fuzz targets: a scratch directory on the fastest file
// system at hand, made once per process.
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

namespace tolvan::fuzz {

inline const std::string& scratchDir()
{
    static const std::string dir = [] {
        const char* shm = "/dev/shm";
        std::string pattern = std::string(::access(shm, W_OK) == 0 ? shm : "/tmp") + "/tolvan-fuzz-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            std::abort();
        return pattern;
    }();
    return dir;
}

inline void writeBytes(const std::string& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        std::abort();
}

}  // namespace tolvan::fuzz
