#include "ranking/RankRun.h"

#include <exception>

#include "net/RemoteHosts.h"
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

}  // namespace

RankRun::RankRun(std::string baseDir, RankView& view, EventPump& pump)
    : baseDir_(std::move(baseDir)), view_(view), pump_(pump), http_(pump)
{
    // The page as received; the view gets the same pieces for its rank buffer.
    http_.OnTransfer = [this](std::int64_t, std::string_view piece) {
        page_.append(piece);
        if (!stopped_)
            view_.appendToRankBuffer(piece);
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

bool RankRun::run(const RankRequest& request)
{
    if (running_)
        return false;
    running_ = true;
    stopped_ = false;
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
        if (selected)
            checkEngine(engine, depth);
    }
    return true;
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
    view_.clearRankBuffer();
    // The phrase box may have been edited since the last page.
    const std::string query = rankQueryPhrase(view_.phrase());
    const std::string& host =
        firstPage && engine == RankEngine::Excite ? exciteSearchHost_ : hosts_[index(engine)];
    http_.setURL("http://" + host + rankRequestPath(engine, query, n, firstPage));
    http_.setWinsockLoaded(true);
    try {
        http_.setAction(httpGet);
    } catch (const HttpError& e) {
        if (stopped_)
            return PageResult::Stopped;
        if (engine == RankEngine::Yahoo && yahooHandsOn(e.what()))
            return PageResult::NoYahooMatch;
        view_.setLamp(engine, false);
        view_.setCaption(engine, kRankUnable);
        if (engine == RankEngine::Infoseek)
            view_.showMessage("Error   : " + cleanServerText(e.what()));
        return PageResult::Failed;
    }
    if (stopped_)
        return PageResult::Stopped;
    place = findrank(page_, recipe.marker, site_, recipe.terminator);
    return PageResult::Scanned;
}

void RankRun::checkEngine(RankEngine engine, int depth)
{
    const RankRecipe& recipe = rankRecipe(engine);
    long n = 0;       // results requested so far
    long offset = 0;  // results on the pages before the current one
    int place = 0;    // place on the current page

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
            return;
        case PageResult::Failed:
            // The same page again; an engine that keeps failing is given up.
            if (++failures >= kAttemptsPerPage) {
                view_.setPosition(engine, 0);
                result_[engine].position = 0;
                return;
            }
            continue;
        }
    }

    const int position = place > 0 ? static_cast<int>(place + offset) : 0;
    view_.setCaption(engine, recipe.finalCaption);
    view_.setPosition(engine, position);
    view_.setLamp(engine, false);
    result_[engine].position = position;
}

}  // namespace tolvan
