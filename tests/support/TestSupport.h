#pragma once
// Helpers shared by the tests: throwaway directories, file contents, free ports.
#include <string>

namespace tolvan::test {

// A fresh directory under $TMPDIR, removed with everything in it on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& relative) const { return path_ + "/" + relative; }
    void write(const std::string& relative, const std::string& bytes) const;  // creates parents
    std::string read(const std::string& relative) const;

private:
    std::string path_;
};

// A TCP port on 127.0.0.1 that was free a moment ago.
int freeLoopbackPort();

// How many sockets this process has open.
int openSocketCount();

// The bytes of a file below tests/data/.
std::string testData(const std::string& relative);

}  // namespace tolvan::test
