#pragma once
// The reports a run writes by itself after each site, as the Options page asks.
#include <cstddef>
#include <string>

#include "settings/Settings.h"
#include "submit/SubmissionView.h"

namespace tolvan {

struct SiteProfile;
struct SubmissionRun;
class EventPump;
class SecretStore;

class AutoReports {
public:
    AutoReports(std::string baseDir, Settings settings, std::size_t siteCount, EventPump* pump = nullptr);

    // Writes one report of the site just finished. HTML and text reports throw
    // FileError when they cannot be written; a mail that cannot be sent comes
    // back as a warning for the Sites to Submit caption (empty when sent).
    std::string write(AutoReportKind kind, const SiteProfile& site, const SubmissionRun& run) const;

    // Where the mail password comes from for a server that wants AUTH (else
    // only TOLVAN_SMTP_PASSWORD_FILE is tried).
    void setSecretStore(SecretStore* store) { secrets_ = store; }

private:
    std::string baseDir_;
    Settings settings_;
    std::size_t siteCount_;
    EventPump* pump_;
    SecretStore* secrets_ = nullptr;
    mutable std::string password_;  // found once per run
};

}  // namespace tolvan
