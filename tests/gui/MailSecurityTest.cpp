#include <QApplication>
#include <QComboBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include "../core/net/SmtpTestPeers.h"
#include "GuiTestSupport.h"
#include "SecretServicePeer.h"
#include "TlsPeers.h"
#include "app/MailPasswords.h"
#include "app/dialogs/EmailReportDialog.h"
#include "app/pages/OptionsPage.h"
#include "profiles/SiteProfile.h"
#include "secrets/LibSecretStore.h"
#include "submit/SubmissionRun.h"

using namespace tolvan;
using namespace tolvan::app;
using namespace tolvan::test;

namespace {

// Answers every password question with `password` and counts them.
class PasswordAnswerer {
public:
    explicit PasswordAnswerer(QString password) : password_(std::move(password))
    {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto* d = qobject_cast<QInputDialog*>(QApplication::activeModalWidget())) {
                ++asked;
                d->setTextValue(password_);
                d->accept();
            }
        });
        timer_.start();
    }
    int asked = 0;

private:
    QString password_;
    QTimer timer_;
};

std::vector<std::string> secureServer(const std::string& user, const std::string& password)
{
    return {"--cert", testCertificates() + "/good.pem", "--starttls", "--user", user, "--password", password};
}

// Sends a report through the dialog as Send does; the error text, or empty.
std::string sendReportTo(const std::string& server, const std::string& user)
{
    EmailReportSettings s;
    s.smtpServer = server;
    s.fromAddress = "reports@example.org";
    s.fromName = "Tolvan by Quendel";
    s.subject = "Tolvan Report";
    s.security = "STARTTLS";
    s.user = user;
    SiteProfile site;
    SubmissionRun run;
    RankData rank;
    EmailReportDialog d(nullptr, s, ReportKind{true, false}, site, run, rank);
    d.loaddata();
    d.mailtoEdit()->setText("owner@example.org");
    try {
        d.performSend();
    } catch (const std::exception& e) {
        return e.what();
    }
    return {};
}

}  // namespace

TEST(MailSecurityTest, OptionsPasswordGoesToTheSecretStoreAndTheSendFindsItThere)
{
    SecretServicePeer::instance();
    MailPasswords::instance().clear();
    CaptureSmtpServer server({}, secureServer("me@example.org", "from the store"));

    OptionsPage page;
    Settings st = defaultSettings();
    st.smtpserv = server.server();
    st.smtpsecurity = "starttls";
    st.smtpuser = "me@example.org";
    page.showSettings(st);
    EXPECT_EQ(findWidget<QComboBox>(&page, "smtpsecurity")->currentText(), "STARTTLS");
    auto* pass = findWidget<QLineEdit>(&page, "smtppass");
    EXPECT_EQ(pass->echoMode(), QLineEdit::Password);
    pass->setText("from the store");
    emit pass->editingFinished();
    EXPECT_TRUE(pass->text().isEmpty());
    Settings back;
    page.readSettings(back);
    EXPECT_EQ(back.smtpsecurity, "STARTTLS");
    EXPECT_EQ(back.smtpuser, "me@example.org");

    // The window's keychain and the command line's Secret Service see the same item.
    auto stored = LibSecretStore().read(smtpPasswordKey("me@example.org", server.server()));
    ASSERT_TRUE(stored.ok()) << stored.error().message;
    EXPECT_EQ(stored.value(), std::optional<std::string>("from the store"));

    MailPasswords::instance().clear();  // as after a restart
    PasswordAnswerer answerer("not asked");
    EXPECT_EQ(sendReportTo(server.server(), "me@example.org"), "");
    EXPECT_EQ(answerer.asked, 0);
    ASSERT_TRUE(server.hasMessage(1));
    EXPECT_EQ(server.authLog(), "PLAIN me@example.org ok\n");
}

TEST(MailSecurityTest, PasswordMissingFromTheStoreIsAskedForOncePerSession)
{
    SecretServicePeer::instance();
    MailPasswords::instance().clear();
    CaptureSmtpServer server({}, secureServer("asked@example.org", "typed"));
    PasswordAnswerer answerer("typed");
    EXPECT_EQ(sendReportTo(server.server(), "asked@example.org"), "");
    EXPECT_EQ(sendReportTo(server.server(), "asked@example.org"), "");
    EXPECT_EQ(answerer.asked, 1);
    EXPECT_TRUE(server.hasMessage(2));
    // Asked for, not stored: the next session asks again.
    EXPECT_FALSE(LibSecretStore().read(smtpPasswordKey("asked@example.org", server.server())).value().has_value());
}
