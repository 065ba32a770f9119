#include "reporting/AutoReports.h"

#include "reporting/HtmlReport.h"
#include "reporting/TextReport.h"

namespace tolvan {

AutoReports::AutoReports(std::string baseDir, Settings settings, std::size_t siteCount, EventPump* pump)
    : baseDir_(std::move(baseDir)), settings_(std::move(settings)), siteCount_(siteCount), pump_(pump)
{
}

std::string AutoReports::write(AutoReportKind kind, const SiteProfile& site, const SubmissionRun& run) const
{
    const ReportSettings branding{settings_.oryxname, settings_.oryxurl};
    switch (kind) {
    case AutoReportKind::Html:
        savehtm(site, run, branding, baseDir_);
        return {};
    case AutoReportKind::Text:
        savetext(site, run, branding, baseDir_);
        return {};
    case AutoReportKind::Mail:
        // Wired to the mail sender once it lands.
        return "E-mail reports cannot be sent yet.";
    }
    return {};
}

}  // namespace tolvan
