#include "reporting/TextReport.h"

#include "profiles/SiteProfile.h"
#include "submit/SubmissionRun.h"
#include "util/CrLfText.h"
#include "util/Files.h"

namespace tolvan {

namespace {
const std::string kRuleEquals(65, '=');
const std::string kRuleHyphens(65, '-');
}  // namespace

std::string textReport(const ReportData& d)
{
    CrLfText out;
    out.line(kRuleEquals);
    out.line(d.nameOnReports + " Submission Report");
    out.line(kRuleEquals);
    out.line("Date                 : " + d.date);
    out.line("Submission Started   : " + d.startTime);
    out.line("Submission Completed : " + d.completedTime);
    out.line("Engine Total         : " + std::to_string(d.engineTotal()));
    out.line("Success Count        : " + std::to_string(d.successCount()));
    out.line("Faliure Count        : " + std::to_string(d.failureCount()));
    out.line(kRuleEquals);
    out.line("Web Page             : " + d.webPage);
    out.line("Title                : " + d.title);
    out.line("Category             : " + d.category);
    out.line("Description          : " + d.descriptionText);
    out.line("Keywords             : " + d.keywordLine());
    out.line(kRuleEquals);
    out.line("");
    out.line("");
    out.line(kRuleHyphens);
    out.line(std::to_string(d.successCount()) + " Successful Submissions...");
    out.line(kRuleHyphens);
    out.line("");
    for (const auto& entry : d.successList)
        out.line(entry);
    out.line("");
    out.line(kRuleHyphens);
    out.line("*Many directories and engines take weeks to add your submission.");
    out.line("*Many directories have limited capacity and may be full.");
    out.line(kRuleEquals);
    out.line("");
    out.line("");
    out.line(kRuleHyphens);
    out.line(std::to_string(d.failureCount()) + " Unsuccessful Submissions...");
    out.line(kRuleHyphens);
    out.line("");
    for (const auto& entry : d.failedList)
        out.line(entry);
    out.line("");
    out.line(kRuleHyphens);
    out.line("Submission failures can be the result of many variables,");
    out.line("including a down site, heavy traffic, poor connections,");
    out.line("sites being moved, etc.");
    out.line(kRuleEquals);
    return out.take();
}

std::string savetext(const SiteProfile& site, const SubmissionRun& run, const ReportSettings& settings,
                     const std::string& baseDir, const std::string& chosenFile)
{
    const std::string path = reportFilePath(site, run, baseDir, chosenFile, ".txt");
    // An automatic report is named from the site's title: a link planted at that
    // name in reports/ is replaced, never followed out of the directory.
    writeFileAtomic(path, textReport(makeReportData(site, run, settings)),
                    run.autoReport ? LinkHandling::Replace : LinkHandling::Keep);
    return path;
}

}  // namespace tolvan
