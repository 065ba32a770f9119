#include "reporting/AutoReports.h"

#include "net/EventPump.h"
#include "reporting/EmailReport.h"
#include "reporting/HtmlReport.h"
#include "reporting/TextReport.h"
#include "secrets/SecretStore.h"
#include "storage/LineList.h"
#include "util/Files.h"

namespace tolvan {

AutoReports::AutoReports(std::string baseDir, Settings settings, std::size_t siteCount, EventPump* pump)
    : baseDir_(std::move(baseDir)), settings_(std::move(settings)), siteCount_(siteCount), pump_(pump)
{
}

std::string AutoReports::write(AutoReportKind kind, const SiteProfile& site, const SubmissionRun& run) const
{
    const ReportSettings branding = reportSettingsFrom(settings_);
    switch (kind) {
    case AutoReportKind::Html:
        savehtm(site, run, branding, baseDir_);
        return {};
    case AutoReportKind::Text:
        savetext(site, run, branding, baseDir_);
        return {};
    case AutoReportKind::Mail: {
        const std::string customFile = joinPath(baseDir_, "sites/custmsg.tlx");
        const LineList custom = fileExists(customFile) ? readLineList(customFile) : LineList{};
        EmailReportSettings mail = emailReportSettings(settings_, custom);
        if (!mail.user.empty() && !autoMailSettingsMissing(mail)) {
            if (password_.empty()) {
                auto password = unattendedSmtpPassword(secrets_, mail.user, mail.smtpServer);
                if (!password.ok())
                    return password.error().message;
                password_ = password.value();
            }
            mail.password = password_;
        }
        switch (sendmail(mail, site, run, pump_ ? *pump_ : EventPump::plain())) {
        case AutoMailResult::Sent:
        case AutoMailResult::Cancelled: return {};
        case AutoMailResult::SettingsMissing: return kAutoMailWarning;
        case AutoMailResult::NoAddress: return "You must specify an E-Mail Address to mail this report to.";
        }
        return {};
    }
    }
    return {};
}

}  // namespace tolvan
