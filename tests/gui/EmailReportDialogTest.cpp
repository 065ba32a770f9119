#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include "../core/net/SmtpTestPeers.h"
#include "GuiTestSupport.h"
#include "app/dialogs/EmailReportDialog.h"
#include "profiles/SiteProfile.h"
#include "submit/SubmissionRun.h"

using namespace tolvan;
using namespace tolvan::app;
using namespace tolvan::test;

namespace {

EmailReportSettings settingsFor(const std::string& server)
{
    EmailReportSettings s;
    s.smtpServer = server;
    s.fromAddress = "reports@example.org";
    s.fromName = "Tolvan by Quendel";
    s.subject = "Tolvan Report";
    s.urlOnReports = "http://www.quendel.com/";
    return s;
}

// Answers the next e-mail report dialog that opens modally: keeps its subject
// and first body lines, then presses Close.
class DialogCloser {
public:
    DialogCloser()
    {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* d = qobject_cast<EmailReportDialog*>(QApplication::activeModalWidget());
            if (!d)
                return;
            subject = findWidget<QLineEdit>(d, "subject")->text();
            body = findWidget<QPlainTextEdit>(d, "body")->toPlainText().split(QLatin1Char('\n'));
            ++seen;
            findWidget<QPushButton>(d, "BitBtn2")->click();
        });
        timer_.start();
    }
    int seen = 0;
    QString subject;
    QStringList body;

private:
    QTimer timer_;
};

}  // namespace

TEST(EmailReportDialogTest, ButtonsCheckSettingsInOrderThenOpenTheDialog)
{
    MessageBoxCatcher boxes;
    SiteProfile site;
    SubmissionRun run;
    RankData rank;
    ReportKind kind{false, true};
    EmailReportSettings s;
    BitBtn3Click(nullptr, kind, s, site, run, rank, 3);
    EXPECT_TRUE(kind.submission);
    EXPECT_FALSE(kind.rank);
    s.smtpServer = "127.0.0.1";
    rankemailbtnClick(nullptr, kind, s, site, run, rank);
    EXPECT_TRUE(kind.rank);
    s.fromName = "Me";
    rankemailbtnClick(nullptr, kind, s, site, run, rank);
    EXPECT_EQ(boxes.texts(),
              (QStringList{"You must specify an SMTP server on the options tab before you can use EMAIL reports",
                           "You must specify a FROM NAME on the options tab before you can use EMAIL reports",
                           "You must specify a return address on the options tab before you can use EMAIL reports"}));

    boxes.clear();
    DialogCloser closer;
    s = settingsFor("127.0.0.1");
    BitBtn3Click(nullptr, kind, s, site, run, rank, 3);
    ASSERT_EQ(closer.seen, 1);
    EXPECT_EQ(boxes.texts(), QStringList{QString::fromLatin1(kMultiSiteNote)});
    EXPECT_EQ(closer.subject, "Tolvan Report");
    EXPECT_EQ(closer.body.mid(0, 3), (QStringList{"", "", "Tolvan Site Submission Report"}));

    boxes.clear();
    rankemailbtnClick(nullptr, kind, s, site, run, rank);
    ASSERT_EQ(closer.seen, 2);
    EXPECT_TRUE(boxes.texts().isEmpty()) << "no multi-site note for the rank report";
    EXPECT_EQ(closer.body.value(2), "Tolvan Website Ranking Report");
}

TEST(EmailReportDialogTest, SendShowsLiveStatusAndDeliversTheEditedText)
{
    CaptureSmtpServer server;
    SiteProfile site;
    SubmissionRun run;
    RankData rank;
    EmailReportDialog d(nullptr, settingsFor(server.server()), ReportKind{true, false}, site, run, rank);
    d.show();
    auto* body = findWidget<QPlainTextEdit>(&d, "body");
    auto* status = findWidget<QLabel>(&d, "mailprog");
    auto* bar = findWidget<QProgressBar>(&d, "ProgressBar1");
    EXPECT_TRUE(body->toPlainText().contains("Tolvan Site Submission Report"));
    body->setPlainText("Edited by hand\n.\nsecond line");
    findWidget<QLineEdit>(&d, "mailto")->setText("owner@example.org");
    findWidget<QLineEdit>(&d, "subject")->setText("Edited subject");

    // Each event's status text and progress, as the user sees them.
    std::vector<std::string> seen;
    SmtpClient& c = d.msSMTP1();
    auto after = [&](std::function<void()>& handler) {
        handler = [old = handler, &seen, status, bar] {
            old();
            seen.push_back(status->text().toStdString() + " " + std::to_string(bar->value()));
        };
    };
    for (auto* h : {&c.onOpen, &c.onPrepare, &c.onSending, &c.onMailSent, &c.onClosing, &c.onClosed})
        after(*h);
    int lastProgress = -1;
    auto oldProgress = c.onProgress;
    c.onProgress = [&, oldProgress](int perc, long transferred) {
        oldProgress(perc, transferred);
        lastProgress = bar->value();
    };

    findWidget<QPushButton>(&d, "BitBtn1")->click();
    EXPECT_EQ(seen, (std::vector<std::string>{"Opening Connection 20", "Preparing Message 20", "Sending Mail 30",
                                              "Mail Sent 0", "Closing Connection 40", "Connection Closed 100"}));
    EXPECT_EQ(lastProgress, 0);
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_FALSE(d.isVisible());
    ASSERT_TRUE(server.hasMessage(1));
    const std::string data = server.message(1);
    EXPECT_NE(data.find("\r\nSubject:  Edited subject\r\n"), std::string::npos);
    EXPECT_EQ(data.substr(data.find("\r\n\r\n") + 4), "Edited by hand\r\n.\r\nsecond line\r\n\r\n");
}

TEST(EmailReportDialogTest, FailuresShowTheirMessageAndCloseTheDialog)
{
    MessageBoxCatcher boxes;
    SiteProfile site;
    SubmissionRun run;
    RankData rank;
    {
        EmailReportDialog d(nullptr, settingsFor("127.0.0.1:1"), ReportKind{true, false}, site, run, rank);
        d.show();
        findWidget<QPushButton>(&d, "BitBtn1")->click();  // empty To field
        EXPECT_EQ(boxes.texts(), QStringList{"You must specify an E-Mail Address to mail this report to."});
        EXPECT_FALSE(d.isVisible());
    }
    boxes.clear();
    {
        EmailReportDialog d(nullptr, settingsFor("127.0.0.1:" + std::to_string(freeLoopbackPort())),
                            ReportKind{true, false}, site, run, rank);
        d.show();
        findWidget<QLineEdit>(&d, "mailto")->setText("owner@example.org");
        findWidget<QPushButton>(&d, "BitBtn1")->click();
        EXPECT_EQ(boxes.texts(), QStringList{"Error #10061"});
        EXPECT_EQ(findWidget<QLabel>(&d, "mailprog")->text(), "Error Sending Mail");
        EXPECT_FALSE(d.isVisible());
    }
}

TEST(EmailReportDialogTest, AutomaticMailWarnsInTheCaptionOrSendsToTheWebmaster)
{
    MessageBoxCatcher boxes;
    CaptureSmtpServer server;
    SiteProfile site;
    SubmissionRun run;
    ReportKind kind{false, true};
    QLabel caption(QStringLiteral("Sites to submit:"));
    EmailReportSettings s = settingsFor(server.server());
    s.subject.clear();
    EXPECT_FALSE(sendmail(nullptr, kind, s, site, run, &caption));
    EXPECT_EQ(caption.text(), "Cannot Auto-Mail - Settings not filled in");
    EXPECT_EQ(caption.palette().color(QPalette::WindowText), QColor(Qt::red));
    EXPECT_TRUE(kind.rank) << "missing settings leave the report kind alone";

    s.subject = "Auto report";
    EXPECT_FALSE(sendmail(nullptr, kind, s, site, run, &caption));
    EXPECT_EQ(boxes.texts(), QStringList{"You must specify an E-Mail Address to mail this report to."});

    site.email = "webmaster@example.org";
    EXPECT_TRUE(sendmail(nullptr, kind, s, site, run, &caption));
    EXPECT_TRUE(kind.submission);
    EXPECT_FALSE(kind.rank);
    ASSERT_TRUE(server.hasMessage(1));
    EXPECT_NE(server.envelope(1).find("\"rcpt_tos\": [\"webmaster@example.org\"]"), std::string::npos);
    EXPECT_NE(server.message(1).find("\r\nSubject:  Auto report\r\n"), std::string::npos);

    // SMTP errors reach the run.
    s.smtpServer = "127.0.0.1:" + std::to_string(freeLoopbackPort());
    EXPECT_THROW(sendmail(nullptr, kind, s, site, run, &caption), SmtpSocketError);
}
