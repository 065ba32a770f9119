#pragma once
// One outcome of a rank check: which engine, for which site and phrase, what
// happened, in a word and in plain words.
#include <string>
#include <vector>

namespace tolvan {

enum class RankOutcome { Found, NotFound, Blocked, Unrecognised, NotAllowed, Failed };

// "found", "not-found", "blocked", "unrecognised", "not-allowed", "failed".
const char* rankOutcomeName(RankOutcome outcome);

struct RankCheckResult {
    std::string time;  // UTC, "YYYY-MM-DDTHH:MM:SSZ"
    std::string site;
    std::string phrase;
    std::string engine;
    RankOutcome outcome = RankOutcome::Failed;
    int place = 0;            // found: 1-based
    std::string address;      // found: the matching result's address
    long depth = 0;           // results looked through
    std::string detail;       // the outcome in plain words
    std::vector<std::string> competitors;  // the first ten result addresses seen
};

}  // namespace tolvan
