#pragma once
// File helpers every writer shares.
#include <string>
#include <string_view>

namespace tolvan {

bool fileExists(const std::string& path);
bool directoryExists(const std::string& path);
// Creates the directory (and missing parents); throws FileError on failure.
void ensureDirectory(const std::string& path);

// Replaces `path` with `bytes`: writes a temporary file in the same directory,
// fsyncs it and renames it over the old file. On any failure the old file is
// left as it was, no temporary file stays behind, and FileError is thrown.
void writeFileAtomic(const std::string& path, std::string_view bytes);

// Reads the whole file; throws FileError when it cannot be read.
std::string readFile(const std::string& path);

// Appends bytes to an existing file (error.log); throws FileError on failure.
void appendToFile(const std::string& path, std::string_view bytes);

// Joins a base directory and a relative path written with "/" or "\".
std::string joinPath(const std::string& base, const std::string& relative);

}  // namespace tolvan
