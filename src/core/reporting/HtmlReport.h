#pragma once
// The HTML submission report: the text report's content as one web page.
#include <string>
#include <string_view>

#include "reporting/ReportData.h"

namespace tolvan {

// Text made safe for element content and quoted attribute values: & < > " '
// become references, and so does every character beyond ASCII, so the page
// (which declares no character set) shows the same text in every browser.
// Text that is not valid UTF-8 is taken as Windows-1252.
std::string htmlEscape(std::string_view text);

// The whole page as bytes, every line ending in CR LF. Every value from the
// user, the settings or a server is escaped; the page's own markup is fixed.
std::string htmlReport(const ReportData& data);

// Writes the HTML report; the same rules as savetext, with ".htm" for the
// automatic file. Returns the path written; throws FileError on failure.
std::string savehtm(const SiteProfile& site, const SubmissionRun& run, const ReportSettings& settings,
                    const std::string& baseDir, const std::string& chosenFile = {});

}  // namespace tolvan
