#pragma once
// One press of Rank Site: for every ticked engine, fetch its result pages one
// after another, look for the site on each and show the place found.
//
// The run waits through the event pump, so the window stays live: the user may
// edit the phrase (read again for every page) or tick and untick engines (read
// when an engine's turn comes) while it goes on.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "net/EventPump.h"
#include "net/DeadlinePump.h"
#include "net/HttpClient.h"
#include "ranking/CappedPage.h"
#include "ranking/RankResult.h"
#include "reporting/RankData.h"

namespace tolvan {

// What the run shows, and the live inputs it reads while it goes on.
class RankView {
public:
    virtual ~RankView() = default;

    // The phrase box's current text, and writing it back.
    virtual std::string phrase() = 0;
    virtual void setPhrase(const std::string& phrase) = 0;
    // Whether the engine's tick box is ticked now.
    virtual bool engineSelected(RankEngine engine) = 0;

    virtual void setLamp(RankEngine engine, bool lit) = 0;
    virtual void setCaption(RankEngine engine, const std::string& caption) = 0;
    // The engine's number panel; 0 means not found and shows blank.
    virtual void setPosition(RankEngine engine, int position) = 0;

    // The rank buffer: the text of the page last fetched, given once when the
    // page is over (the page itself is kept in the run, so a long page costs
    // the window one assignment instead of one insertion per piece).
    virtual void setRankBuffer(std::string_view page) = 0;

    // A modal message box.
    virtual void showMessage(const std::string& text) = 0;
};

// The typed inputs of a run.
struct RankRequest {
    std::string site;
    std::string phrase;
    std::string depth = "50";  // the depth box's text
    // The Options page's "Time Out" text in seconds; empty or "0": none.
    std::string timeoutSeconds;
};

class RankRun {
public:
    // baseDir holds data/hosts.tlx, read at the start of every run.
    RankRun(std::string baseDir, RankView& view, EventPump& pump = EventPump::plain());
    ~RankRun();
    RankRun(const RankRun&) = delete;
    RankRun& operator=(const RankRun&) = delete;

    // The directory whose data/hosts.tlx names the engines' hosts.
    void setBaseDir(std::string baseDir) { baseDir_ = std::move(baseDir); }

    // The ranking client. Its proxy is given once, when the program starts.
    HttpClient& HTTP2() { return http_; }
    void setProxy(const std::string& server, std::uint16_t port);

    // Performs the run; returns when the last ticked engine is done. A press
    // while a run is going on is ignored (returns false). Errors other than a
    // failed page request are thrown.
    bool run(const RankRequest& request);
    bool running() const { return running_; }

    // Abandons the request in progress and ends the run without touching the
    // display again (the window is closing).
    void stop();
    // The user's Stop: abandons the request in progress, puts the lamp of the
    // engine being checked out with the caption "Stopped" and ends the run.
    void cancel();

    // The last run: site, phrase (with '+'), depth text, and for every engine
    // whether it was checked and the place shown.
    const RankData& result() const { return result_; }
    // The text of the page last fetched, as received.
    const std::string& pageText() const { return page_.text(); }

    // Each engine's outcome as it is decided (not for an engine cut short by a
    // stop), for the history.
    std::function<void(const RankCheckResult&)> onOutcome;

    // A page that fails this many times in a row gives the engine up.
    static constexpr int kAttemptsPerPage = 3;
    // A longer page is a failure: an endless answer cannot eat the memory.
    static constexpr std::size_t kMaxPageBytes = CappedPage::kMaxBytes;
    // The pause before asking for a failed page again; doubles at every try.
    void setFirstRetryPause(int ms) { firstRetryPauseMs_ = ms; }

private:
    enum class PageResult { Scanned, Failed, NoYahooMatch, Stopped };

    void checkEngine(RankEngine engine, int depth);
    void report(RankEngine engine, RankOutcome outcome, int place, long depth, std::string detail);
    PageResult fetchPage(RankEngine engine, long n, bool firstPage, int& place);
    PageResult failPage(RankEngine engine, const std::string& message);

    std::string baseDir_;
    RankView& view_;
    EventPump& pump_;
    // Passes the waits on to the front end's pump and ends a request that
    // outlives the time-out.
    DeadlinePump timedPump_{pump_, [this] { http_.setAction(httpIdle); }};
    HttpClient http_;
    std::string hosts_[kRankEngineCount];
    std::string exciteSearchHost_;
    std::string site_;
    CappedPage page_;
    RankData result_;
    bool running_ = false;
    bool stopped_ = false;
    bool cancelled_ = false;
    long long timeoutMs_ = 0;
    int firstRetryPauseMs_ = 1000;
    int currentEngine_ = -1;  // the engine whose lamp is lit, for cancel()
    // What the history learns of the engine being checked.
    static constexpr std::size_t kCompetitors = 10;
    std::string lastFailure_;
    std::string lastPhrase_;
    std::string matchAddress_;
    std::vector<std::string> competitors_;
    bool markerSeen_ = false;  // some page of the engine had a result marker
};

}  // namespace tolvan
