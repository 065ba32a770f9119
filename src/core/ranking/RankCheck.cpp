#include "ranking/RankCheck.h"

#include <algorithm>
#include <cctype>
#include <ctime>

#include "net/RemoteHosts.h"
#include "ranking/RankDefinition.h"
#include "ranking/RankEngines.h"
#include "ranking/ResultExtractor.h"
#include "ranking/SiteMatch.h"
#include "util/Errors.h"
#include "util/TextCodec.h"

namespace tolvan {

namespace {

std::string utcNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return text;
}

bool sameName(const std::string& a, const std::string& b) { return asciiLower(a) == asciiLower(b); }

// The status line's code: "HTTP/1.1 429 Too Many Requests" -> 429.
int statusCode(const std::string& statusLine)
{
    const std::size_t blank = statusLine.find(' ');
    if (blank == std::string::npos)
        return 0;
    int code = 0;
    for (std::size_t i = blank + 1; i < statusLine.size() && i < blank + 4; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(statusLine[i])))
            return 0;
        code = code * 10 + (statusLine[i] - '0');
    }
    return code;
}

std::string statusWords(const RankCheck::Answer& a)
{
    const std::size_t blank = a.statusLine.find(' ');
    return "HTTP " + (blank == std::string::npos ? std::to_string(a.status) : a.statusLine.substr(blank + 1));
}

// The site as the eight engines' scanner wants it: no scheme, no final '/'.
std::string bareSite(const std::string& site)
{
    std::string bare = site;
    const std::size_t scheme = bare.find("://");
    if (scheme != std::string::npos)
        bare.erase(0, scheme + 3);
    while (!bare.empty() && bare.back() == '/')
        bare.pop_back();
    return bare;
}

}  // namespace

long long rankTimeoutMs(const std::string& seconds)
{
    if (seconds.empty())
        return 0;
    if (seconds.size() > 6 ||
        !std::all_of(seconds.begin(), seconds.end(), [](unsigned char c) { return std::isdigit(c); }))
        throw ConvertError(seconds + "000");
    return std::stoll(seconds) * 1000;
}

bool parseRankPause(const std::string& text, int& minMs, int& maxMs)
{
    auto seconds = [](std::string part, long& value) {
        const auto first = part.find_first_not_of(' ');
        if (first == std::string::npos)
            return false;
        part = part.substr(first, part.find_last_not_of(' ') - first + 1);
        if (part.empty() || part.size() > 5 ||
            !std::all_of(part.begin(), part.end(), [](unsigned char c) { return std::isdigit(c); }))
            return false;
        value = std::stol(part);
        return true;
    };
    const std::size_t dash = text.find('-');
    long low = 0, high = 0;
    if (!seconds(text.substr(0, dash), low) || !seconds(dash == std::string::npos ? text : text.substr(dash + 1), high) ||
        high < low)
        return false;
    minMs = static_cast<int>(low * 1000);
    maxMs = static_cast<int>(high * 1000);
    return true;
}

const char* rankOutcomeName(RankOutcome outcome)
{
    switch (outcome) {
    case RankOutcome::Found: return "found";
    case RankOutcome::NotFound: return "not-found";
    case RankOutcome::Blocked: return "blocked";
    case RankOutcome::Unrecognised: return "unrecognised";
    case RankOutcome::NotAllowed: return "not-allowed";
    case RankOutcome::Failed: break;
    }
    return "failed";
}

std::vector<std::string> builtInRankEngineNames()
{
    std::vector<std::string> names;
    for (RankEngine engine : kRankEngines)
        names.emplace_back(rankRecipe(engine).hostKey);
    return names;
}

std::vector<std::string> rankEngineNames(const std::string& baseDir)
{
    std::vector<std::string> names = rankDefinitionNames(baseDir);
    for (std::string& name : builtInRankEngineNames())
        names.push_back(std::move(name));
    return names;
}

std::string RankCheck::userAgent(const std::string& baseDir)
{
    return std::string("Tolvan/") + TOLVAN_VERSION + " (+" + RemoteHosts(baseDir).makerProduct() + ")";
}

struct RankCheck::EngineState {
    std::string name;
    bool builtIn = false;
    RankEngine recipe = RankEngine::Infoseek;
    RankDefinition def;
    std::unique_ptr<ResultExtractor> extractor;
    std::string host, searchHost, key;
    std::string problem;      // why the engine cannot be asked at all
    std::string blockDetail;  // set once the engine refused
    bool asked = false;
    std::chrono::steady_clock::time_point lastRequest;
};

RankCheck::RankCheck(std::string baseDir, EventPump& pump)
    : baseDir_(std::move(baseDir)), pump_(pump), http_(timedPump_)
{
    http_.OnTransfer = [this](std::int64_t, std::string_view piece) {
        if (!body_.tooLarge() && !body_.append(piece))
            http_.setAction(httpIdle);
    };
    http_.OnHeader = [this](const std::string& field, const std::string& value) {
        const std::string name = asciiLower(field);
        if (name == "location")
            location_ = value;
        else if (name == "retry-after")
            retryAfter_ = value;
    };
}

RankCheck::~RankCheck() { http_.setAction(httpIdle); }

void RankCheck::stop()
{
    stopped_ = true;
    http_.setAction(httpIdle);
}

void RankCheck::politePause(EngineState& engine)
{
    if (engine.asked) {
        std::uniform_int_distribution<int> spread(minPauseMs_, std::max(minPauseMs_, maxPauseMs_));
        const auto due = engine.lastRequest + std::chrono::milliseconds(spread(random_));
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(due - std::chrono::steady_clock::now()).count();
        if (left > 0)
            pump_.pauseUnless(static_cast<int>(left), stopped_);
    }
    engine.asked = true;
    engine.lastRequest = std::chrono::steady_clock::now();
}

RankCheck::Answer RankCheck::fetchOnce(const std::string& url, const std::vector<std::string>& headers)
{
    Answer answer;
    body_.clear();
    location_.clear();
    retryAfter_.clear();
    timedPump_.arm(timeoutMs_);
    http_.setAction(httpResetHeaders);
    http_.setUserAgent(userAgent_);
    http_.extraHeaders() = headers;
    try {
        http_.setURL(url);
        http_.setAction(httpGet);
        answer.ok = true;
    } catch (const HttpError& e) {
        answer.error = e.what();
    }
    timedPump_.disarm();
    answer.statusLine = http_.StatusLine();
    answer.status = statusCode(answer.statusLine);
    answer.location = location_;
    answer.retryAfter = retryAfter_;
    answer.tooLarge = body_.tooLarge();
    answer.timedOut = timedPump_.expired();
    if (answer.tooLarge) {
        answer.ok = false;
        answer.error = "the answer is larger than 32 MB";
    } else if (answer.timedOut) {
        answer.ok = false;
        answer.error = "no answer within " + std::to_string(timeoutMs_ / 1000) + " seconds";
    } else if (answer.ok && answer.statusLine.empty()) {
        answer.ok = false;
        answer.error = stopped_ ? "stopped" : "the connection ended without an answer";
    }
    answer.body = std::move(body_.text());
    body_.clear();
    return answer;
}

RankCheck::Answer RankCheck::fetch(EngineState& engine, const std::string& url, const std::vector<std::string>& headers,
                                   bool retry)
{
    Answer answer;
    for (int attempt = 1;; ++attempt) {
        politePause(engine);
        if (stopped_)
            return answer;
        answer = fetchOnce(url, headers);
        // Only a failure that may pass is tried again: no connection, no
        // answer in time, a server error. A refusal is never pressed.
        const bool passing = !answer.ok && !answer.tooLarge && !stopped_ &&
                             (answer.timedOut || answer.status == 0 || answer.status >= 500) &&
                             std::find(engine.def.refusalStatuses.begin(), engine.def.refusalStatuses.end(),
                                       answer.status) == engine.def.refusalStatuses.end();
        if (!retry || !passing || attempt >= kAttempts)
            return answer;
        if (!pump_.pauseUnless(firstRetryPauseMs_ << (attempt - 1), stopped_))
            return answer;
    }
}

bool RankCheck::robotsAllow(EngineState& engine, const std::string& url, std::string& problem)
{
    const AddressParts parts = splitAddress(url);
    const std::string origin = parts.scheme + "://" + parts.host + (parts.port.empty() ? "" : ":" + parts.port);
    auto known = robots_.find(origin);
    if (known == robots_.end()) {
        const Answer answer = fetch(engine, origin + "/robots.txt", {}, true);
        if (stopped_)
            return false;
        if (answer.ok)
            known = robots_.emplace(origin, RobotsRules(answer.body, "Tolvan")).first;
        else if (answer.status >= 400 && answer.status < 500)
            known = robots_.emplace(origin, RobotsRules()).first;  // no robots.txt: no rules
        else {
            problem = "the engine's robots.txt could not be read (" + answer.error + ")";
            return false;
        }
    }
    return known->second.allowed(parts.path);
}

std::vector<RankCheckResult> RankCheck::run(const RankCheckRequest& request)
{
    timeoutMs_ = rankTimeoutMs(request.timeoutSeconds);
    minPauseMs_ = std::max(0, request.minPauseMs);
    maxPauseMs_ = std::max(minPauseMs_, request.maxPauseMs);
    stopped_ = false;
    robots_.clear();
    userAgent_ = userAgent(baseDir_);
    const long depth = std::max(1L, request.depth);

    const RemoteHosts hosts(baseDir_);
    const std::vector<std::string> builtIns = builtInRankEngineNames();
    std::vector<std::unique_ptr<EngineState>> engines;
    for (const std::string& name : request.engines) {
        auto state = std::make_unique<EngineState>();
        state->name = name;
        const auto builtIn = std::find_if(builtIns.begin(), builtIns.end(),
                                          [&](const std::string& b) { return sameName(b, name); });
        if (builtIn != builtIns.end()) {
            state->builtIn = true;
            state->recipe = kRankEngines[builtIn - builtIns.begin()];
            state->name = *builtIn;
            state->host = hosts.rankHost(rankRecipe(state->recipe).hostKey);
            state->searchHost = hosts.rankHost(rankRecipe(state->recipe).firstHostKey);
            state->def.refusalStatuses = {};
        } else {
            try {
                state->def = loadRankDefinition(baseDir_, name);
                state->extractor = std::make_unique<ResultExtractor>(state->def);
                state->host = hosts.value("RankEngines", name);
                if (state->host.empty())
                    state->problem = "data/hosts.tlx names no host for " + name + " in its [RankEngines] section";
                else if (state->def.needsKey) {
                    state->key = apiKey ? apiKey(name) : std::string();
                    if (state->key.empty())
                        state->problem = "no API key is stored for " + name +
                                         "; enter it in the rank section of the Options page";
                }
            } catch (const TolvanError& e) {
                state->problem = e.what();
            }
        }
        engines.push_back(std::move(state));
    }

    std::vector<RankCheckResult> results;
    const std::size_t total = request.sites.size() * request.phrases.size() * engines.size();
    std::size_t done = 0;
    for (const std::string& site : request.sites) {
        for (const std::string& phrase : request.phrases) {
            for (auto& engine : engines) {
                if (stopped_)
                    return results;
                if (onProgress)
                    onProgress(done, total, engine->name + ": " + phrase);
                RankCheckResult result = engine->builtIn ? checkBuiltIn(*engine, site, phrase, depth)
                                                         : checkDefined(*engine, site, phrase, depth);
                if (stopped_)
                    return results;  // a check cut short has no outcome
                result.time = utcNow();
                result.site = site;
                result.phrase = phrase;
                result.engine = engine->name;
                ++done;
                if (onResult)
                    onResult(result);
                results.push_back(std::move(result));
            }
        }
    }
    if (onProgress)
        onProgress(done, total, "");
    return results;
}

RankCheckResult RankCheck::checkDefined(EngineState& engine, const std::string& site, const std::string& phrase,
                                        long depth)
{
    RankCheckResult result;
    if (!engine.problem.empty()) {
        result.detail = "failed: " + engine.problem;
        return result;
    }
    if (!engine.blockDetail.empty()) {
        result.outcome = RankOutcome::Blocked;
        result.detail = engine.blockDetail + "; not asked again in this run";
        return result;
    }
    const RankDefinition& def = engine.def;
    const SiteMatcher matcher(site);
    std::vector<std::string> headers;
    for (const std::string& header : def.headers)
        headers.push_back(rankHeaderLine(header, engine.key));
    const long pagesWanted = std::min<long>(def.maxPages, (depth + def.perPage - 1) / def.perPage);
    long covered = 0;
    bool served = true;  // the engine had as many results as asked for
    for (int page = 0; page < pagesWanted; ++page) {
        const std::string url = rankPageAddress(def, engine.host, phrase, page, engine.key);
        if (!def.json) {
            std::string problem;
            const bool allowed = robotsAllow(engine, url, problem);
            if (stopped_)
                return result;
            if (!problem.empty()) {
                result.detail = "failed: " + problem;
                return result;
            }
            if (!allowed) {
                if (page > 0) {
                    served = false;
                    break;
                }
                result.outcome = RankOutcome::NotAllowed;
                result.detail = "not allowed by the engine's robots.txt";
                return result;
            }
        }
        const Answer answer = fetch(engine, url, headers, true);
        if (stopped_)
            return result;

        // Refusal signs first: a refused engine is left alone for the rest of the run.
        std::string refusal;
        if (std::find(def.refusalStatuses.begin(), def.refusalStatuses.end(), answer.status) !=
            def.refusalStatuses.end())
            refusal = "the engine refused to answer (" + statusWords(answer) + ")";
        if (refusal.empty() && answer.status >= 300 && answer.status < 400) {
            for (const std::string& sign : def.refusalRedirects)
                if (answer.location.find(sign) != std::string::npos)
                    refusal = "the engine sent a challenge page instead of results (" + answer.location + ")";
        }
        if (refusal.empty() && answer.ok) {
            const std::string body = asciiLower(answer.body);
            for (const std::string& marker : def.refusalMarkers)
                if (!marker.empty() && body.find(asciiLower(marker)) != std::string::npos) {
                    refusal = "the engine sent a challenge page instead of results (it says \"" + marker + "\")";
                    break;
                }
        }
        if (!refusal.empty()) {
            if (!answer.retryAfter.empty())
                refusal += "; it asks to wait " + answer.retryAfter +
                           (std::all_of(answer.retryAfter.begin(), answer.retryAfter.end(),
                                        [](unsigned char c) { return std::isdigit(c); })
                                ? " seconds"
                                : "");
            engine.blockDetail = refusal;
            result.outcome = RankOutcome::Blocked;
            result.detail = "blocked: " + refusal;
            result.depth = covered;
            return result;
        }
        if (!answer.ok) {
            result.outcome = RankOutcome::Failed;
            result.depth = covered;
            result.detail = "failed: " + (answer.error.empty() ? statusWords(answer) : answer.error);
            if (answer.status >= 300 && answer.status < 400 && !answer.location.empty())
                result.detail += " (redirected to " + answer.location + ")";
            if (page > 0)
                result.detail += "; the first " + std::to_string(covered) + " results did not hold the site";
            return result;
        }

        const std::vector<std::string> found = engine.extractor->extract(answer.body);
        if (found.empty()) {
            if (page == 0) {
                result.outcome = RankOutcome::Unrecognised;
                result.detail = "page not recognised: no result could be found in the answer; the engine's page "
                                "format may have changed";
                return result;
            }
            served = false;
            break;
        }
        for (const std::string& address : found) {
            ++covered;
            if (result.competitors.size() < 10)
                result.competitors.push_back(address);
            if (result.place == 0 && matcher.matches(address)) {
                result.place = static_cast<int>(covered);
                result.address = address;
            }
        }
        if (result.place > 0)
            break;
        if (static_cast<long>(found.size()) < def.perPage) {
            served = false;
            break;
        }
        if (covered >= depth)
            break;
    }
    result.depth = covered;
    if (result.place > 0) {
        result.outcome = RankOutcome::Found;
        result.detail = "found at place " + std::to_string(result.place) + ": " + result.address;
        return result;
    }
    result.outcome = RankOutcome::NotFound;
    result.detail = "not found in the first " + std::to_string(covered) + " results";
    if (covered < depth) {
        if (!served)
            result.detail += " (the engine served no more results for this phrase)";
        else
            result.detail += " (the engine serves at most " + std::to_string(def.maxResults()) + " results)";
    }
    return result;
}

RankCheckResult RankCheck::checkBuiltIn(EngineState& engine, const std::string& site, const std::string& phrase,
                                        long depth)
{
    RankCheckResult result;
    const RankRecipe& recipe = rankRecipe(engine.recipe);
    if (engine.host.empty()) {
        result.detail = std::string("failed: data/hosts.tlx names no host for ") + recipe.hostKey;
        return result;
    }
    const std::string bare = bareSite(site);
    const std::string query = rankQueryPhrase(plusForBlanks(phrase));
    long n = 0, offset = 0;
    bool anyMarker = false;
    auto page = [&](bool first) -> bool {  // false: the check is decided
        const std::string& host =
            first && engine.recipe == RankEngine::Excite && !engine.searchHost.empty() ? engine.searchHost : engine.host;
        const Answer answer =
            fetch(engine, "http://" + host + rankRequestPath(engine.recipe, query, n, first), {}, true);
        if (stopped_)
            return false;
        if (!answer.ok) {
            if (engine.recipe == RankEngine::Yahoo && answer.status == 302) {
                result.outcome = RankOutcome::NotFound;
                result.depth = n;
                result.detail = "not found: Yahoo has no match for this phrase and hands the search on (see Alta Vista)";
                return false;
            }
            result.outcome = RankOutcome::Failed;
            result.depth = n;
            result.detail = "failed: " + (answer.error.empty() ? statusWords(answer) : answer.error);
            return false;
        }
        anyMarker = anyMarker || answer.body.find(recipe.marker) != std::string::npos;
        const int place = findrank(answer.body, recipe.marker, bare, recipe.terminator);
        const std::vector<std::string> seen = rankResultAddresses(
            answer.body, recipe.marker, recipe.terminator, std::max<std::size_t>(10, static_cast<std::size_t>(place)));
        for (std::size_t i = 0; i < seen.size() && result.competitors.size() < 10; ++i)
            result.competitors.push_back(seen[i]);
        n += recipe.pageSize;
        if (place > 0) {
            result.outcome = RankOutcome::Found;
            result.place = static_cast<int>(place + offset);
            result.depth = n;
            if (static_cast<std::size_t>(place) <= seen.size())
                result.address = seen[static_cast<std::size_t>(place) - 1];
            result.detail = "found at place " + std::to_string(result.place) +
                            (result.address.empty() ? "" : ": " + result.address);
            return false;
        }
        offset += recipe.pageSize;
        return true;
    };
    if (recipe.separateFirstPage && !page(true))
        return result;
    while (n < depth)
        if (!page(false))
            return result;
    if (!anyMarker) {
        result.outcome = RankOutcome::Unrecognised;
        result.depth = 0;
        result.detail = "page not recognised: no result could be found in the answer; the engine's page format may "
                        "have changed";
        return result;
    }
    result.outcome = RankOutcome::NotFound;
    result.depth = n;
    result.detail = "not found in the first " + std::to_string(n) + " results";
    return result;
}

}  // namespace tolvan
