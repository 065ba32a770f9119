#include "util/Files.h"

#include "util/Errors.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvan {

namespace {

std::string systemReason(const char* what, int err)
{
    return std::string(what) + " (" + std::strerror(err) + ")";
}

std::string parentDirectory(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

mode_t currentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

}  // namespace

bool fileExists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool directoryExists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void ensureDirectory(const std::string& path)
{
    if (path.empty() || directoryExists(path))
        return;
    const std::string parent = parentDirectory(path);
    if (parent != path && parent != "." && parent != "/")
        ensureDirectory(parent);
    if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST)
        throw FileError(path, systemReason("Cannot create directory", errno));
    if (!directoryExists(path))
        throw FileError(path, systemReason("Cannot create directory", ENOTDIR));
}

int removeStaleTemporaries(const std::string& directory)
{
    DIR* dir = ::opendir(directory.c_str());
    if (!dir)
        return 0;
    const int dirFd = ::dirfd(dir);
    const std::time_t now = std::time(nullptr);
    constexpr std::time_t kDay = 24 * 60 * 60;
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (!name.starts_with(kTemporaryPrefix))
            continue;
        // ".tolvan-tmp-<pid>-XXXXXX"
        const std::string_view rest = name.substr(kTemporaryPrefix.size());
        const auto dash = rest.find('-');
        if (dash == 0 || dash == std::string_view::npos || dash > 10 || rest.size() != dash + 7)
            continue;  // mkstemp's six characters end the name
        long long pid = 0;
        bool digits = true;
        for (const char c : rest.substr(0, dash)) {
            if (c < '0' || c > '9') {
                digits = false;
                break;
            }
            pid = pid * 10 + (c - '0');
        }
        if (!digits || pid <= 0)
            continue;
        struct stat st {};
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
            continue;
        const bool ownProcess = pid == static_cast<long long>(::getpid());
        const bool processGone = !ownProcess && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
        const bool ancient = now - st.st_mtime > kDay;
        if ((processGone || ancient) && ::unlinkat(dirFd, entry->d_name, 0) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

namespace {

bool isLegacyTemporaryName(std::string_view name)
{
    constexpr std::string_view kMarker = ".tmp-";
    constexpr std::size_t kRandom = 6;
    if (name.size() <= kMarker.size() + kRandom)
        return false;
    const std::size_t marker = name.size() - kRandom - kMarker.size();
    if (name.substr(marker, kMarker.size()) != kMarker)
        return false;
    return std::all_of(name.end() - kRandom, name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    });
}

}  // namespace

int removeLegacyTemporaries(const std::string& directory)
{
    DIR* dir = ::opendir(directory.c_str());
    if (!dir)
        return 0;
    const int dirFd = ::dirfd(dir);
    const std::time_t now = std::time(nullptr);
    constexpr std::time_t kSettled = 10 * 60;
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (!isLegacyTemporaryName(entry->d_name))
            continue;
        struct stat st {};
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
            continue;
        if (now - st.st_mtime > kSettled && ::unlinkat(dirFd, entry->d_name, 0) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

namespace {

// Each directory is swept once per process, at its first write: enough to clear
// what earlier runs left, without listing a big directory at every write.
void sweepOnce(const std::string& directory)
{
    static std::set<std::string> swept;
    if (swept.insert(directory).second)
        removeStaleTemporaries(directory);
}

}  // namespace

void writeFileAtomic(const std::string& target, std::string_view bytes, LinkHandling links)
{
    // A symbolic link (a settings file kept elsewhere) stays a link: the file it
    // points to is replaced. With LinkHandling::Replace the rename replaces the
    // link itself, so a link planted at the name leads nowhere.
    std::string path = target;
    struct stat linkSt {};
    const bool isLink = ::lstat(target.c_str(), &linkSt) == 0 && S_ISLNK(linkSt.st_mode);
    if (isLink && links == LinkHandling::Keep) {
        if (char* real = ::realpath(target.c_str(), nullptr)) {
            path = real;
            std::free(real);
        }
    }
    const bool followTarget = !isLink || links == LinkHandling::Keep;
    // The rename would replace a file its owner made read-only; refuse as an
    // ordinary write into it would.
    if (followTarget && ::faccessat(AT_FDCWD, path.c_str(), F_OK, AT_EACCESS) == 0
        && ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES)
        throw FileError(target, systemReason("Cannot write file", EACCES));
    // The temporary sits beside the target so the rename stays on one file system;
    // its name says whose it is and which process writes it.
    const std::string directory = parentDirectory(path);
    sweepOnce(directory);
    std::string temp = (directory == "/" ? std::string() : directory) + "/" + std::string(kTemporaryPrefix)
        + std::to_string(::getpid()) + "-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        throw FileError(target, systemReason("Cannot create file", errno));

    auto fail = [&](int err) {
        ::close(fd);
        ::unlink(temp.c_str());
        throw FileError(target, systemReason("Cannot write file", err));
    };

    // mkstemp makes the file private; give it the old file's mode, or the usual one.
    struct stat st {};
    const bool hasOld = followTarget && ::stat(path.c_str(), &st) == 0;
    const mode_t mode = hasOld ? (st.st_mode & 07777) : (0666 & ~currentUmask());
    if (::fchmod(fd, mode) != 0)
        fail(errno);
    if (!writeAll(fd, bytes))
        fail(errno);
    if (::fsync(fd) != 0)
        fail(errno);
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        throw FileError(target, systemReason("Cannot write file", err));
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        throw FileError(target, systemReason("Cannot replace file", err));
    }
    // Make the rename itself durable; a failure here does not lose data.
    const int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

FileIdentity fileIdentity(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return {};
    return {static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino),
            static_cast<long long>(st.st_size),
            static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec};
}

void ignoreFileSizeSignal()
{
    ::signal(SIGXFSZ, SIG_IGN);
}

std::string readFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw FileError(path, systemReason("Cannot open file", errno));
    // Read straight into the string, sized by the file and grown if the file grows.
    std::string data;
    struct stat st {};
    std::size_t capacity = 65536;
    if (::fstat(fd, &st) == 0 && st.st_size > 0)
        capacity = static_cast<std::size_t>(st.st_size) + 1;  // one more byte sees the end in one read
    std::size_t used = 0;
    for (;;) {
        if (used == data.size())
            data.resize(std::max(capacity, data.size() * 2));
        const ssize_t n = ::read(fd, data.data() + used, data.size() - used);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            ::close(fd);
            throw FileError(path, systemReason("Cannot read file", err));
        }
        if (n == 0)
            break;
        used += static_cast<std::size_t>(n);
    }
    ::close(fd);
    data.resize(used);
    return data;
}

void appendToFile(const std::string& path, std::string_view bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0)
        throw FileError(path, systemReason("Cannot open file", errno));
    if (!writeAll(fd, bytes)) {
        const int err = errno;
        ::close(fd);
        throw FileError(path, systemReason("Cannot write file", err));
    }
    if (::close(fd) != 0)
        throw FileError(path, systemReason("Cannot write file", errno));
}

std::string joinPath(const std::string& base, const std::string& relative)
{
    std::string rel = relative;
    for (char& c : rel)
        if (c == '\\')
            c = '/';
    if (base.empty())
        return rel;
    std::string result = base;
    for (char& c : result)
        if (c == '\\')
            c = '/';
    // A doubled separator at the join is accepted and collapsed.
    while (result.size() > 1 && result.back() == '/')
        result.pop_back();
    std::size_t start = 0;
    while (start < rel.size() && rel[start] == '/')
        ++start;
    if (result != "/")
        result += '/';
    result.append(rel, start, std::string::npos);
    return result;
}

}  // namespace tolvan
