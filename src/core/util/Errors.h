#pragma once
// Exceptions that end a user action. The front end's one error handler shows
// what() in an error box and the program goes on.
#include <stdexcept>
#include <string>

namespace tolvan {

class TolvanError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file that could not be created, read or written; the text names the file
// and the system's reason.
class FileError : public TolvanError {
public:
    FileError(const std::string& fileName, const std::string& reason)
        : TolvanError(reason + ": " + fileName), fileName_(fileName) {}
    const std::string& fileName() const { return fileName_; }

private:
    std::string fileName_;
};

// A text that should have been a whole number: "'abc' is not a valid integer value".
class ConvertError : public TolvanError {
public:
    explicit ConvertError(const std::string& text)
        : TolvanError("'" + text + "' is not a valid integer value") {}
};

}  // namespace tolvan
