#pragma once
// The Submit page's Text and HTML report buttons: pick a file, write the last
// run's report there, confirm, and remind the user that only the last site is
// described when several sites were submitted.
#include <cstddef>

#include "reporting/ReportData.h"

class QWidget;

namespace tolvan {
struct SiteProfile;
struct SubmissionRun;
}  // namespace tolvan

namespace tolvan::app {

// Text button. Clears run.autoReport, asks for the file ("report.txt", asking
// before replacing one), writes the text report, shows "Your Text report has
// been saved" and, when sitesToSubmit > 1, the multi-site note. A cancelled
// dialog writes and shows nothing. A write error is shown in the application's
// error box and ends the handler (no "saved" message, no note). Returns true
// when a report was written.
bool BitBtn13Click(QWidget* parent, SubmissionRun& run, const SiteProfile& site,
                   const ReportSettings& settings, std::size_t sitesToSubmit);

// HTML button: the same with "report.htm" and "Your HTML report has been saved".
bool BitBtn14Click(QWidget* parent, SubmissionRun& run, const SiteProfile& site,
                   const ReportSettings& settings, std::size_t sitesToSubmit);

}  // namespace tolvan::app
