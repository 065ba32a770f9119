#pragma once
// A scripted result-page server (tests/support/rank_server.py) on 127.0.0.1,
// and a base directory whose hosts file sends every ranking host to it.
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "TestSupport.h"

namespace tolvan::test {

class RankServer {
public:
    // script: the JSON list of rules described in rank_server.py.
    explicit RankServer(const std::string& scriptJson)
    {
        dir_.write("script.json", scriptJson);
        dir_.write("requests.log", "");
        port_ = freeLoopbackPort();
        process_ = std::make_unique<ChildProcess>(std::vector<std::string>{
            python3(), supportScript("rank_server.py"), std::to_string(port_), dir_.file("script.json"),
            dir_.file("requests.log")});
        process_->waitUntilAccepting(port_);
    }

    int port() const { return port_; }
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }

    // The request targets received so far, in order.
    std::vector<std::string> targets() const
    {
        std::vector<std::string> lines;
        std::ifstream in(dir_.file("requests.log"));
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    // The headers of each request so far, one JSON object per request.
    std::vector<std::string> headerLines() const
    {
        std::vector<std::string> lines;
        std::ifstream in(dir_.file("requests.log") + ".headers");
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

private:
    TempDir dir_;
    int port_ = 0;
    std::unique_ptr<ChildProcess> process_;
};

// data/hosts.tlx under `base` with every ranking host set to `host`; the
// first-page host of Excite ("Excite Search") may differ.
inline void writeRankHosts(const TempDir& base, const std::string& host, const std::string& exciteSearchHost = {})
{
    const std::string search = exciteSearchHost.empty() ? host : exciteSearchHost;
    base.write("data/hosts.tlx", "[Rank]\r\nInfoseek=" + host + "\r\nYahoo=" + host + "\r\nAltaVista=" + host +
                                     "\r\nAOL NetFind=" + host + "\r\nLycos=" + host + "\r\nExcite=" + host +
                                     "\r\nExcite Search=" + search + "\r\nHotBot=" + host +
                                     "\r\nWebCrawler=" + host + "\r\n");
}

}  // namespace tolvan::test
