#include "reporting/ReportData.h"

#include "profiles/SiteProfile.h"
#include "settings/Settings.h"
#include "submit/SubmissionRun.h"
#include "util/Clock.h"
#include "util/FileNames.h"
#include "util/Errors.h"
#include "util/Files.h"
#include "util/TextCodec.h"

namespace tolvan {

namespace {
// Longest report file name in bytes: the file systems we run on take 255, and
// the atomic writer's temporary file beside it adds a short suffix.
constexpr std::size_t kMaxFileNameBytes = 240;

}  // namespace

ReportSettings reportSettingsFrom(const Settings& settings)
{
    return ReportSettings{settings.oryxname, settings.oryxurl};
}

std::string ReportData::keywordLine() const
{
    std::string line = keywords[0];
    for (std::size_t i = 1; i < keywords.size(); ++i) {
        line += ' ';
        line += keywords[i];
    }
    return line;
}

ReportData makeReportData(const SiteProfile& site, const SubmissionRun& run,
                          const ReportSettings& settings, std::string date)
{
    ReportData data;
    data.nameOnReports = settings.nameOnReports;
    data.urlOnReports = settings.urlOnReports;
    data.date = std::move(date);
    data.startTime = run.startTime;
    data.completedTime = run.completedTime;
    data.successList = run.successList;
    data.failedList = run.failedList;
    data.webPage = site.fullAddress();
    data.title = site.title;
    data.category = site.category;
    data.descriptionText = run.descriptionText;
    data.keywords = site.keywords;
    return data;
}

ReportData makeReportData(const SiteProfile& site, const SubmissionRun& run,
                          const ReportSettings& settings)
{
    return makeReportData(site, run, settings, shortDate(Clock::current().now()));
}

std::string automaticReportPath(const std::string& baseDir, std::string_view title,
                                std::string_view extension)
{
    const std::size_t room = extension.size() < kMaxFileNameBytes ? kMaxFileNameBytes - extension.size() : 1;
    std::string name = cutBytes(safeFileName(title), room);
    if (name.empty())
        name.push_back('_');
    name.append(extension);
    return joinPath(baseDir, "reports/" + name);
}

std::string reportFilePath(const SiteProfile& site, const SubmissionRun& run, const std::string& baseDir,
                           const std::string& chosenFile, std::string_view extension)
{
    if (!run.autoReport) {
        if (chosenFile.empty())
            throw FileError(chosenFile, "No file was chosen for the report");
        return chosenFile;
    }
    ensureDirectory(joinPath(baseDir, "reports"));
    return automaticReportPath(baseDir, site.title, extension);
}

}  // namespace tolvan
