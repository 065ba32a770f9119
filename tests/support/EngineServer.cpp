#include "EngineServer.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace tolvan::test {

namespace {
bool accepting(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}
}  // namespace

EngineServer::EngineServer(const std::string& scriptJson)
{
    dir_.write("script.json", scriptJson);
    port_ = freeLoopbackPort();
    const std::string script = std::string(TOLVAN_SOURCE_DIR) + "/tests/support/engine_server.py";
    const std::string portText = std::to_string(port_);
    const std::string scriptFile = dir_.file("script.json");
    const std::string logFile = dir_.file("requests.jsonl");
    pid_ = ::fork();
    if (pid_ == 0) {
        std::freopen("/dev/null", "w", stdout);
        ::execlp("python3", "python3", script.c_str(), portText.c_str(), scriptFile.c_str(), logFile.c_str(),
                 static_cast<char*>(nullptr));
        ::_exit(127);
    }
    for (int i = 0; i < 200; ++i) {
        if (accepting(port_)) {
            // The probe connection itself is a request-less connection; the server ignores it.
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    throw std::runtime_error("engine server did not start");
}

EngineServer::~EngineServer()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
}

std::string EngineServer::url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<std::string> EngineServer::requests() const
{
    std::vector<std::string> lines;
    std::ifstream in(dir_.file("requests.jsonl"));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

}  // namespace tolvan::test
