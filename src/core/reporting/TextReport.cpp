#include "reporting/TextReport.h"

#include "profiles/SiteProfile.h"
#include "submit/SubmissionRun.h"
#include "util/Files.h"

namespace tolvan {

namespace {
constexpr const char* kCrLf = "\r\n";
const std::string kRuleEquals(65, '=');
const std::string kRuleHyphens(65, '-');

class Lines {
public:
    void add(const std::string& line)
    {
        text_ += line;
        text_ += kCrLf;
    }
    std::string take() { return std::move(text_); }

private:
    std::string text_;
};
}  // namespace

std::string textReport(const ReportData& d)
{
    Lines out;
    out.add(kRuleEquals);
    out.add(d.nameOnReports + " Submission Report");
    out.add(kRuleEquals);
    out.add("Date                 : " + d.date);
    out.add("Submission Started   : " + d.startTime);
    out.add("Submission Completed : " + d.completedTime);
    out.add("Engine Total         : " + std::to_string(d.engineTotal()));
    out.add("Success Count        : " + std::to_string(d.successCount()));
    out.add("Faliure Count        : " + std::to_string(d.failureCount()));
    out.add(kRuleEquals);
    out.add("Web Page             : " + d.webPage);
    out.add("Title                : " + d.title);
    out.add("Category             : " + d.category);
    out.add("Description          : " + d.descriptionText);
    out.add("Keywords             : " + d.keywordLine());
    out.add(kRuleEquals);
    out.add("");
    out.add("");
    out.add(kRuleHyphens);
    out.add(std::to_string(d.successCount()) + " Successful Submissions...");
    out.add(kRuleHyphens);
    out.add("");
    for (const auto& entry : d.successList)
        out.add(entry);
    out.add("");
    out.add(kRuleHyphens);
    out.add("*Many directories and engines take weeks to add your submission.");
    out.add("*Many directories have limited capacity and may be full.");
    out.add(kRuleEquals);
    out.add("");
    out.add("");
    out.add(kRuleHyphens);
    out.add(std::to_string(d.failureCount()) + " Unsuccessful Submissions...");
    out.add(kRuleHyphens);
    out.add("");
    for (const auto& entry : d.failedList)
        out.add(entry);
    out.add("");
    out.add(kRuleHyphens);
    out.add("Submission failures can be the result of many variables,");
    out.add("including a down site, heavy traffic, poor connections,");
    out.add("sites being moved, etc.");
    out.add(kRuleEquals);
    return out.take();
}

std::string savetext(const SiteProfile& site, const SubmissionRun& run, const ReportSettings& settings,
                     const std::string& baseDir, const std::string& chosenFile)
{
    const std::string path = reportFilePath(site, run, baseDir, chosenFile, ".txt");
    writeFileAtomic(path, textReport(makeReportData(site, run, settings)));
    return path;
}

}  // namespace tolvan
