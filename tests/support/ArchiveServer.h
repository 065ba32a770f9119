#pragma once
// A file server for the update tests (tests/support/archive_server.py) on
// 127.0.0.1, and ZIP archives built by Python's zipfile (make_zip.py), so the
// archives under test come from an implementation other than our own reader.
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "TestSupport.h"

namespace tolvan::test {

// Builds `out` from a JSON list of entries (see make_zip.py).
inline void makeZip(const std::string& out, const std::string& entriesJson)
{
    TempDir work;
    work.write("entries.json", entriesJson);
    const std::string py = python3();
    const std::string script = supportScript("make_zip.py");
    const std::string entries = work.file("entries.json");
    const pid_t pid = ::fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        char* argv[] = {const_cast<char*>(py.c_str()), const_cast<char*>(script.c_str()),
                        const_cast<char*>(out.c_str()), const_cast<char*>(entries.c_str()), nullptr};
        ::execvp(argv[0], argv);
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("make_zip.py failed for " + entriesJson);
}

// A JSON string literal for `text` (names and contents in the archive descriptions).
inline std::string jsonString(const std::string& text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            static const char* hex = "0123456789abcdef";
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

class ArchiveServer {
public:
    ArchiveServer()
        : port_(freeLoopbackPort()),
          process_({python3(), supportScript("archive_server.py"), std::to_string(port_), root_.path()})
    {
        process_.waitUntilAccepting(port_);
    }

    int port() const { return port_; }
    // The value for data/hosts.tlx.
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
    const TempDir& root() const { return root_; }

    // Builds the archive served at /<relative>.
    void putArchive(const std::string& relative, const std::string& entriesJson) const
    {
        root_.write(relative, "");
        makeZip(root_.file(relative), entriesJson);
    }
    void putFile(const std::string& relative, const std::string& bytes) const { root_.write(relative, bytes); }
    // The answer to the following requests (see archive_server.py).
    void setBehaviour(const std::string& json) const { root_.write("behaviour.json", json); }

    // Request lines received so far.
    std::vector<std::string> requests() const { return lines("requests.log"); }
    std::string headers() const { return read("headers.log"); }

private:
    std::string read(const std::string& name) const
    {
        std::ifstream in(root_.file(name), std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::vector<std::string> lines(const std::string& name) const
    {
        std::vector<std::string> out;
        std::istringstream in(read(name));
        for (std::string line; std::getline(in, line);)
            out.push_back(line);
        return out;
    }

    TempDir root_;
    int port_;
    ChildProcess process_;
};

}  // namespace tolvan::test
