#include "ranking/RankRun.h"

#include <algorithm>
#include <ctime>
#include <exception>

#include "history/HistoryStore.h"
#include "net/RemoteHosts.h"
#include "ranking/RankCheck.h"
#include "ranking/RankEngines.h"
#include "util/ServerText.h"

namespace tolvan {

namespace {

std::size_t index(RankEngine engine) { return static_cast<std::size_t>(engine); }

// Yahoo's answer when its directory has no match and it hands the search on.
bool yahooHandsOn(const std::string& message)
{
    return message == "151: 302 Found" || message == "151: 302 Moved Temporarily" ||
           message == "151: 302 Document Found";
}

const char* const kTimedOut = "10060: Connection timed out";
const char* const kTooLarge = "The result page is larger than 32 MB; it was not scanned.";

}  // namespace

RankRun::RankRun(std::string baseDir, RankView& view, EventPump& pump)
    : baseDir_(std::move(baseDir)), view_(view), pump_(pump), http_(timedPump_)
{
    // The page is kept here; the view gets it once the page is over.
    http_.OnTransfer = [this](std::int64_t, std::string_view piece) {
        if (!page_.tooLarge() && !page_.append(piece))
            http_.setAction(httpIdle);
    };
}

RankRun::~RankRun() { http_.setAction(httpIdle); }

void RankRun::setProxy(const std::string& server, std::uint16_t port)
{
    http_.setProxyServer(server);
    http_.setProxyPort(port);
}

void RankRun::stop()
{
    if (!running_)
        return;
    stopped_ = true;
    http_.setAction(httpIdle);
}

void RankRun::cancel()
{
    if (!running_)
        return;
    cancelled_ = true;
    stop();
}

bool RankRun::run(const RankRequest& request)
{
    if (running_)
        return false;
    timeoutMs_ = rankTimeoutMs(request.timeoutSeconds);
    running_ = true;
    stopped_ = false;
    cancelled_ = false;
    currentEngine_ = -1;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{running_};

    const int depth = rankDepth(request.depth);
    site_ = request.site;
    const std::string phrase = plusForBlanks(request.phrase);
    view_.setPhrase(phrase);
    result_.site = site_;
    result_.phrase = phrase;
    result_.depth = request.depth;

    const RemoteHosts hosts(baseDir_);
    for (RankEngine engine : kRankEngines)
        hosts_[index(engine)] = hosts.rankHost(rankRecipe(engine).hostKey);
    exciteSearchHost_ = hosts.rankHost(rankRecipe(RankEngine::Excite).firstHostKey);

    for (RankEngine engine : kRankEngines) {
        if (stopped_)
            break;
        // Ticking or unticking during the run counts when the engine's turn comes.
        const bool selected = view_.engineSelected(engine);
        result_[engine].selected = selected;
        if (selected) {
            currentEngine_ = static_cast<int>(engine);
            checkEngine(engine, depth);
        }
    }
    if (cancelled_ && currentEngine_ >= 0) {
        const auto engine = static_cast<RankEngine>(currentEngine_);
        view_.setLamp(engine, false);
        view_.setCaption(engine, kRankStopped);
    }
    return true;
}

void RankRun::report(RankEngine engine, RankOutcome outcome, int place, long depth, std::string detail)
{
    if (!onOutcome)
        return;
    RankCheckResult r;
    r.time = historyTime(std::time(nullptr));
    r.site = result_.site;
    // The phrase as it was asked for (the box may have changed meanwhile), in words.
    r.phrase = lastPhrase_;
    std::replace(r.phrase.begin(), r.phrase.end(), '+', ' ');
    r.engine = rankRecipe(engine).hostKey;
    r.outcome = outcome;
    r.place = place;
    r.depth = depth;
    if (outcome == RankOutcome::Found)
        r.address = matchAddress_;
    r.detail = std::move(detail);
    r.competitors = competitors_;
    onOutcome(r);
}

RankRun::PageResult RankRun::failPage(RankEngine engine, const std::string& message)
{
    lastFailure_ = message;
    view_.setLamp(engine, false);
    view_.setCaption(engine, kRankUnable);
    if (engine == RankEngine::Infoseek)
        view_.showMessage("Error   : " + cleanServerText(message));
    return PageResult::Failed;
}

RankRun::PageResult RankRun::fetchPage(RankEngine engine, long n, bool firstPage, int& place)
{
    const RankRecipe& recipe = rankRecipe(engine);
    view_.setLamp(engine, true);
    view_.setCaption(engine, checkingCaption(engine, n, firstPage));
    http_.setAction(httpResetHeaders);
    pump_.processEvents();
    if (stopped_)
        return PageResult::Stopped;
    page_.clear();
    // The phrase box may have been edited since the last page.
    lastPhrase_ = view_.phrase();
    const std::string query = rankQueryPhrase(lastPhrase_);
    const std::string& host =
        firstPage && engine == RankEngine::Excite ? exciteSearchHost_ : hosts_[index(engine)];
    http_.setURL("http://" + host + rankRequestPath(engine, query, n, firstPage));
    http_.setWinsockLoaded(true);
    timedPump_.arm(timeoutMs_);
    struct Disarm {
        DeadlinePump& pump;
        ~Disarm() { pump.disarm(); }
    } disarm{timedPump_};
    std::string failure;
    bool yahooMatchless = false;
    try {
        http_.setAction(httpGet);
    } catch (const HttpError& e) {
        failure = e.what();
        yahooMatchless = engine == RankEngine::Yahoo && yahooHandsOn(failure);
    }
    timedPump_.disarm();
    if (stopped_)
        return PageResult::Stopped;
    // An interrupted request may end quietly: the time-out and the size cap
    // are told by their own flags.
    if (page_.tooLarge()) {
        page_.clear();
        view_.setRankBuffer(page_.text());
        return failPage(engine, kTooLarge);
    }
    view_.setRankBuffer(page_.text());
    if (timedPump_.expired())
        return failPage(engine, kTimedOut);
    if (yahooMatchless)
        return PageResult::NoYahooMatch;
    if (!failure.empty())
        return failPage(engine, failure);
    markerSeen_ = markerSeen_ || page_.text().find(recipe.marker) != std::string::npos;
    place = findrank(page_.text(), recipe.marker, site_, recipe.terminator);
    // The results seen, for the history: the first ten of the engine, and the
    // address that matched.
    const std::size_t wanted = place > 0 ? static_cast<std::size_t>(place) : kCompetitors;
    const std::vector<std::string> addresses = rankResultAddresses(page_.text(), recipe.marker, recipe.terminator,
                                                                   std::max(wanted, kCompetitors));
    for (std::size_t i = 0; i < addresses.size() && competitors_.size() < kCompetitors; ++i)
        competitors_.push_back(addresses[i]);
    if (place > 0 && static_cast<std::size_t>(place) <= addresses.size())
        matchAddress_ = addresses[static_cast<std::size_t>(place) - 1];
    return PageResult::Scanned;
}

void RankRun::checkEngine(RankEngine engine, int depth)
{
    const RankRecipe& recipe = rankRecipe(engine);
    long n = 0;       // results requested so far
    long offset = 0;  // results on the pages before the current one
    int place = 0;    // place on the current page
    markerSeen_ = false;
    competitors_.clear();
    matchAddress_.clear();

    auto scanned = [&] {
        n += recipe.pageSize;
        if (place == 0)
            offset += recipe.pageSize;
    };

    if (recipe.separateFirstPage) {
        // Requested once whatever the depth; a failure goes on with the further pages.
        PageResult result = PageResult::Failed;
        try {
            result = fetchPage(engine, n, true, place);
        } catch (const std::exception&) {
            if (stopped_)
                return;
            view_.setLamp(engine, false);
            view_.setCaption(engine, kRankUnable);
        }
        if (result == PageResult::Stopped)
            return;
        if (result == PageResult::Scanned)
            scanned();
    }

    int failures = 0;
    while (place == 0 && n < depth) {
        switch (fetchPage(engine, n, false, place)) {
        case PageResult::Stopped:
            return;
        case PageResult::Scanned:
            failures = 0;
            scanned();
            continue;
        case PageResult::NoYahooMatch:
            view_.setLamp(engine, false);
            view_.setCaption(engine, kRankYahooNoMatch);
            view_.setPosition(engine, 0);
            result_[engine].position = 0;
            report(engine, RankOutcome::NotFound, 0, n,
                   "not found: Yahoo has no match for this phrase and hands the search on (see Alta Vista)");
            return;
        case PageResult::Failed:
            // The same page again after a pause that grows; an engine that
            // keeps failing is given up.
            if (++failures >= kAttemptsPerPage) {
                view_.setPosition(engine, 0);
                result_[engine].position = 0;
                report(engine, RankOutcome::Failed, 0, n, "failed: " + lastFailure_);
                return;
            }
            if (!pump_.pauseUnless(firstRetryPauseMs_ << (failures - 1), stopped_))
                return;
            continue;
        }
    }

    const int position = place > 0 ? static_cast<int>(place + offset) : 0;
    view_.setCaption(engine, recipe.finalCaption);
    view_.setPosition(engine, position);
    view_.setLamp(engine, false);
    result_[engine].position = position;
    if (position > 0)
        report(engine, RankOutcome::Found, position, n,
               "found at place " + std::to_string(position) + (matchAddress_.empty() ? "" : ": " + matchAddress_));
    else if (n > 0 && !markerSeen_)
        report(engine, RankOutcome::Unrecognised, 0, 0,
               "page not recognised: no result could be found in the answer; the engine's page format may have "
               "changed");
    else
        report(engine, RankOutcome::NotFound, 0, n, "not found in the first " + std::to_string(n) + " results");
}

}  // namespace tolvan
