#pragma once
// "Tolvan E-Mail Report": shows the composed report for the user to address
// and edit, and sends it through the user's SMTP server with live status.
#include <QDialog>

#include <cstddef>
#include <string>
#include <vector>

#include "net/MailMessage.h"
#include "net/SmtpClient.h"
#include "reporting/EmailReport.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace tolvan {
class EventPump;
struct SiteProfile;
struct SubmissionRun;
}  // namespace tolvan

namespace tolvan::app {

class EmailReportDialog : public QDialog {
    Q_OBJECT
public:
    // The references must outlive the dialog; pump defaults to the window's.
    EmailReportDialog(QWidget* parent, const EmailReportSettings& settings, ReportKind kind, const SiteProfile& site,
                      const SubmissionRun& run, const RankData& rank, EventPump* pump = nullptr);
    ~EmailReportDialog() override;

    // Composes the report into the memo (done when the dialog is shown).
    void loaddata();
    // Send's checks and the send itself. A failed check shows its message and
    // returns false; errors of the SMTP client are thrown to the caller.
    bool performSend();
    bool sending() const { return sending_; }

    SmtpClient& msSMTP1() { return smtp_; }
    MailMessage& msMessage1() { return message_; }
    QLineEdit* mailtoEdit() const { return mailto; }

public slots:
    // Send: the dialog closes once the handler has finished, whatever it did;
    // an error of the client is shown in the application's error box.
    void BitBtn1Click();
    // Close: empties the memo and closes; during a send it stops the send.
    void BitBtn2Click();
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void status(const char* text, int progress = -1);

    EmailReportSettings settings_;
    ReportKind kind_;
    const SiteProfile& site_;
    const SubmissionRun& run_;
    const RankData& rank_;
    MailMessage message_;
    SmtpClient smtp_;
    bool sending_ = false;
    bool composed_ = false;

    QLineEdit* mailto;
    QLineEdit* subject;
    QPlainTextEdit* body;
    QLabel* mailprog;
    QProgressBar* ProgressBar1;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
};

// The Submit page's E-Mail button: sets the report kind to submission, checks
// the mail settings (a message for the first one missing), shows the multi-site
// note when more than one site is listed, then the dialog.
void BitBtn3Click(QWidget* parent, ReportKind& kind, const EmailReportSettings& settings, const SiteProfile& site,
                  const SubmissionRun& run, const RankData& rank, std::size_t sitesToSubmit);

// The Ranking page's EMAIL Report button: the same for the rank report,
// without the multi-site note.
void rankemailbtnClick(QWidget* parent, ReportKind& kind, const EmailReportSettings& settings,
                       const SiteProfile& site, const SubmissionRun& run, const RankData& rank);

// The run's automatic mail after a site. With settings missing it puts
// "Cannot Auto-Mail - Settings not filled in" in red into sitesCaption (the
// run puts the caption back when it ends) and returns false. Otherwise it
// sends the submission report to the site's webmaster address with an unseen
// dialog; SMTP errors are thrown to the run. Returns true when a mail went.
bool sendmail(QWidget* parent, ReportKind& kind, const EmailReportSettings& settings, const SiteProfile& site,
              const SubmissionRun& run, QLabel* sitesCaption);

}  // namespace tolvan::app
