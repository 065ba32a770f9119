#pragma once
// error.log in the base directory: appended to only when it already exists,
// created or emptied by "Clear Error Log".
#include <string>

#include "storage/LineList.h"

namespace tolvan {

class ErrorLog {
public:
    explicit ErrorLog(const std::string& baseDir);
    ~ErrorLog();
    ErrorLog(const ErrorLog&) = delete;
    ErrorLog& operator=(const ErrorLog&) = delete;

    bool exists() const;
    const std::string& path() const { return path_; }

    // Each record starts with the separator line; nothing happens when the log
    // does not exist. Each record goes out in one write: a record the disk
    // cannot take whole is cut back off the file, and FileError is thrown.
    // The log stays open between records; when it was deleted or replaced
    // meanwhile (Clear Error Log), the next record opens it again.
    void appendTimedOut(const std::string& engine) const;
    void appendSkipped(const std::string& engine) const;
    // The error message is server text and is cleaned of control characters.
    void appendFailure(const std::string& errorMessage, const std::string& engine, const std::string& siteUrl,
                       const std::string& method, const std::string& action) const;

    // Replaces the log by the single header line. Throws FileError.
    void clear() const;
    LineList lines() const;

    static constexpr const char* kHeader = "Tolvan Error Log...";

private:
    void appendRecord(const std::string& text) const;
    void closeLog() const;
    std::string path_;
    mutable int fd_ = -1;
};

}  // namespace tolvan
