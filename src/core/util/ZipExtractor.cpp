#include "util/ZipExtractor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "util/Errors.h"
#include "util/Files.h"

namespace tolvan {

namespace {

struct ArchiveCloser {
    void operator()(zip_t* za) const { zip_discard(za); }
};
using Archive = std::unique_ptr<zip_t, ArchiveCloser>;

struct EntryCloser {
    void operator()(zip_file_t* zf) const { zip_fclose(zf); }
};
using Entry = std::unique_ptr<zip_file_t, EntryCloser>;

std::string libzipText(int code)
{
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
}

bool isSeparator(char c) { return c == '/' || c == '\\'; }

// One file read from the archive, waiting to be put in place.
struct StagedFile {
    std::string name;
    std::string bytes;
};

mode_t newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Writes `bytes` as dir/name through a temporary file in the same directory
// and a rename. The rename replaces whatever directory entry had the name (a
// link included) and never follows it, so nothing outside dir is touched.
bool writeReplacing(const std::string& dir, const std::string& name, std::string_view bytes, std::string& reason)
{
    const std::string target = dir + "/" + name;
    std::string temp = dir + "/.unzip-XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        reason = std::strerror(errno);
        return false;
    }
    auto fail = [&](int err) {
        ::close(fd);
        ::unlink(temp.c_str());
        reason = std::strerror(err);
        return false;
    };
    struct stat old {};
    const mode_t mode = ::lstat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode) ? (old.st_mode & 0777)
                                                                                   : newFileMode();
    if (::fchmod(fd, mode) != 0)
        return fail(errno);
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(n < 0 ? errno : ENOSPC);
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    if (::fsync(fd) != 0)
        return fail(errno);
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        reason = std::strerror(err);
        return false;
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        reason = std::strerror(err);
        return false;
    }
    return true;
}

}  // namespace

std::string flatEntryName(const std::string& entryName, bool* unsafe)
{
    bool bad = false;
    if (entryName.empty() || isSeparator(entryName[0]))
        bad = true;
    // "C:..." names a drive.
    if (entryName.size() >= 2 && entryName[1] == ':')
        bad = true;
    std::size_t start = 0;
    std::string last;
    while (start <= entryName.size()) {
        std::size_t end = start;
        while (end < entryName.size() && !isSeparator(entryName[end]))
            ++end;
        const std::string part = entryName.substr(start, end - start);
        if (part == "..")
            bad = true;
        for (unsigned char c : part)
            if (c < 0x20 || c == 0x7F)
                bad = true;
        last = part;
        start = end + 1;
    }
    if (unsafe)
        *unsafe = bad;
    if (bad || last == "." || last == "..")
        return {};
    return last;  // empty for a folder entry ("engines/")
}

void ZipExtractor::progress(ExtractProgress kind, const std::string& name, std::uint64_t size)
{
    if (OnProgress)
        OnProgress(kind, name, size);
}

void ZipExtractor::message(int code, const std::string& text)
{
    if (code > 0)
        ++errors_;
    if (OnMessage)
        OnMessage(code, text);
}

int ZipExtractor::Extract()
{
    if (busy_)
        return 0;
    busy_ = true;
    struct Done {
        bool& busy;
        ~Done() { busy = false; }
    } done{busy_};
    failed_ = true;
    cancelRequested_ = false;
    cancelled_ = false;
    errors_ = 0;

    const std::string dir = extrBaseDir_.empty() ? std::string(".") : extrBaseDir_;
    try {
        ensureDirectory(dir);
    } catch (const FileError& e) {
        message(kExtractWriteError, e.what());
        return 0;
    }
    if (changeDirectory_ && ::chdir(dir.c_str()) != 0)
        message(kExtractWriteError, "Cannot enter " + dir + ": " + std::strerror(errno));

    int openError = 0;
    Archive archive(zip_open(zipFilename_.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &openError));
    if (!archive) {
        if (openError == ZIP_ER_NOZIP || openError == ZIP_ER_NOENT)
            message(kExtractBadArchive, "No valid zip entries found");
        else
            message(kExtractBadArchive, "Error reading Zip File: " + libzipText(openError));
        return 0;
    }

    // First read and check everything; nothing in the directory changes yet.
    std::vector<StagedFile> staged;
    std::uint64_t total = 0;
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    std::vector<char> buffer(kStepBytes);
    for (zip_int64_t i = 0; i < count; ++i) {
        const auto index = static_cast<zip_uint64_t>(i);
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(archive.get(), index, 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME)) {
            message(kExtractBadArchive, "Error reading Zip File: " + std::string(zip_strerror(archive.get())));
            return 0;
        }
        const std::string entryName = st.name;

        zip_uint8_t opsys = 0;
        zip_uint32_t attributes = 0;
        bool folder = !entryName.empty() && isSeparator(entryName.back());
        if (zip_file_get_external_attributes(archive.get(), index, 0, &opsys, &attributes) == 0) {
            if (opsys == ZIP_OPSYS_UNIX) {
                const mode_t type = (attributes >> 16) & S_IFMT;
                if (type == S_IFDIR)
                    folder = true;
                else if (type != 0 && type != S_IFREG) {
                    message(kExtractNotAFile, "Skipped " + entryName + ": not a plain file");
                    continue;
                }
            } else if (attributes & 0x10) {  // the DOS folder attribute
                folder = true;
            }
        }
        if (folder)
            continue;

        bool unsafe = false;
        const std::string name = flatEntryName(entryName, &unsafe);
        if (unsafe || name.empty()) {
            message(kExtractUnsafeName, "Skipped " + entryName + ": unsafe path");
            continue;
        }

        const std::uint64_t size = (st.valid & ZIP_STAT_SIZE) ? st.size : 0;
        if (size > kMaxFileSize || total + size > kMaxTotalSize) {
            message(kExtractTooLarge, "Error reading Zip File: " + entryName + " is too large");
            return 0;
        }
        progress(ExtractProgress::NewFile, name, size);
        if (cancelRequested_) {
            cancelled_ = true;
            return 0;
        }

        Entry entry(zip_fopen_index(archive.get(), index, 0));
        if (!entry) {
            message(kExtractReadError,
                    "Error reading " + entryName + ": " + std::string(zip_strerror(archive.get())));
            return 0;
        }
        StagedFile file{name, {}};
        file.bytes.reserve(static_cast<std::size_t>(size));
        for (;;) {
            const zip_int64_t n = zip_fread(entry.get(), buffer.data(), buffer.size());
            if (n < 0) {
                message(kExtractReadError,
                        "Error reading " + entryName + ": " + std::string(zip_file_strerror(entry.get())));
                return 0;
            }
            if (n == 0)
                break;
            file.bytes.append(buffer.data(), static_cast<std::size_t>(n));
            if (file.bytes.size() > size) {
                message(kExtractReadError, "Error reading " + entryName + ": more data than announced");
                return 0;
            }
            progress(ExtractProgress::Step, name, file.bytes.size());
            if (cancelRequested_) {
                cancelled_ = true;
                return 0;
            }
        }
        if (file.bytes.size() != size) {
            message(kExtractReadError, "Error reading " + entryName + ": less data than announced");
            return 0;
        }
        const int closeError = zip_fclose(entry.release());
        if (closeError != 0) {
            message(kExtractReadError, "Error reading " + entryName + ": " + libzipText(closeError));
            return 0;
        }
        total += size;
        staged.push_back(std::move(file));
    }
    archive.reset();

    if (staged.empty()) {
        message(kExtractBadArchive, "No valid zip entries found");
        progress(ExtractProgress::EndOfBatch, {}, 0);
        return 0;
    }

    // Everything read well: put the files in place, one rename each.
    int written = 0;
    for (const StagedFile& file : staged) {
        std::string reason;
        if (writeReplacing(dir, file.name, file.bytes, reason)) {
            ++written;
            message(kExtractInfo, "Extracted " + file.name);
        } else {
            message(kExtractWriteError, "Error writing " + file.name + ": " + reason);
        }
    }
    const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    failed_ = written == 0;
    progress(ExtractProgress::EndOfBatch, {}, 0);
    return written;
}

}  // namespace tolvan
