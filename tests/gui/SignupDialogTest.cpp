#include "app/dialogs/SignupDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "GuiTestSupport.h"

using namespace tolvan;
using namespace tolvan::app;
using namespace tolvan::test;

namespace {

// Python's http.server answering every request with one status and keeping
// each request as received.
class SignUpServer {
public:
    explicit SignUpServer(int status)
        : port_(freeLoopbackPort()),
          process_({python3(), supportScript("http_test_server.py"), std::to_string(port_), log_.path(),
                    std::to_string(status)})
    {
        process_.waitUntilAccepting(port_);
    }
    int port() const { return port_; }
    std::string request(int n) const { return log_.read("request-" + std::to_string(n)); }
    std::string body(int n) const
    {
        const std::string r = request(n);
        const std::size_t end = r.find("\r\n\r\n");
        return end == std::string::npos ? std::string() : r.substr(end + 4);
    }

private:
    TempDir log_;
    int port_;
    ChildProcess process_;
};

void writeHosts(const GuiWorkspace& ws, const std::string& signUpHost)
{
    ws.base().write("data/hosts.tlx", "[Maker]\r\nSignUp=" + signUpHost + "\r\n");
}

void fill(SignupDialog& d, const char* first, const char* last, const char* email)
{
    findWidget<QLineEdit>(&d, "Edit1")->setText(QString::fromUtf8(first));
    findWidget<QLineEdit>(&d, "Edit2")->setText(QString::fromUtf8(last));
    findWidget<QLineEdit>(&d, "Edit3")->setText(QString::fromUtf8(email));
}

}  // namespace

TEST(SignupDialog, ShowsEveryControlWithItsText)
{
    GuiWorkspace ws(false);
    SignupDialog d(nullptr, ws.base().path());
    EXPECT_EQ(d.windowTitle(), "First Time Use");
    EXPECT_EQ(findWidget<QLabel>(&d, "Label1")->text(), "Thank you for trying Tolvan.");
    EXPECT_TRUE(findWidget<QLabel>(&d, "Label2")->text().contains("kept by Quendel for internal use only"));
    EXPECT_EQ(findWidget<QLabel>(&d, "Label6")->text(), "E-Mail:");
    EXPECT_TRUE(findWidget<QCheckBox>(&d, "CheckBox1")->isChecked());
    EXPECT_TRUE(findWidget<QCheckBox>(&d, "CheckBox2")->isChecked());
    EXPECT_EQ(findWidget<QPushButton>(&d, "Button2")->text(),
              "Click here if you connect to the Internet thorugh a Proxy Server");
    EXPECT_EQ(findWidget<QLineEdit>(&d, "Edit5")->text(), "80");

    d.show();
    EXPECT_FALSE(findWidget<QLineEdit>(&d, "Edit4")->isVisible());
    EXPECT_FALSE(findWidget<QLabel>(&d, "Label8")->isVisible());
    findWidget<QPushButton>(&d, "Button2")->click();
    EXPECT_FALSE(findWidget<QPushButton>(&d, "Button2")->isVisible());
    EXPECT_TRUE(findWidget<QLineEdit>(&d, "Edit4")->isVisible());
    EXPECT_TRUE(findWidget<QLineEdit>(&d, "Edit5")->isVisible());
    EXPECT_TRUE(findWidget<QLabel>(&d, "Label7")->isVisible());
}

TEST(SignupDialog, RedirectAnswerThanksAndCloses)
{
    GuiWorkspace ws(false);
    SignUpServer server(302);
    writeHosts(ws, "127.0.0.1:" + std::to_string(server.port()));
    MessageBoxCatcher boxes;
    SignupDialog d(nullptr, ws.base().path());
    d.show();
    fill(d, "Tom & Jerry", "A=B", "tom@example.test");
    findWidget<QPushButton>(&d, "Button1")->click();

    EXPECT_EQ(boxes.texts(), QStringList{"Thank you for using Tolvan"});
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.result(), QDialog::Accepted);
    const std::string request = server.request(1);
    EXPECT_EQ(request.substr(0, request.find("\r\n")), "POST /cgi-win/polyform.exe/qndlannounce HTTP/1.0");
    EXPECT_NE(request.find("Content-Type: application/x-www-form-urlencoded\r\n"), std::string::npos);
    // The fields in their order; "&" and "=" in a name do not split the fields.
    EXPECT_EQ(server.body(1), "First=Tom+%26+Jerry&Last=A%3DB&E-Mail=tom%40example.test"
                              "&Tolvan=Tolvan+Announcements&Qndl=Other+Quendel+Announcements");
}

TEST(SignupDialog, OtherAnswerLeavesTheDialogOpenWithNothingShown)
{
    GuiWorkspace ws(false);
    SignUpServer server(500);
    writeHosts(ws, "127.0.0.1:" + std::to_string(server.port()));
    MessageBoxCatcher boxes;
    SignupDialog d(nullptr, ws.base().path());
    d.show();
    fill(d, "Ann", "Lee", "ann@example.test");
    findWidget<QCheckBox>(&d, "CheckBox1")->setChecked(false);
    findWidget<QCheckBox>(&d, "CheckBox2")->setChecked(false);
    findWidget<QPushButton>(&d, "Button1")->click();
    QApplication::processEvents();

    EXPECT_TRUE(boxes.texts().isEmpty());
    EXPECT_TRUE(d.isVisible());
    EXPECT_TRUE(findWidget<QPushButton>(&d, "Button1")->isEnabled());
    EXPECT_EQ(server.body(1), "First=Ann&Last=Lee&E-Mail=ann%40example.test");

    // A second press tries again.
    findWidget<QPushButton>(&d, "Button1")->click();
    EXPECT_EQ(server.body(2), "First=Ann&Last=Lee&E-Mail=ann%40example.test");
}

TEST(SignupDialog, ProxyFieldsAreUsedAndABadPortSendsNothing)
{
    GuiWorkspace ws(false);
    writeHosts(ws, "signup.example.test");
    TempDir capture;
    const int proxyPort = freeLoopbackPort();
    ChildProcess proxy({python3(), supportScript("raw_http_server.py"), std::to_string(proxyPort), "capture",
                        capture.file("captured")});
    proxy.waitUntilAccepting(proxyPort);
    MessageBoxCatcher boxes;
    SignupDialog d(nullptr, ws.base().path());
    d.show();
    findWidget<QPushButton>(&d, "Button2")->click();
    findWidget<QLineEdit>(&d, "Edit4")->setText("127.0.0.1");

    findWidget<QLineEdit>(&d, "Edit5")->setText("eighty");
    findWidget<QPushButton>(&d, "Button1")->click();
    EXPECT_EQ(boxes.texts(), QStringList{"'eighty' is not a valid integer value"});
    EXPECT_EQ(capture.read("captured"), "");
    EXPECT_TRUE(d.isVisible());

    boxes.clear();
    findWidget<QLineEdit>(&d, "Edit5")->setText(QString::number(proxyPort));
    findWidget<QPushButton>(&d, "Button1")->click();
    EXPECT_EQ(boxes.texts(), QStringList{"Thank you for using Tolvan"});
    const std::string request = capture.read("captured");
    EXPECT_EQ(request.substr(0, request.find("\r\n")),
              "POST http://signup.example.test/cgi-win/polyform.exe/qndlannounce HTTP/1.0");
}

TEST(SignupDialog, ClosingTheWindowStopsThePost)
{
    GuiWorkspace ws(false);
    const int port = freeLoopbackPort();
    ChildProcess silent({python3(), supportScript("raw_http_server.py"), std::to_string(port), "silent"});
    silent.waitUntilAccepting(port);
    writeHosts(ws, "127.0.0.1:" + std::to_string(port));
    MessageBoxCatcher boxes;
    SignupDialog d(nullptr, ws.base().path());
    d.show();
    bool wasPosting = false;
    QTimer::singleShot(300, &d, [&] {
        wasPosting = d.posting();
        d.close();
    });
    findWidget<QPushButton>(&d, "Button1")->click();

    EXPECT_TRUE(wasPosting);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.result(), QDialog::Rejected);
    EXPECT_TRUE(boxes.texts().isEmpty());
}
