#pragma once
// Rank outcomes kept in the history store (history.db): every check with its
// place, matching address, depth covered and the first ten results seen, and
// what the history shows back: the rows of a selection, a place-over-time
// series per engine with the gaps marked, the best place and the last change.
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ranking/RankResult.h"

namespace tolvan {

class HistoryStore;

struct RankHistoryFilter {
    std::string site;    // exact, without regard to case; empty: all
    std::string phrase;  // likewise
    std::string since;   // "YYYY-MM-DD" or a full time; empty: all
};

// One check on a chart: a place, or a gap (not found, blocked, ...).
struct RankPoint {
    std::int64_t seconds = 0;  // the time in seconds since 1970 (UTC)
    int place = 0;  // 0: a gap
    RankOutcome outcome = RankOutcome::NotFound;
};

struct RankSummary {
    int best = 0;      // the best place ever (0: never found)
    int latest = 0;    // the place at the latest check (0: a gap)
    int previous = 0;  // the place at the check before it (0: a gap or none)
    bool hasPrevious = false;
    // Places gained since the previous check (positive: moved up); only
    // meaningful when both checks found the site.
    int change() const { return latest > 0 && previous > 0 ? previous - latest : 0; }
};

RankSummary summarizeRank(const std::vector<RankPoint>& points);

// A stored time ("YYYY-MM-DDTHH:MM:SSZ") in seconds since 1970; 0 when it is none.
std::int64_t historySeconds(std::string_view time);

// A long series cut down to at most `most` points for a chart (a chart is a
// few hundred pixels wide): the checks are split into `most` stretches in
// order, and each stretch shows its best place, or a gap when none of its
// checks found the site.
std::vector<RankPoint> thinRankSeries(const std::vector<RankPoint>& points, std::size_t most);

// The results of one check, in their order on the engine's pages.
struct RankCompetitors {
    std::string engine;
    std::string time;
    std::vector<std::string> addresses;
};

class RankHistory {
public:
    explicit RankHistory(HistoryStore& store);

    // Writes the outcomes in one transaction. A store that is off, locked or
    // damaged never stops the check: false, and the store says why.
    bool record(const std::vector<RankCheckResult>& results);

    // The rows of the selection, oldest first, with their competitors.
    std::vector<RankCheckResult> checks(const RankHistoryFilter& filter);
    // Place over time for one site and phrase, per engine, oldest first.
    std::map<std::string, std::vector<RankPoint>, std::less<>> series(const std::string& site, const std::string& phrase);
    // The first ten results of the latest check of the site and phrase that saw any.
    RankCompetitors latestCompetitors(const std::string& site, const std::string& phrase);
    // Every site and phrase checked, in order.
    std::vector<std::pair<std::string, std::string>> selections();

private:
    HistoryStore& store_;
};

// The site as the history keeps it: scheme and host in lower case, and an
// address with a scheme but no path ends in "/" ("HTTP://Www.Example.com" ->
// "http://www.example.com/"); a bare host loses a lone final "/". The path
// keeps its case.
std::string rankHistorySite(std::string_view site);

// "found" -> RankOutcome::Found; an unknown name reads as failed.
RankOutcome rankOutcomeFromName(std::string_view name);

}  // namespace tolvan
