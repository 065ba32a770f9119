#pragma once
// Peers for the SMTP tests, all on 127.0.0.1: the Python mail server of
// tests/support/smtp_capture.py and a scripted raw-socket server for broken
// or unusual replies.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"

namespace tolvan::test {

inline std::string readWhole(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs a command (argv) and returns its standard output.
inline std::string runCapture(const std::vector<std::string>& argv)
{
    int pipefd[2];
    if (::pipe(pipefd) != 0)
        throw std::runtime_error("pipe");
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipefd[1], 1);
        ::close(pipefd[0]);
        ::close(pipefd[1]);
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(pipefd[1]);
    std::string out;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(pipefd[0], buf, sizeof buf)) > 0)
        out.append(buf, static_cast<std::size_t>(n));
    ::close(pipefd[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("command failed: " + argv.back());
    return out;
}

// The Python mail server, started for one test.
class CaptureSmtpServer {
public:
    explicit CaptureSmtpServer(const std::vector<std::string>& rejected = {},
                               const std::vector<std::string>& options = {})
        : port_(freeLoopbackPort())
    {
        std::vector<std::string> argv = {"/usr/bin/python3", std::string(TOLVAN_SOURCE_DIR) + "/tests/support/smtp_capture.py",
                                         std::to_string(port_), dir_.path()};
        for (const auto& r : rejected) {
            argv.push_back("--reject");
            argv.push_back(r);
        }
        argv.insert(argv.end(), options.begin(), options.end());
        pid_ = ::fork();
        if (pid_ == 0) {
            std::vector<char*> args;
            for (const auto& a : argv)
                args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            ::execv(args[0], args.data());
            ::_exit(127);
        }
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!std::filesystem::exists(dir_.file("ready"))) {
            if (std::chrono::steady_clock::now() > until)
                throw std::runtime_error("mail server did not start");
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    ~CaptureSmtpServer()
    {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    int port() const { return port_; }
    std::string server() const { return "127.0.0.1:" + std::to_string(port_); }
    std::string messageFile(int n) const { return dir_.file(std::to_string(n) + ".eml"); }
    std::string message(int n) const { return readWhole(messageFile(n)); }
    std::string envelope(int n) const { return readWhole(dir_.file(std::to_string(n) + ".json")); }
    bool hasMessage(int n) const { return std::filesystem::exists(messageFile(n)); }
    std::string authLog() const { return std::filesystem::exists(dir_.file("auth.log")) ? readWhole(dir_.file("auth.log")) : ""; }

private:
    TempDir dir_;
    int port_;
    pid_t pid_ = -1;
};

// A connection of the scripted server: line I/O with a time limit.
class PeerConnection {
public:
    explicit PeerConnection(int fd) : fd_(fd) {}
    void send(const std::string& text) { ::send(fd_, text.data(), text.size(), MSG_NOSIGNAL); }
    // All of `text`, or false once the client has gone.
    bool trySend(const std::string& text)
    {
        for (std::size_t sent = 0; sent < text.size();) {
            const ssize_t n = ::send(fd_, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            sent += static_cast<std::size_t>(n);
        }
        return true;
    }
    // One line without its CR LF; throws when nothing comes within 10 s or
    // the client hangs up.
    std::string readLine()
    {
        std::string line;
        for (;;) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 10000) <= 0)
                throw std::runtime_error("client silent");
            char c;
            if (::recv(fd_, &c, 1, 0) != 1)
                throw std::runtime_error("client closed");
            if (c == '\n')
                break;
            line += c;
        }
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        return line;
    }
    // Reads the message data up to the lone "." line.
    std::vector<std::string> readData()
    {
        std::vector<std::string> lines;
        for (std::string l = readLine(); l != "."; l = readLine())
            lines.push_back(l);
        return lines;
    }
    // Waits until the client closes the connection; true if it did within 10 s.
    bool waitClosed()
    {
        pollfd p{fd_, POLLIN, 0};
        char c;
        return ::poll(&p, 1, 10000) > 0 && ::recv(fd_, &c, 1, 0) == 0;
    }

private:
    int fd_;
};

// Accepts one connection on 127.0.0.1 and runs a script against it on its
// own thread; the lines the script read are kept for the test.
class ScriptedSmtpServer {
public:
    using Script = std::function<void(PeerConnection&, std::vector<std::string>& seen)>;

    explicit ScriptedSmtpServer(Script script) : port_(freeLoopbackPort())
    {
        listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        int one = 1;
        ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(static_cast<uint16_t>(port_));
        if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listenFd_, 4) != 0)
            throw std::runtime_error("cannot listen");
        thread_ = std::thread([this, script = std::move(script)] {
            pollfd p{listenFd_, POLLIN, 0};
            if (::poll(&p, 1, 15000) <= 0)
                return;
            const int fd = ::accept(listenFd_, nullptr, nullptr);
            if (fd < 0)
                return;
            PeerConnection conn(fd);
            std::vector<std::string> seen;
            try {
                script(conn, seen);
            } catch (const std::exception& e) {
                seen.push_back(std::string("!") + e.what());
            }
            ::close(fd);
            std::lock_guard lock(mutex_);
            seen_ = seen;
        });
    }
    ~ScriptedSmtpServer()
    {
        finish();
        ::close(listenFd_);
    }
    // Waits for the script to end and returns the lines it read.
    std::vector<std::string> finish()
    {
        if (thread_.joinable())
            thread_.join();
        std::lock_guard lock(mutex_);
        return seen_;
    }
    std::string server() const { return "127.0.0.1:" + std::to_string(port_); }

private:
    int port_;
    int listenFd_ = -1;
    std::thread thread_;
    std::mutex mutex_;
    std::vector<std::string> seen_;
};

}  // namespace tolvan::test
