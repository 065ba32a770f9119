#pragma once
// File helpers every writer shares.
#include <string>
#include <string_view>

namespace tolvan {

bool fileExists(const std::string& path);
bool directoryExists(const std::string& path);
// Creates the directory (and missing parents); throws FileError on failure.
void ensureDirectory(const std::string& path);

// What a replacing write does when its target is a symbolic link.
enum class LinkHandling {
    Keep,     // the file the link points to is replaced; the link stays (files users may link)
    Replace,  // the link itself is replaced: nothing outside the target's directory is touched
};

// Replaces `path` with `bytes`: writes a temporary file in the same directory,
// fsyncs it and renames it over the old file. On any failure the old file is
// left as it was, no temporary file stays behind, and FileError is thrown.
// Temporaries are named ".tolvan-tmp-<pid>-XXXXXX"; the first write into a
// directory removes those that writers which died mid-write left there.
void writeFileAtomic(const std::string& path, std::string_view bytes, LinkHandling links = LinkHandling::Keep);

// The prefix of every temporary file writeFileAtomic makes.
inline constexpr std::string_view kTemporaryPrefix = ".tolvan-tmp-";

// Removes the temporaries of dead writers from `directory`: those whose process
// no longer runs, and any older than a day (their process id has been reused).
// Those of live processes are kept. Returns how many were removed.
int removeStaleTemporaries(const std::string& directory);

// Removes the temporaries older versions left in `directory`, named
// "<file>.tmp-XXXXXX" (mkstemp's six letters or digits): plain files only, and
// only those untouched for ten minutes, as such a write took a moment. Returns
// how many were removed.
int removeLegacyTemporaries(const std::string& directory);

// Identifies one version of a file: every replacing write makes a new inode, so
// a cache keyed by this notices any write. Zero for a missing file.
struct FileIdentity {
    unsigned long long device = 0, inode = 0;
    long long size = -1, mtimeNs = 0;
    bool operator==(const FileIdentity&) const = default;
};
FileIdentity fileIdentity(const std::string& path);

// A file-size limit must end a write with an error (EFBIG, handled as a full
// disk is), not kill the process: called once at start-up by each front end.
void ignoreFileSizeSignal();

// Reads the whole file; throws FileError when it cannot be read.
std::string readFile(const std::string& path);

// Appends bytes to an existing file (error.log); throws FileError on failure.
void appendToFile(const std::string& path, std::string_view bytes);

// Joins a base directory and a relative path written with "/" or "\".
std::string joinPath(const std::string& base, const std::string& relative);

}  // namespace tolvan
