#pragma once
// The plain-text submission report of the last site a run submitted.
#include <string>

#include "reporting/ReportData.h"

namespace tolvan {

// The whole report as bytes, every line ending in CR LF.
std::string textReport(const ReportData& data);

// Writes the text report. With run.autoReport set (the run calls it after a
// site) the file is <baseDir>/reports/<safe title>.txt, reports/ is created when
// missing and an older report is replaced; otherwise it is `chosenFile`, the
// file the user picked. The file is replaced as a whole or not at all. Returns
// the path written; throws FileError with the system's reason on failure.
std::string savetext(const SiteProfile& site, const SubmissionRun& run, const ReportSettings& settings,
                     const std::string& baseDir, const std::string& chosenFile = {});

}  // namespace tolvan
