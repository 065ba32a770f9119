#include "storage/SitesLock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

#include "util/Errors.h"
#include "util/Files.h"

namespace tolvan {

namespace {

struct Held {
    int fd = -1;
    int depth = 0;
};

// flock conflicts between two descriptors of one process as well, so a nested
// operation (an import saving profiles) reuses the lock its caller holds.
std::map<std::string, Held>& heldLocks()
{
    static std::map<std::string, Held> held;
    return held;
}

}  // namespace

std::chrono::milliseconds SitesLock::defaultPatience() { return std::chrono::milliseconds(5000); }

SitesLock::SitesLock(const std::string& baseDir) : SitesLock(baseDir, defaultPatience()) {}

SitesLock::SitesLock(const std::string& baseDir, std::chrono::milliseconds patience)
{
    const std::string sites = joinPath(baseDir, "sites");
    path_ = joinPath(sites, kSitesLockFile);
    Held& held = heldLocks()[path_];
    if (held.depth > 0) {
        ++held.depth;
        return;
    }
    ensureDirectory(sites);
    const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) {
        const int err = errno;
        heldLocks().erase(path_);
        throw FileError(path_, std::string("Cannot open the lock file of the saved sites (") + std::strerror(err) + ")");
    }
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            break;
        const int err = errno;
        if (err == EINTR)
            continue;
        if (err != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) {
            ::close(fd);
            heldLocks().erase(path_);
            if (err != EWOULDBLOCK)
                throw FileError(path_, std::string("Cannot lock the saved sites (") + std::strerror(err) + ")");
            throw TolvanError("Another Tolvan is writing the saved sites and did not finish within "
                              + std::to_string(patience.count() / 1000)
                              + " seconds; nothing was written.  Please try again.  (" + path_ + ")");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    held.fd = fd;
    held.depth = 1;
}

SitesLock::~SitesLock()
{
    auto& locks = heldLocks();
    const auto it = locks.find(path_);
    if (it == locks.end())
        return;
    if (--it->second.depth > 0)
        return;
    ::close(it->second.fd);  // closing the only descriptor lets the lock go
    locks.erase(it);
}

}  // namespace tolvan
