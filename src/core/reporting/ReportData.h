#pragma once
// What the submission reports show, gathered once from the working site, the
// last run and the branding settings, plus where automatic reports go.
#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace tolvan {

struct SiteProfile;
struct SubmissionRun;
struct Settings;

// The branding settings the reports read ("Name on Reports", "URL on Reports").
struct ReportSettings {
    std::string nameOnReports = "Tolvan";
    std::string urlOnReports;
};

// The branding part of the user's settings.
ReportSettings reportSettingsFrom(const Settings& settings);

// Every value a submission report writes, as text.
struct ReportData {
    std::string nameOnReports;
    std::string urlOnReports;
    std::string date;           // short date format
    std::string startTime;      // empty before the first run
    std::string completedTime;  // empty before the first run
    std::vector<std::string> successList;
    std::vector<std::string> failedList;
    std::string webPage;          // protocol + address
    std::string title;
    std::string category;
    std::string descriptionText;  // memo lines, each followed by one blank
    std::array<std::string, 18> keywords;

    std::size_t successCount() const { return successList.size(); }
    std::size_t failureCount() const { return failedList.size(); }
    std::size_t engineTotal() const { return successList.size() + failedList.size(); }
    // key1 .. key18 separated by single blanks, empty fields included.
    std::string keywordLine() const;
};

// The site fields come from the working profile as it is now; the times, the
// lists and the description from the run.
ReportData makeReportData(const SiteProfile& site, const SubmissionRun& run,
                          const ReportSettings& settings, std::string date);

// The same, dated with today's date from the program's clock.
ReportData makeReportData(const SiteProfile& site, const SubmissionRun& run,
                          const ReportSettings& settings);

// Where the run's automatic report of a site goes: <baseDir>/reports/<name><extension>,
// the name being the site title made safe for a file name (and cut so the whole
// name fits the file system's limit). The file is always directly inside reports/.
std::string automaticReportPath(const std::string& baseDir, std::string_view title,
                                std::string_view extension);

// The file a report writer replaces: in the run's automatic mode (run.autoReport)
// the automatic path above, with reports/ created when missing; otherwise the
// file the user chose. Throws FileError when reports/ cannot be created or no
// file was chosen.
std::string reportFilePath(const SiteProfile& site, const SubmissionRun& run, const std::string& baseDir,
                           const std::string& chosenFile, std::string_view extension);

// Shown after a report written by hand when more than one site was in the
// sites-to-submit list (the text has two blanks after "site.").
inline constexpr const char* kMultiSiteNote =
    "If you submitted multiple websites the report will only show the last submitted site.  "
    "To have multiple submission reports, use the auto-report feature on the options tab.";

}  // namespace tolvan
