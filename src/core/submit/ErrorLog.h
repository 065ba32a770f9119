#pragma once
// error.log in the base directory: appended to only when it already exists,
// created or emptied by "Clear Error Log".
#include <string>

#include "storage/LineList.h"

namespace tolvan {

class ErrorLog {
public:
    explicit ErrorLog(const std::string& baseDir);

    bool exists() const;
    const std::string& path() const { return path_; }

    // Each record starts with the separator line; nothing happens when the log
    // does not exist. Throws FileError when it exists but cannot be written.
    void appendTimedOut(const std::string& engine) const;
    void appendSkipped(const std::string& engine) const;
    void appendFailure(const std::string& errorMessage, const std::string& engine, const std::string& siteUrl,
                       const std::string& method, const std::string& action) const;

    // Replaces the log by the single header line. Throws FileError.
    void clear() const;
    LineList lines() const;

    static constexpr const char* kHeader = "Tolvan Error Log...";

private:
    void appendRecord(const std::string& text) const;
    std::string path_;
};

}  // namespace tolvan
