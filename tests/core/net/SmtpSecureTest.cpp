#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "SmtpTestPeers.h"
#include "TlsPeers.h"
#include "net/MailMessage.h"
#include "net/SmtpClient.h"

using namespace tolvan;
using namespace tolvan::test;

namespace {

MailMessage message()
{
    MailMessage m;
    m.sender = MailAddress("reports@example.org", "Tolvan by Quendel");
    m.recipients.add("owner@example.org", "");
    m.setSubject("Tolvan Report");
    m.setBody({"Secure line", ".", "end"});
    return m;
}

std::vector<std::string> tlsServer(const std::string& cert, const std::string& mode,
                                   const std::vector<std::string>& more = {})
{
    std::vector<std::string> options{"--cert", testCertificates() + "/" + cert, mode, "--user", "me@example.org",
                                     "--password", "p\xC3\xA4ss w0rd"};
    options.insert(options.end(), more.begin(), more.end());
    return options;
}

// Sends the message; the error text, empty when it went.
std::string sendTo(const std::string& server, SmtpSecurity security, const std::string& password,
                   MailMessage& m, std::vector<std::string>* events = nullptr)
{
    SmtpClient client;
    client.server = server;
    client.security = security;
    client.userName = "me@example.org";
    client.password = password;
    client.timeOut = 20;
    client.setWinsockLoaded(true);
    client.mailMessage = &m;
    if (events)
        client.onError = [events](const std::string& t) { events->push_back("error:" + t); };
    try {
        client.send();
    } catch (const SmtpError& e) {
        EXPECT_FALSE(client.connected());
        return e.what();
    }
    return {};
}

std::string hostName()
{
    char name[256] = {};
    ::gethostname(name, sizeof name - 1);
    return name;
}

}  // namespace

TEST(SmtpSecureTest, StartTlsAndImplicitTlsAuthenticateAndDeliver)
{
    struct Case {
        const char* mode;
        SmtpSecurity security;
        std::vector<std::string> more;
        const char* mechanism;
    };
    const Case cases[] = {
        {"--starttls", SmtpSecurity::StartTls, {}, "PLAIN"},
        {"--starttls", SmtpSecurity::StartTls, {"--no-plain"}, "LOGIN"},
        {"--implicit-tls", SmtpSecurity::Tls, {}, "PLAIN"},
    };
    for (const Case& c : cases) {
        CaptureSmtpServer server({}, tlsServer("good.pem", c.mode, c.more));
        MailMessage m = message();
        EXPECT_EQ(sendTo(server.server(), c.security, "p\xC3\xA4ss w0rd", m), "") << c.mode << c.mechanism;
        ASSERT_TRUE(server.hasMessage(1)) << c.mode;
        EXPECT_NE(server.message(1).find("\r\n\r\nSecure line\r\n.\r\nend\r\n"), std::string::npos);
        EXPECT_EQ(server.authLog(), std::string(c.mechanism) + " me@example.org ok\n");
    }
}

TEST(SmtpSecureTest, WrongPasswordAndUntrustedServerFailClearly)
{
    {
        CaptureSmtpServer server({}, tlsServer("good.pem", "--starttls"));
        MailMessage m = message();
        EXPECT_EQ(sendTo(server.server(), SmtpSecurity::StartTls, "wrong", m),
                  "535 5.7.8 Authentication credentials invalid");
        EXPECT_FALSE(server.hasMessage(1));
        EXPECT_EQ(server.authLog(), "PLAIN me@example.org refused\n");
    }
    for (const char* cert : {"untrusted.pem", "expired.pem"}) {
        CaptureSmtpServer server({}, tlsServer(cert, "--implicit-tls"));
        MailMessage m = message();
        std::vector<std::string> events;
        const std::string error = sendTo(server.server(), SmtpSecurity::Tls, "p\xC3\xA4ss w0rd", m, &events);
        EXPECT_EQ(error.rfind("The server's certificate is not trusted: ", 0), 0u) << error;
        EXPECT_EQ(events, std::vector<std::string>{"error:" + error});
        EXPECT_EQ(server.authLog(), "");
    }
    {
        CaptureSmtpServer server({}, tlsServer("wrongname.pem", "--starttls"));
        MailMessage m = message();
        EXPECT_EQ(sendTo(server.server(), SmtpSecurity::StartTls, "x", m),
                  "The server's certificate is not for 127.0.0.1");
    }
}

TEST(SmtpSecureTest, PasswordNeverGoesOutUnencrypted)
{
    // Refused before any connection: nothing listens on this port.
    {
        MailMessage m = message();
        EXPECT_EQ(sendTo("127.0.0.1:" + std::to_string(freeLoopbackPort()), SmtpSecurity::None, "pw", m)
                      .rfind("A user name is set but the connection security is None", 0),
                  0u);
    }
    // A server that does not offer STARTTLS hears nothing after EHLO.
    {
        ScriptedSmtpServer server([](PeerConnection& c, std::vector<std::string>& seen) {
            c.send("220 plain only\r\n");
            seen.push_back(c.readLine());
            c.send("250-plain.test\r\n250-AUTH PLAIN LOGIN\r\n250 8BITMIME\r\n");
            seen.push_back(c.waitClosed() ? "closed" : "open");
        });
        MailMessage m = message();
        EXPECT_EQ(sendTo(server.server(), SmtpSecurity::StartTls, "pw", m),
                  "The server does not offer STARTTLS; nothing was sent over the unencrypted connection");
        EXPECT_EQ(server.finish(), (std::vector<std::string>{"EHLO " + hostName(), "closed"}));
    }
    // One that offers it and then refuses: its reply, and no AUTH.
    {
        ScriptedSmtpServer server([](PeerConnection& c, std::vector<std::string>& seen) {
            c.send("220 ready\r\n");
            seen.push_back(c.readLine());
            c.send("250-tls.test\r\n250-STARTTLS\r\n250 AUTH PLAIN\r\n");
            seen.push_back(c.readLine());
            c.send("454 4.7.0 TLS not available\r\n");
            seen.push_back(c.readLine());
            c.send("221 bye\r\n");
        });
        MailMessage m = message();
        EXPECT_EQ(sendTo(server.server(), SmtpSecurity::StartTls, "pw", m), "454 4.7.0 TLS not available");
        EXPECT_EQ(server.finish(), (std::vector<std::string>{"EHLO " + hostName(), "STARTTLS", "QUIT"}));
    }
}
