#pragma once
// The advisory lock that serialises every read-modify-write of the files in
// <base>/sites between Tolvan processes (the window and command-line runs): a
// flock on sites/tolvan.lock, held for the whole cycle.
#include <chrono>
#include <string>

namespace tolvan {

inline constexpr const char* kSitesLockFile = "tolvan.lock";

class SitesLock {
public:
    // Creates sites/ when missing and takes the lock, waiting at most `patience`
    // for another process to let it go. Throws TolvanError, naming the lock
    // file, when it cannot: the caller then writes nothing. Taking it again in
    // a process that already holds it (nested operations) just counts.
    explicit SitesLock(const std::string& baseDir);
    SitesLock(const std::string& baseDir, std::chrono::milliseconds patience);
    ~SitesLock();
    SitesLock(const SitesLock&) = delete;
    SitesLock& operator=(const SitesLock&) = delete;

    // How long a writer waits by default.
    static std::chrono::milliseconds defaultPatience();

private:
    std::string path_;
};

}  // namespace tolvan
