#pragma once
// The e-mail reports: the submission report and the rank report as the text of
// a mail, the checks made before one is composed or sent, and the sending.
#include <string>
#include <vector>

#include "reporting/RankData.h"
#include "reporting/ReportData.h"

namespace tolvan {

struct Settings;
struct SiteProfile;
struct SubmissionRun;
class EventPump;
class MailMessage;
class SmtpClient;

// The settings the e-mail reports read.
struct EmailReportSettings {
    std::string smtpServer;   // "SMTP Server"
    std::string fromAddress;  // "Mail From Address"
    std::string fromName;     // "Mail From Name"
    std::string subject;      // "Subject"
    std::string nameOnReports = "Tolvan";
    std::string urlOnReports;
    std::vector<std::string> customMessage;  // the lines of sites/custmsg.tlx
    std::string security = "None";           // "None", "STARTTLS" or "TLS"
    std::string user;                        // AUTH user name; empty: no AUTH
    std::string password;                    // filled in by the front end before sending
};

EmailReportSettings emailReportSettings(const Settings& settings, std::vector<std::string> customMessage);

// Which report the dialog composes; the callers set it before composing.
struct ReportKind {
    bool submission = false;
    bool rank = false;
};

inline constexpr const char* kAutoMailWarning = "Cannot Auto-Mail - Settings not filled in";

// The E-Mail and EMAIL Report buttons' checks, in order: the first message
// that applies, or empty when the report may be composed.
std::string emailButtonCheck(const EmailReportSettings& settings);

// The run's automatic mail needs server, address, name and subject.
bool autoMailSettingsMissing(const EmailReportSettings& settings);

// Send's checks: the first message that applies, or empty.
std::string sendCheck(const EmailReportSettings& settings, const std::string& mailto);

// The submission report as mail text, one string per line.
std::vector<std::string> submissionMailBody(const ReportData& data, const std::vector<std::string>& customMessage);

// The rank report as mail text; date and time as the user's locale shows them.
std::vector<std::string> rankMailBody(const RankData& rank, const EmailReportSettings& settings,
                                      const std::string& date, const std::string& time);

// What the dialog shows when it opens: the submission body if asked for, then
// the rank body if asked for, dated now by the program's clock.
std::vector<std::string> composeReport(ReportKind kind, const EmailReportSettings& settings, const SiteProfile& site,
                                       const SubmissionRun& run, const RankData& rank);

// Send's work once its checks have passed: fills the message (one recipient
// without a name, the subject cut to 255 characters, the body, the sender) and
// has the client send it to the SMTP server of the settings. The client's
// events are the caller's. Errors of the client are thrown.
void sendReport(SmtpClient& client, MailMessage& message, const EmailReportSettings& settings,
                const std::string& mailto, const std::string& subject, const std::vector<std::string>& body);

// The run's automatic mail after a site, without any window. `pump` is the
// front end's: the run's cancel flag, set by its handlers, ends the send.
enum class AutoMailResult {
    Sent,
    SettingsMissing,  // show kAutoMailWarning in red in the Sites to Submit caption
    NoAddress,        // the site has no webmaster address: show Send's message
    Cancelled,        // the run was cancelled while the mail was going out
};
AutoMailResult sendmail(const EmailReportSettings& settings, const SiteProfile& site, const SubmissionRun& run,
                        EventPump& pump);

}  // namespace tolvan
