#include "util/ZipExtractor.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "util/Errors.h"
#include "util/Files.h"
#include "util/TextCodec.h"

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

mode_t newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

bool writeAllTo(int fd, const char* data, std::size_t size, int& err)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            err = n < 0 ? errno : ENOSPC;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

void syncDirectory(const std::string& dir)
{
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// The names in a directory by their case-folded form; empty when it is missing.
std::unordered_map<std::string, std::string> namesByFoldedCase(const std::string& dir)
{
    std::unordered_map<std::string, std::string> names;
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return names;
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..")
            names.emplace(foldCase(name), name);
    }
    ::closedir(d);
    return names;
}

// Removes what an extraction killed halfway left behind: staging folders,
// and the temporary files of earlier versions.
void removeStaleStaging(const std::string& dir)
{
    std::error_code ec;
    for (const auto& [folded, name] : namesByFoldedCase(dir)) {
        (void)folded;
        if (name.rfind(ZipExtractor::kStagingPrefix, 0) == 0 || name.rfind(".unzip-", 0) == 0)
            std::filesystem::remove_all(dir + "/" + name, ec);
    }
}

// The staging folder and everything in it goes when the extraction ends.
struct StagingFolder {
    std::string path;
    ~StagingFolder()
    {
        if (!path.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
    }
};

// One file of the archive, staged and waiting to be put in place.
struct Planned {
    std::string staged;  // its path in the staging folder
    std::string target;  // relative to the directory: "x.tlx" or "rank/x.tlx"
    std::string backup;  // where the file it replaces was moved, empty if none
    bool placed = false;
};

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

std::string entryTarget(const std::string& entryName, bool* unsafe)
{
    const std::string name = flatEntryName(entryName, unsafe);
    if (name.empty())
        return {};
    // The folder steps: everything before the last separator.
    std::size_t start = 0;
    for (std::size_t i = 0; i < entryName.size(); ++i) {
        if (!isSeparator(entryName[i]))
            continue;
        if (equalsIgnoreCase(std::string_view(entryName).substr(start, i - start), "rank"))
            return "rank/" + name;
        start = i + 1;
    }
    return name;
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
    removeStaleStaging(dir);

    int openError = 0;
    Archive archive(zip_open(zipFilename_.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &openError));
    if (!archive) {
        if (openError == ZIP_ER_NOZIP || openError == ZIP_ER_NOENT)
            message(kExtractBadArchive, "No valid zip entries found");
        else
            message(kExtractBadArchive, "Error reading Zip File: " + libzipText(openError));
        return 0;
    }

    StagingFolder staging;
    {
        std::string pattern = dir + "/" + kStagingPrefix + "XXXXXX";
        if (!::mkdtemp(pattern.data())) {
            message(kExtractWriteError, "Error writing " + dir + ": " + std::strerror(errno));
            return 0;
        }
        staging.path = pattern;
    }

    // The names already there, so an entry that differs only in letter case
    // replaces the file rather than adding a second one beside it.
    auto existing = namesByFoldedCase(dir);
    auto existingRank = namesByFoldedCase(dir + "/rank");

    // First stream every entry into the staging folder and check it; nothing
    // in the directory changes yet.
    std::vector<Planned> planned;
    std::unordered_map<std::string, std::size_t> plannedByKey;
    std::vector<std::string> extracted;  // one name per entry, in archive order
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
        const std::string target = entryTarget(entryName, &unsafe);
        if (unsafe || target.empty()) {
            message(kExtractUnsafeName, "Skipped " + entryName + ": unsafe path");
            continue;
        }
        const bool inRank = target.rfind("rank/", 0) == 0;
        const std::string name = inRank ? target.substr(5) : target;

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

        const std::string key = (inRank ? "rank/" : "") + foldCase(name);
        auto [slot, fresh] = plannedByKey.emplace(key, planned.size());
        if (fresh) {
            auto& names = inRank ? existingRank : existing;
            const auto found = names.find(foldCase(name));
            const std::string kept = found == names.end() ? name : found->second;
            planned.push_back({staging.path + "/" + std::to_string(planned.size()), (inRank ? "rank/" : "") + kept,
                               {}, false});
        }
        const Planned& plan = planned[slot->second];
        // The later of two entries for one file wins: its bytes replace the staged ones.
        const int fd = ::open(plan.staged.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            message(kExtractWriteError, "Error writing " + name + ": " + std::strerror(errno));
            return 0;
        }
        struct FdCloser {
            int fd;
            ~FdCloser() { ::close(fd); }
        } closer{fd};

        Entry entry(zip_fopen_index(archive.get(), index, 0));
        if (!entry) {
            message(kExtractReadError,
                    "Error reading " + entryName + ": " + std::string(zip_strerror(archive.get())));
            return 0;
        }
        std::uint64_t read = 0;
        for (;;) {
            const zip_int64_t n = zip_fread(entry.get(), buffer.data(), buffer.size());
            if (n < 0) {
                message(kExtractReadError,
                        "Error reading " + entryName + ": " + std::string(zip_file_strerror(entry.get())));
                return 0;
            }
            if (n == 0)
                break;
            read += static_cast<std::uint64_t>(n);
            if (read > size) {
                message(kExtractReadError, "Error reading " + entryName + ": more data than announced");
                return 0;
            }
            int err = 0;
            if (!writeAllTo(fd, buffer.data(), static_cast<std::size_t>(n), err)) {
                message(kExtractWriteError, "Error writing " + name + ": " + std::strerror(err) +
                                                ". The data files were not changed.");
                return 0;
            }
            progress(ExtractProgress::Step, name, read);
            if (cancelRequested_) {
                cancelled_ = true;
                return 0;
            }
        }
        if (read != size) {
            message(kExtractReadError, "Error reading " + entryName + ": less data than announced");
            return 0;
        }
        const int closeError = zip_fclose(entry.release());
        if (closeError != 0) {
            message(kExtractReadError, "Error reading " + entryName + ": " + libzipText(closeError));
            return 0;
        }
        // A replaced file keeps its permissions; a new one gets the usual ones.
        struct stat old {};
        const std::string targetPath = dir + "/" + plan.target;
        const mode_t mode = ::lstat(targetPath.c_str(), &old) == 0 && S_ISREG(old.st_mode) ? (old.st_mode & 0777)
                                                                                           : newFileMode();
        if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0) {
            message(kExtractWriteError, "Error writing " + name + ": " + std::strerror(errno) +
                                            ". The data files were not changed.");
            return 0;
        }
        total += size;
        extracted.push_back(name);
    }
    archive.reset();

    if (planned.empty()) {
        message(kExtractBadArchive, "No valid zip entries found");
        progress(ExtractProgress::EndOfBatch, {}, 0);
        return 0;
    }

    // Everything is staged and checked: put each file in place with renames,
    // which need no space. The replaced files wait in the staging folder until
    // all are in, so any failure can put them back.
    const std::string backups = staging.path + "/old";
    bool madeRank = false;
    std::string failure;
    if (::mkdir(backups.c_str(), 0700) != 0)
        failure = "Error writing " + dir + ": " + std::strerror(errno);
    for (std::size_t i = 0; failure.empty() && i < planned.size(); ++i) {
        Planned& plan = planned[i];
        const std::string targetPath = dir + "/" + plan.target;
        if (plan.target.rfind("rank/", 0) == 0 && !madeRank && existingRank.empty()) {
            if (::mkdir((dir + "/rank").c_str(), 0777) == 0)
                madeRank = true;
            else if (errno != EEXIST) {
                failure = "Error writing rank: " + std::string(std::strerror(errno));
                break;
            }
        }
        struct stat st {};
        if (::lstat(targetPath.c_str(), &st) == 0) {
            if (S_ISDIR(st.st_mode)) {
                failure = "Error writing " + plan.target + ": " + std::strerror(EISDIR);
                break;
            }
            const std::string backup = backups + "/" + std::to_string(i);
            if (::rename(targetPath.c_str(), backup.c_str()) != 0) {
                failure = "Error writing " + plan.target + ": " + std::strerror(errno);
                break;
            }
            plan.backup = backup;
        }
        if (::rename(plan.staged.c_str(), targetPath.c_str()) != 0) {
            failure = "Error writing " + plan.target + ": " + std::strerror(errno);
            if (!plan.backup.empty() && ::rename(plan.backup.c_str(), targetPath.c_str()) == 0)
                plan.backup.clear();
            break;
        }
        plan.placed = true;
        if (i % 64 == 63 && OnIdle)
            OnIdle();
    }

    if (!failure.empty()) {
        // Put back what was there, newest first.
        for (auto it = planned.rbegin(); it != planned.rend(); ++it) {
            const std::string targetPath = dir + "/" + it->target;
            if (it->placed && it->backup.empty())
                ::unlink(targetPath.c_str());
            if (!it->backup.empty())
                ::rename(it->backup.c_str(), targetPath.c_str());
        }
        if (madeRank)
            ::rmdir((dir + "/rank").c_str());
        syncDirectory(dir);
        message(kExtractWriteError, failure + ". The data files were left as they were.");
        progress(ExtractProgress::EndOfBatch, {}, 0);
        return 0;
    }

    syncDirectory(dir);
    if (madeRank || !existingRank.empty())
        syncDirectory(dir + "/rank");
    for (const std::string& name : extracted)
        message(kExtractInfo, "Extracted " + name);
    failed_ = false;
    progress(ExtractProgress::EndOfBatch, {}, 0);
    return static_cast<int>(extracted.size());
}

}  // namespace tolvan
