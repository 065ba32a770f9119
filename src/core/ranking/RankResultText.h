#pragma once
// Rank outcomes written out: tab-separated rows, CSV (RFC 4180) and JSON.
#include <string>
#include <vector>

#include "ranking/RankCheck.h"

namespace tolvan {

// site, phrase, engine, outcome, place, matching address, depth covered,
// detail; the place is empty unless found. Tabs and line breaks inside a
// value become blanks so every outcome stays one row.
std::string rankResultTsvRow(const RankCheckResult& r);
// The header and one CSV record per outcome, CR LF line ends; the time and
// the competitors (separated by blanks) come first and last.
std::string rankResultsCsv(const std::vector<RankCheckResult>& results);
std::string rankResultsJson(const std::vector<RankCheckResult>& results);

}  // namespace tolvan
