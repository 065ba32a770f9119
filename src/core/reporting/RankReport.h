#pragma once
// The text and HTML rank reports: the places of the engines ticked on the
// Ranking page, with the site, phrase and depth they were checked for.
#include <string>

#include "reporting/RankData.h"
#include "reporting/ReportData.h"

namespace tolvan {

// The whole text report as bytes, every line ending in CR LF.
std::string rankTextReport(const RankData& rank, const ReportSettings& settings, const std::string& date,
                           const std::string& time);

// The whole HTML report as bytes, every line ending in CR LF. Every value from
// the user or the settings is escaped; the page's own markup is fixed.
std::string rankHtmlReport(const RankData& rank, const ReportSettings& settings, const std::string& date,
                           const std::string& time);

// Write the report, dated now by the program's clock, to the file the user
// chose. The file is replaced as a whole or not at all; FileError (with the
// system's reason) is thrown on failure.
void ranktxt(const std::string& file, const RankData& rank, const ReportSettings& settings);
void wrhtm(const std::string& file, const RankData& rank, const ReportSettings& settings);

// The messages shown once a report has been saved.
inline constexpr const char* kRankTextSaved = "Your Text report has been saved";
inline constexpr const char* kRankHtmlSaved = "Your HTML report has been saved";

}  // namespace tolvan
