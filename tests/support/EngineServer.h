#pragma once
// A scripted engine server (tests/support/engine_server.py) on 127.0.0.1.
#include <string>
#include <vector>

#include "TestSupport.h"

namespace tolvan::test {

class EngineServer {
public:
    // script: JSON object mapping paths to behaviours (see engine_server.py).
    explicit EngineServer(const std::string& scriptJson);
    ~EngineServer();
    EngineServer(const EngineServer&) = delete;
    EngineServer& operator=(const EngineServer&) = delete;

    int port() const { return port_; }
    std::string url(const std::string& path) const;
    // One JSON line per request received so far.
    std::vector<std::string> requests() const;

private:
    TempDir dir_;
    int port_ = 0;
    int pid_ = -1;
};

}  // namespace tolvan::test
