#include "app/dialogs/EmailReportDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "app/ErrorHandler.h"
#include "app/MailPasswords.h"
#include "app/TextConversion.h"
#include "app/Messages.h"
#include "app/QtEventPump.h"
#include "profiles/SiteProfile.h"
#include "reporting/ReportData.h"
#include "submit/SubmissionRun.h"

namespace tolvan::app {

EmailReportDialog::EmailReportDialog(QWidget* parent, const EmailReportSettings& settings, ReportKind kind,
                                     const SiteProfile& site, const SubmissionRun& run, const RankData& rank,
                                     EventPump* pump)
    : QDialog(parent),
      settings_(settings),
      kind_(kind),
      site_(site),
      run_(run),
      rank_(rank),
      smtp_(pump ? *pump : QtEventPump::instance())
{
    setObjectName(QStringLiteral("emailreport"));
    setWindowTitle(QStringLiteral("Tolvan E-Mail Report"));
    setModal(true);

    auto* toLabel = new QLabel(QStringLiteral("To:"), this);
    auto* subjectLabel = new QLabel(QStringLiteral("Subject:"), this);
    mailto = named(new QLineEdit(this), "mailto");
    subject = named(new QLineEdit(this), "subject");
    toLabel->setBuddy(mailto);
    subjectLabel->setBuddy(subject);
    body = named(new QPlainTextEdit(this), "body");
    body->setLineWrapMode(QPlainTextEdit::NoWrap);
    body->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    body->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    body->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    mailprog = named(new QLabel(this), "mailprog");
    ProgressBar1 = named(new QProgressBar(this), "ProgressBar1");
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    BitBtn1 = named(new QPushButton(QStringLiteral("Send"), this), "BitBtn1");
    BitBtn1->setDefault(true);
    BitBtn2 = named(new QPushButton(QStringLiteral("Close"), this), "BitBtn2");

    auto* fields = new QGridLayout;
    fields->addWidget(toLabel, 0, 0);
    fields->addWidget(mailto, 0, 1);
    fields->addWidget(subjectLabel, 1, 0);
    fields->addWidget(subject, 1, 1);
    auto* bottom = new QHBoxLayout;
    auto* progress = new QVBoxLayout;
    progress->addWidget(mailprog);
    progress->addWidget(ProgressBar1);
    bottom->addLayout(progress, 1);
    bottom->addWidget(BitBtn1);
    bottom->addWidget(BitBtn2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(body, 1);
    layout->addLayout(bottom);
    resize(560, 460);

    connect(BitBtn1, &QPushButton::clicked, this, &EmailReportDialog::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &EmailReportDialog::BitBtn2Click);

    smtp_.onOpen = [this] { status("Opening Connection", 20); };
    smtp_.onPrepare = [this] { status("Preparing Message"); };
    smtp_.onSending = [this] { status("Sending Mail", 30); };
    smtp_.onProgress = [this](int perc, long) { ProgressBar1->setValue(perc); };
    smtp_.onMailSent = [this] { status("Mail Sent"); };
    // Proceed stays no: a refused address ends the send with the server's reply.
    smtp_.onAddressRejected = [this](const std::string&, const std::string&, bool&) { status("Address Rejected"); };
    smtp_.onError = [this](const std::string&) { status("Error Sending Mail"); };
    smtp_.onClosing = [this] { status("Closing Connection", 40); };
    smtp_.onClosed = [this] {
        status("Connection Closed", 100);
        QApplication::beep();
    };

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

EmailReportDialog::~EmailReportDialog() = default;

void EmailReportDialog::status(const char* text, int progress)
{
    mailprog->setText(QString::fromLatin1(text));
    if (progress >= 0)
        ProgressBar1->setValue(progress);
}

void EmailReportDialog::loaddata()
{
    body->setReadOnly(false);
    body->clear();
    ProgressBar1->setValue(0);
    subject->setText(QString::fromUtf8(settings_.subject.c_str()));
    QStringList lines;
    for (const std::string& line : composeReport(kind_, settings_, site_, run_, rank_))
        lines << QString::fromUtf8(line.c_str(), static_cast<qsizetype>(line.size()));
    if (!lines.isEmpty())
        body->setPlainText(lines.join(QLatin1Char('\n')));
    composed_ = true;
}

void EmailReportDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!composed_)
        loaddata();
}

bool EmailReportDialog::performSend()
{
    if (sending_)
        return false;
    const std::string to = toUtf8(mailto->text());
    if (const std::string problem = sendCheck(settings_, to); !problem.empty()) {
        showMessage(this, QString::fromUtf8(problem.c_str()));
        return false;
    }
    std::vector<std::string> lines;
    for (const QString& line : body->toPlainText().split(QLatin1Char('\n')))
        lines.push_back(toUtf8(line));
    ProgressBar1->setValue(10);
    sending_ = true;
    BitBtn1->setEnabled(false);
    struct Restore {
        EmailReportDialog* d;
        ~Restore()
        {
            d->sending_ = false;
            d->BitBtn1->setEnabled(true);
        }
    } restore{this};
    EmailReportSettings mail = settings_;
    if (!mail.user.empty() && smtpSecurityFromText(mail.security) != SmtpSecurity::None) {
        mail.password = MailPasswords::instance().find(this, mail.user, mail.smtpServer);
        if (mail.password.empty())
            throw TolvanError("No password was given for the SMTP server; the mail was not sent.");
    }
    sendReport(smtp_, message_, mail, to, toUtf8(subject->text()), lines);
    return true;
}

void EmailReportDialog::BitBtn1Click()
{
    if (sending_)
        return;
    guarded([this] { performSend(); });
    accept();
}

void EmailReportDialog::BitBtn2Click()
{
    if (sending_) {
        // The running send ends with "Operation has been canceled" and its
        // handler then closes the dialog.
        smtp_.cancel();
        return;
    }
    body->clear();
    ProgressBar1->setValue(0);
    QDialog::reject();
}

void EmailReportDialog::reject()
{
    BitBtn2Click();
}

void EmailReportDialog::closeEvent(QCloseEvent* event)
{
    if (sending_) {
        smtp_.cancel();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

namespace {

bool settingsReady(QWidget* parent, const EmailReportSettings& settings)
{
    if (const std::string problem = emailButtonCheck(settings); !problem.empty()) {
        showMessage(parent, QString::fromUtf8(problem.c_str()));
        return false;
    }
    return true;
}

}  // namespace

void BitBtn3Click(QWidget* parent, ReportKind& kind, const EmailReportSettings& settings, const SiteProfile& site,
                  const SubmissionRun& run, const RankData& rank, std::size_t sitesToSubmit)
{
    kind = ReportKind{true, false};
    if (!settingsReady(parent, settings))
        return;
    if (sitesToSubmit > 1)
        showMessage(parent, QString::fromLatin1(kMultiSiteNote));
    EmailReportDialog dialog(parent, settings, kind, site, run, rank);
    dialog.exec();
}

void rankemailbtnClick(QWidget* parent, ReportKind& kind, const EmailReportSettings& settings,
                       const SiteProfile& site, const SubmissionRun& run, const RankData& rank)
{
    kind = ReportKind{false, true};
    if (!settingsReady(parent, settings))
        return;
    EmailReportDialog dialog(parent, settings, kind, site, run, rank);
    dialog.exec();
}

bool sendmail(QWidget* parent, ReportKind& kind, const EmailReportSettings& settings, const SiteProfile& site,
              const SubmissionRun& run, QLabel* sitesCaption)
{
    if (autoMailSettingsMissing(settings)) {
        if (sitesCaption) {
            sitesCaption->setText(QString::fromLatin1(kAutoMailWarning));
            QPalette palette = sitesCaption->palette();
            palette.setColor(QPalette::WindowText, Qt::red);
            sitesCaption->setPalette(palette);
        }
        return false;
    }
    kind = ReportKind{true, false};
    const RankData noRank;
    EmailReportDialog dialog(parent, settings, kind, site, run, noRank);
    dialog.loaddata();
    dialog.mailtoEdit()->setText(QString::fromUtf8(site.email.c_str()));
    // Cancel and the window's close set the run's flag; the mail stops with it.
    dialog.msSMTP1().stopRequested = [&run] { return run.cancelRequested; };
    try {
        return dialog.performSend();
    } catch (const SmtpCanceledError&) {
        if (!run.cancelRequested)
            throw;
        return false;
    }
}

}  // namespace tolvan::app
