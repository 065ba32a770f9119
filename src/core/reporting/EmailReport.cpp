#include "reporting/EmailReport.h"

#include "net/EventPump.h"
#include "net/MailMessage.h"
#include "net/SmtpClient.h"
#include "profiles/SiteProfile.h"
#include "settings/Settings.h"
#include "submit/SubmissionRun.h"
#include "util/Clock.h"

namespace tolvan {

namespace {

const std::string kRuleEquals(65, '=');
const std::string kRuleDash(65, '-');

struct EngineRow {
    const char* prefix;    // the name padded to 22 characters
    const char* notFound;  // the whole row when the site was not found
};

// In the order of RankEngine.
constexpr EngineRow kEngineRows[kRankEngineCount] = {
    {"Infoseek              ", "Infoseek              Not Found"},
    {"Yahoo*                ", "Yahoo*                Not Found*"},
    {"Alta Vista            ", "Alta Vista            Not Found"},
    {"AOL NetFind           ", "AOL NetFind           Not Found"},
    {"Lycos                 ", "Lycos                 Not Found"},
    {"Excite                ", "Excite                Not Found"},
    {"HotBot                ", "HotBot                Not Found"},
    {"Webcrawler            ", "Webcrawler            Not Found"},
};

void append(std::vector<std::string>& lines, const std::vector<std::string>& more)
{
    lines.insert(lines.end(), more.begin(), more.end());
}

}  // namespace

EmailReportSettings emailReportSettings(const Settings& settings, std::vector<std::string> customMessage)
{
    EmailReportSettings s;
    s.smtpServer = settings.smtpserv;
    s.fromAddress = settings.fromaddr;
    s.fromName = settings.emailfrom;
    s.subject = settings.emailsubj;
    s.nameOnReports = settings.oryxname;
    s.urlOnReports = settings.oryxurl;
    s.customMessage = std::move(customMessage);
    s.security = settings.smtpsecurity;
    s.user = settings.smtpuser;
    return s;
}

std::string emailButtonCheck(const EmailReportSettings& settings)
{
    if (settings.smtpServer.empty())
        return "You must specify an SMTP server on the options tab before you can use EMAIL reports";
    if (settings.fromName.empty())
        return "You must specify a FROM NAME on the options tab before you can use EMAIL reports";
    if (settings.fromAddress.empty())
        return "You must specify a return address on the options tab before you can use EMAIL reports";
    return {};
}

bool autoMailSettingsMissing(const EmailReportSettings& settings)
{
    return settings.smtpServer.empty() || settings.fromAddress.empty() || settings.fromName.empty() ||
           settings.subject.empty();
}

std::string sendCheck(const EmailReportSettings& settings, const std::string& mailto)
{
    if (settings.smtpServer.empty())
        return "You have not defined an SMTP Server on the Options tab of the main form.";
    if (mailto.empty())
        return "You must specify an E-Mail Address to mail this report to.";
    return {};
}

std::vector<std::string> submissionMailBody(const ReportData& d, const std::vector<std::string>& customMessage)
{
    std::vector<std::string> l = customMessage;
    append(l, {"", "", d.nameOnReports + " Site Submission Report", kRuleEquals,
               "Date                 : " + d.date,
               "Submission Started   : " + d.startTime,
               "Submission Completed : " + d.completedTime,
               "Engine Total         : " + std::to_string(d.engineTotal()),
               "Success Count        : " + std::to_string(d.successCount()),
               "Faliure Count        : " + std::to_string(d.failureCount()),
               kRuleEquals,
               "Web Page             : " + d.webPage,
               "Title                : " + d.title,
               "Category             : " + d.category,
               "Description          : " + d.descriptionText,
               "Keywords             : " + d.keywordLine(),
               kRuleEquals, "", "", kRuleDash,
               std::to_string(d.successCount()) + " Successful Submissions...", kRuleDash, ""});
    append(l, d.successList);
    append(l, {"", kRuleDash, "*Many directories and engines take weeks to add your submission.",
               "*Many directories have limited capacity and may be full.", kRuleEquals, "", "", kRuleDash,
               std::to_string(d.failureCount()) + " Unsuccessful Submissions...", kRuleDash, ""});
    append(l, d.failedList);
    append(l, {"", kRuleDash, "Submission failures can be the result of many variables,",
               "inclduding a down site, heavy traffic, poor connections,", "sites being moved, etc.", kRuleEquals,
               "", "", "", "Site Submissions by " + d.nameOnReports, d.urlOnReports});
    return l;
}

std::vector<std::string> rankMailBody(const RankData& rank, const EmailReportSettings& settings,
                                      const std::string& date, const std::string& time)
{
    std::vector<std::string> l = settings.customMessage;
    append(l, {"", "", settings.nameOnReports + " Website Ranking Report", kRuleEquals,
               "Date                 : " + date,
               "Time                 : " + time,
               kRuleEquals,
               "Website Searched For : " + rank.site,
               "Using Keywords       : " + rank.phrase,
               "Searched in top      : " + rank.depth + " Results",
               kRuleEquals, "Results:", kRuleDash, "Engine                Position", kRuleDash});
    for (std::size_t i = 0; i < kRankEngineCount; ++i) {
        const RankEntry& e = rank.engines[i];
        if (!e.selected)
            continue;
        l.push_back(e.position > 0 ? kEngineRows[i].prefix + std::to_string(e.position) : kEngineRows[i].notFound);
    }
    append(l, {"", kRuleDash, "* Yahoo defaults to Alta Vista for some searches.  For this",
               "reason, if your entry is not found in Yahoo, the true Yahoo",
               "search results may be found in the Alta Vista search results.", kRuleEquals, "", "", "",
               "Site Submissions by " + settings.nameOnReports, settings.urlOnReports});
    return l;
}

std::vector<std::string> composeReport(ReportKind kind, const EmailReportSettings& settings, const SiteProfile& site,
                                       const SubmissionRun& run, const RankData& rank)
{
    const std::time_t now = Clock::current().now();
    std::vector<std::string> body;
    if (kind.submission) {
        const ReportSettings branding{settings.nameOnReports, settings.urlOnReports};
        append(body, submissionMailBody(makeReportData(site, run, branding, shortDate(now)), settings.customMessage));
    }
    if (kind.rank)
        append(body, rankMailBody(rank, settings, shortDate(now), longTime(now)));
    return body;
}

void sendReport(SmtpClient& client, MailMessage& message, const EmailReportSettings& settings,
                const std::string& mailto, const std::string& subject, const std::vector<std::string>& body)
{
    client.setWinsockLoaded(true);
    client.server = settings.smtpServer;
    client.security = smtpSecurityFromText(settings.security);
    client.userName = settings.user;
    client.password = settings.password;
    client.mailMessage = &message;
    message.setContentType("text/plain");
    message.returnReceipt = false;
    message.recipients.clear();
    message.recipients.add(mailto, "");
    message.setSubject(subject);
    message.setBody(body);
    message.sender.setAddress(settings.fromAddress);
    message.sender.setName(settings.fromName);
    client.send();
}

AutoMailResult sendmail(const EmailReportSettings& settings, const SiteProfile& site, const SubmissionRun& run,
                        EventPump& pump)
{
    if (autoMailSettingsMissing(settings))
        return AutoMailResult::SettingsMissing;
    const std::vector<std::string> body =
        composeReport(ReportKind{true, false}, settings, site, run, RankData{});
    if (!sendCheck(settings, site.email).empty())
        return AutoMailResult::NoAddress;
    SmtpClient client(pump);
    // Cancel (and the end of the program) stop the run through its flag; the
    // mail in progress ends with it instead of holding the run up.
    client.stopRequested = [&run] { return run.cancelRequested; };
    MailMessage message;
    try {
        sendReport(client, message, settings, site.email, settings.subject, body);
    } catch (const SmtpCanceledError&) {
        if (!run.cancelRequested)
            throw;
        return AutoMailResult::Cancelled;
    }
    return AutoMailResult::Sent;
}

}  // namespace tolvan
