#include "submit/ErrorLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "util/Errors.h"
#include "util/Files.h"
#include "util/ServerText.h"

namespace tolvan {

namespace {
std::string separator()
{
    std::string s;
    for (int i = 0; i < 29; ++i)
        s += "=-";
    return s;
}

std::string writeFailure(int err) { return std::string("Cannot write file (") + std::strerror(err) + ")"; }
}  // namespace

ErrorLog::ErrorLog(const std::string& baseDir) : path_(joinPath(baseDir, "error.log")) {}

ErrorLog::~ErrorLog() { closeLog(); }

void ErrorLog::closeLog() const
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool ErrorLog::exists() const { return fileExists(path_); }

void ErrorLog::appendRecord(const std::string& text) const
{
    // A log unlinked since it was opened (deleted, or replaced by Clear Error
    // Log's rename) has no links left: records go to the file now at the path.
    struct stat st {};
    if (fd_ >= 0 && (::fstat(fd_, &st) != 0 || st.st_nlink == 0))
        closeLog();
    if (fd_ < 0) {
        // Only a plain file is a log; O_NONBLOCK keeps a FIFO of that name from blocking.
        fd_ = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NONBLOCK);
        if (fd_ < 0) {
            if (errno == ENOENT || errno == EISDIR || errno == ENXIO)
                return;  // no log: nothing is recorded
            throw FileError(path_, std::string("Cannot open file (") + std::strerror(errno) + ")");
        }
        if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
            closeLog();
            return;
        }
    }

    const std::string record = separator() + "\r\n" + text;
    ssize_t n;
    do
        n = ::write(fd_, record.data(), record.size());
    while (n < 0 && errno == EINTR);
    if (n == static_cast<ssize_t>(record.size()))
        return;
    int err = n < 0 ? errno : ENOSPC;
    if (n > 0) {
        // Half a record would glue the next one onto it: the rest either goes
        // out now or the part written is cut off again.
        const off_t end = ::lseek(fd_, 0, SEEK_CUR);
        const ssize_t rest = ::write(fd_, record.data() + n, record.size() - static_cast<std::size_t>(n));
        if (rest == static_cast<ssize_t>(record.size()) - n)
            return;
        if (rest < 0)
            err = errno;
        if (end >= n && ::ftruncate(fd_, end - n) != 0)
            err = errno;
    }
    throw FileError(path_, writeFailure(err));
}

void ErrorLog::appendTimedOut(const std::string& engine) const
{
    appendRecord("Engine Timed Out: " + engine + "\r\n");
}

void ErrorLog::appendSkipped(const std::string& engine) const
{
    appendRecord("User Skipped Engine: " + engine + "\r\n");
}

void ErrorLog::appendFailure(const std::string& errorMessage, const std::string& engine, const std::string& siteUrl,
                             const std::string& method, const std::string& action) const
{
    appendRecord("Error   : " + cleanServerText(errorMessage) + " Site Name: " + engine + "\r\n"
                 + "URL     : " + siteUrl + "\r\n"
                 + "Method  : " + method + "\r\n"
                 + "Action  : " + action + "\r\n");
}

void ErrorLog::clear() const
{
    closeLog();
    writeFileAtomic(path_, std::string(kHeader) + "\r\n");
}

LineList ErrorLog::lines() const { return readLineList(path_); }

}  // namespace tolvan
