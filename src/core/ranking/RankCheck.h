#pragma once
// A rank check over several sites, phrases and engines: the engines described
// in data/rank/ and the Ranking page's eight engines by their names. One
// request at a time, a pause between requests to the same engine, robots.txt
// honoured for HTML engines, and one plain outcome per site, phrase and engine.
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "net/EventPump.h"
#include "net/DeadlinePump.h"
#include "net/HttpClient.h"
#include "ranking/CappedPage.h"
#include "ranking/RankResult.h"
#include "ranking/RobotsRules.h"

namespace tolvan {

struct RankCheckRequest {
    std::vector<std::string> sites;
    std::vector<std::string> phrases;
    std::vector<std::string> engines;  // definition names or the eight engines' names
    long depth = 50;
    std::string timeoutSeconds = "60";  // per request; empty or "0": none
    int minPauseMs = 2000;              // between requests to the same engine
    int maxPauseMs = 5000;
};

// The Options page's time-out text in milliseconds: whole seconds, empty or "0"
// for none; anything else throws the ConvertError of the "000"-suffixed text,
// as the submission run does.
long long rankTimeoutMs(const std::string& seconds);

// The pause between requests to one engine as typed ("3" or "2-5", whole
// seconds, blanks around allowed) in milliseconds; false when it is neither.
bool parseRankPause(const std::string& text, int& minMs, int& maxMs);

// The names the eight engines of the Ranking page go by.
std::vector<std::string> builtInRankEngineNames();
// Every engine a check can use: the definitions in data/rank/, then the eight.
std::vector<std::string> rankEngineNames(const std::string& baseDir);

class RankCheck {
public:
    // apiKey: the key of an engine that needs one ("" when none is stored).
    RankCheck(std::string baseDir, EventPump& pump = EventPump::plain());
    ~RankCheck();
    RankCheck(const RankCheck&) = delete;
    RankCheck& operator=(const RankCheck&) = delete;

    std::function<std::string(const std::string& engine)> apiKey;
    // Each outcome as it is decided.
    std::function<void(const RankCheckResult&)> onResult;
    // Before each site, phrase and engine: how many are done of how many.
    std::function<void(std::size_t done, std::size_t total, const std::string& what)> onProgress;

    // Runs the whole check; returns the outcomes in the order they were made.
    // Stopped checks return what was decided before the stop.
    std::vector<RankCheckResult> run(const RankCheckRequest& request);
    void stop();
    bool stopped() const { return stopped_; }

    // Pauses after a failed request: the first, doubling each time.
    void setFirstRetryPause(int ms) { firstRetryPauseMs_ = ms; }
    static constexpr int kAttempts = 3;
    static constexpr std::size_t kMaxPageBytes = CappedPage::kMaxBytes;

    // "Tolvan/<version> (+<product address>)".
    static std::string userAgent(const std::string& baseDir);

    // The client every request goes through (its proxy is the caller's to set).
    HttpClient& client() { return http_; }

    struct Answer {
        bool ok = false;       // a complete answer with a status line
        int status = 0;
        std::string statusLine, location, retryAfter, body, error;
        bool tooLarge = false, timedOut = false;
    };

private:
    struct EngineState;

    Answer fetchOnce(const std::string& url, const std::vector<std::string>& headers);
    Answer fetch(EngineState& engine, const std::string& url, const std::vector<std::string>& headers,
                 bool retry);
    void politePause(EngineState& engine);
    RankCheckResult checkDefined(EngineState& engine, const std::string& site, const std::string& phrase, long depth);
    RankCheckResult checkBuiltIn(EngineState& engine, const std::string& site, const std::string& phrase, long depth);
    bool robotsAllow(EngineState& engine, const std::string& url, std::string& problem);

    std::string baseDir_;
    EventPump& pump_;
    DeadlinePump timedPump_{pump_, [this] { http_.setAction(httpIdle); }};
    HttpClient http_;
    std::string userAgent_;
    CappedPage body_;
    std::string location_, retryAfter_;
    bool stopped_ = false;
    long long timeoutMs_ = 0;
    int minPauseMs_ = 0, maxPauseMs_ = 0, firstRetryPauseMs_ = 1000;
    std::mt19937 random_{std::random_device{}()};
    std::map<std::string, RobotsRules> robots_;  // per scheme and host, read once a run
};

}  // namespace tolvan
