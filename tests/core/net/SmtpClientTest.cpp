#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "SmtpTestPeers.h"
#include "net/MailMessage.h"
#include "net/SmtpClient.h"

using namespace tolvan;
using namespace tolvan::test;

namespace {

// Points the client's temporary files at a directory of the test's own.
class TempDirScope {
public:
    TempDirScope()
    {
        if (const char* old = std::getenv("TMPDIR"))
            old_ = old;
        ::setenv("TMPDIR", dir_.path().c_str(), 1);
    }
    ~TempDirScope()
    {
        if (old_.empty())
            ::unsetenv("TMPDIR");
        else
            ::setenv("TMPDIR", old_.c_str(), 1);
    }
    bool empty() const { return std::filesystem::is_empty(dir_.path()); }

private:
    TempDir dir_;
    std::string old_;
};

MailMessage reportMessage()
{
    MailMessage m;
    m.sender = MailAddress("reports@example.org", "Tolvan by Quendel");
    m.recipients.add("owner@example.org", "");
    m.setSubject("Tolvan Report");
    m.setBody({"First line", ".", ".x", "", "Last line"});
    return m;
}

// Records the client's events in order.
struct EventLog {
    std::vector<std::string> events;
    void attach(SmtpClient& c)
    {
        c.onOpen = [this] { events.push_back("open"); };
        c.onPrepare = [this] { events.push_back("prepare"); };
        c.onSending = [this] { events.push_back("sending"); };
        c.onMailSent = [this] { events.push_back("sent"); };
        c.onClosing = [this] { events.push_back("closing"); };
        c.onClosed = [this] { events.push_back("closed"); };
        c.onCancel = [this] { events.push_back("cancel"); };
        c.onError = [this](const std::string& t) { events.push_back("error:" + t); };
        c.onProgress = [this](int perc, long transferred) {
            events.push_back("progress:" + std::to_string(perc) + "/" + std::to_string(transferred));
        };
    }
    std::vector<std::string> withoutProgress() const
    {
        std::vector<std::string> out;
        for (const auto& e : events)
            if (e.rfind("progress:", 0) != 0)
                out.push_back(e);
        return out;
    }
};

// The standard happy dialogue up to and including the data, for scripts.
void answerUpToData(PeerConnection& c, std::vector<std::string>& seen, int recipients = 1)
{
    seen.push_back(c.readLine());  // HELO
    c.send("250 hello\r\n");
    seen.push_back(c.readLine());  // MAIL FROM
    c.send("250 ok\r\n");
    for (int i = 0; i < recipients; ++i) {
        seen.push_back(c.readLine());
        c.send("250 ok\r\n");
    }
    seen.push_back(c.readLine());  // DATA
    c.send("354 go ahead\r\n");
    c.readData();
    seen.push_back(".");
    c.send("250 queued\r\n");
    seen.push_back(c.readLine());  // QUIT
    c.send("221 bye\r\n");
}

std::string hostName()
{
    char name[256] = {};
    ::gethostname(name, sizeof name - 1);
    return name;
}

}  // namespace

TEST(SmtpClientTest, DeliversReportToRealServerWithExactEnvelopeAndBody)
{
    CaptureSmtpServer server;
    TempDirScope tmp;
    MailMessage m = reportMessage();
    m.cc.add("cc@example.org", "Copy Reader");
    m.bcc.add("hidden@example.org", "Hidden");
    SmtpClient client;
    EventLog log;
    log.attach(client);
    client.server = server.server();
    client.setWinsockLoaded(true);
    client.mailMessage = &m;
    client.send();

    ASSERT_TRUE(server.hasMessage(1));
    const std::string env = server.envelope(1);
    EXPECT_NE(env.find("\"helo\": \"" + hostName() + "\""), std::string::npos) << env;
    EXPECT_NE(env.find("\"mail_from\": \"reports@example.org\""), std::string::npos) << env;
    EXPECT_NE(env.find("\"rcpt_tos\": [\"owner@example.org\", \"cc@example.org\", \"hidden@example.org\"]"),
              std::string::npos)
        << env;

    const std::string data = server.message(1);
    EXPECT_EQ(data.rfind("From:     Tolvan by Quendel <reports@example.org>\r\n"
                         "To:        <owner@example.org>\r\n"
                         "CC:       Copy Reader <cc@example.org>\r\n"
                         "Date: ",
                         0),
              0u)
        << data;
    EXPECT_NE(data.find("\r\nMessage-ID: <"), std::string::npos);
    EXPECT_NE(data.find("\r\nSubject:  Tolvan Report\r\nMime-Version: 1.0\r\n"
                        "Content-Type: text/plain; charset=\"us-ascii\"\r\n"
                        "Content-Transfer-Encoding: 7bit\r\n\r\n"),
              std::string::npos)
        << data;
    EXPECT_EQ(data.find("hidden@example.org"), std::string::npos) << "BCC must never be a header";
    // The server takes the doubled dots off again: the body arrives as typed,
    // followed by the empty line that precedes the end of data.
    EXPECT_EQ(data.substr(data.find("\r\n\r\n") + 4), "First line\r\n.\r\n.x\r\n\r\nLast line\r\n\r\n");

    EXPECT_EQ(log.withoutProgress(),
              (std::vector<std::string>{"open", "prepare", "sending", "sent", "closing", "closed"}));
    ASSERT_GE(log.events.size(), 2u);
    EXPECT_EQ(log.events[log.events.size() - 4], "progress:0/0");
    EXPECT_EQ(log.events[log.events.size() - 5].rfind("progress:100/", 0), 0u);
    EXPECT_TRUE(tmp.empty()) << "the temporary message file must be gone";
    EXPECT_FALSE(client.connected());
    EXPECT_EQ(m.body()[1], ".") << "sending does not change the message";
}

TEST(SmtpClientTest, LongLinesSwitchToQuotedPrintableAndDecodeBack)
{
    CaptureSmtpServer server;
    for (const std::size_t length : {255u, 256u}) {
        MailMessage m = reportMessage();
        std::string longLine;
        for (std::size_t i = 0; longLine.size() < length; ++i)
            longLine += (i % 9 == 8) ? ' ' : static_cast<char>('a' + i % 26);
        longLine.resize(length);
        m.setBody({"Intro = start", longLine, ".", ".leading dot", "Gr\xC3\xBC\xC3\x9F"
                                                                "e"});
        if (length == 255)
            m.setBody({"Intro", longLine, ".", ".leading dot"});
        SmtpClient client;
        client.server = server.server();
        client.setWinsockLoaded(true);
        client.mailMessage = &m;
        client.send();
    }
    const std::string plain = server.message(1);
    EXPECT_NE(plain.find("Content-Transfer-Encoding: 7bit"), std::string::npos);
    EXPECT_NE(plain.find("charset=\"us-ascii\""), std::string::npos);
    const std::string qp = server.message(2);
    EXPECT_NE(qp.find("Content-Transfer-Encoding: quoted-printable"), std::string::npos);
    EXPECT_NE(qp.find("charset=\"utf-8\""), std::string::npos);
    std::size_t start = 0;
    for (std::size_t end; (end = qp.find("\r\n", start)) != std::string::npos; start = end + 2)
        EXPECT_LE(end - start, 76u) << qp.substr(start, end - start);

    // Python's mail parser decodes the body back to exactly what was typed.
    const std::string decoded = runCapture(
        {"/usr/bin/python3", "-c",
         "import email,sys\n"
         "m=email.message_from_binary_file(open(sys.argv[1],'rb'))\n"
         "sys.stdout.buffer.write(m.get_payload(decode=True))",
         server.messageFile(2)});
    std::string longLine;
    for (std::size_t i = 0; longLine.size() < 256; ++i)
        longLine += (i % 9 == 8) ? ' ' : static_cast<char>('a' + i % 26);
    // (The parser hands the text back with LF line ends.)
    EXPECT_EQ(decoded, "Intro = start\n" + longLine + "\n.\n.leading dot\nGr\xC3\xBC\xC3\x9F" "e\n\n");
}

TEST(SmtpClientTest, RejectedRecipientEndsSendWithServerReplyUnlessHandlerProceeds)
{
    CaptureSmtpServer server({"nobody@example.org"});
    TempDirScope tmp;
    MailMessage m = reportMessage();
    m.recipients.clear();
    m.recipients.add("nobody@example.org", "");
    m.recipients.add("owner@example.org", "");
    SmtpClient client;
    EventLog log;
    log.attach(client);
    std::vector<std::string> rejected;
    client.onAddressRejected = [&](const std::string& address, const std::string& reply, bool& proceed) {
        rejected.push_back(address + "|" + reply);
        EXPECT_FALSE(proceed);
    };
    client.server = server.server();
    client.setWinsockLoaded(true);
    client.mailMessage = &m;
    try {
        client.send();
        FAIL() << "no error";
    } catch (const SmtpServerError& e) {
        EXPECT_STREQ(e.what(), "550 5.1.1 <nobody@example.org>: Recipient address rejected");
        EXPECT_EQ(e.code(), 550);
    }
    EXPECT_EQ(rejected, std::vector<std::string>{"nobody@example.org|550 5.1.1 <nobody@example.org>: Recipient address rejected"});
    // Server replies do not go through OnError; the connection is closed with QUIT.
    EXPECT_EQ(log.withoutProgress(), (std::vector<std::string>{"open", "prepare", "sending", "closing", "closed"}));
    EXPECT_FALSE(server.hasMessage(1));
    EXPECT_TRUE(tmp.empty());

    client.onAddressRejected = [](const std::string&, const std::string&, bool& proceed) { proceed = true; };
    client.send();
    ASSERT_TRUE(server.hasMessage(1));
    EXPECT_NE(server.envelope(1).find("\"rcpt_tos\": [\"owner@example.org\"]"), std::string::npos);
}

TEST(SmtpClientTest, MultiLineGreetingAndHeloRetryFollowTheDialogueOrder)
{
    ScriptedSmtpServer server([](PeerConnection& c, std::vector<std::string>& seen) {
        c.send("220-mail.test first line\r\n220-second line\r\n220 ready\r\n");
        seen.push_back(c.readLine());
        c.send("500 not like that\r\n");
        answerUpToData(c, seen);
    });
    MailMessage m = reportMessage();
    SmtpClient client;
    client.server = server.server();
    client.setWinsockLoaded(true);
    client.mailMessage = &m;
    client.send();
    EXPECT_EQ(server.finish(), (std::vector<std::string>{"HELO " + hostName(), "HELO", "MAIL FROM:<reports@example.org>",
                                                         "RCPT TO:<owner@example.org>", "DATA", ".", "QUIT"}));
}

TEST(SmtpClientTest, ServerErrorsStillEndWithQuit)
{
    ScriptedSmtpServer server([](PeerConnection& c, std::vector<std::string>& seen) {
        c.send("220 ready\r\n");
        seen.push_back(c.readLine());
        c.send("500 no\r\n");
        seen.push_back(c.readLine());
        c.send("501-still no\r\n501 really not\r\n");
        seen.push_back(c.readLine());
        c.send("221 bye\r\n");
        seen.push_back(c.waitClosed() ? "closed" : "open");
    });
    MailMessage m = reportMessage();
    SmtpClient client;
    client.server = server.server();
    client.setWinsockLoaded(true);
    client.mailMessage = &m;
    try {
        client.send();
        FAIL() << "no error";
    } catch (const SmtpServerError& e) {
        EXPECT_STREQ(e.what(), "501 really not");  // the last line of the reply
    }
    EXPECT_EQ(server.finish(), (std::vector<std::string>{"HELO " + hostName(), "HELO", "QUIT", "closed"}));
}

TEST(SmtpClientTest, MessageChecksComeAfterHeloAndUnsafeAddressesBeforeAnything)
{
    {
        ScriptedSmtpServer server([](PeerConnection& c, std::vector<std::string>& seen) {
            c.send("220 ready\r\n");
            seen.push_back(c.readLine());
            c.send("250 hi\r\n");
            seen.push_back(c.readLine());
            c.send("221 bye\r\n");
        });
        MailMessage m = reportMessage();
        m.sender.setAddress("");
        SmtpClient client;
        client.server = server.server();
        client.setWinsockLoaded(true);
        client.mailMessage = &m;
        try {
            client.send();
            FAIL() << "no error";
        } catch (const MailMessageError& e) {
            EXPECT_EQ(e.code(), 57100);
            EXPECT_STREQ(e.what(), "The address of sender is required");
        }
        EXPECT_EQ(server.finish(), (std::vector<std::string>{"HELO " + hostName(), "QUIT"}));
    }
    {
        // Nothing listens on this port: a connection attempt would fail with
        // "Error #10061", so the message error proves none was made.
        MailMessage m = reportMessage();
        m.recipients.clear();
        m.recipients.add("owner@example.org>\r\nRCPT TO:<victim@example.org", "");
        SmtpClient client;
        client.server = "127.0.0.1:" + std::to_string(freeLoopbackPort());
        client.setWinsockLoaded(true);
        client.mailMessage = &m;
        try {
            client.send();
            FAIL() << "no error";
        } catch (const MailMessageError& e) {
            EXPECT_NE(std::string(e.what()).find("cannot be used"), std::string::npos);
        }
        m.recipients.clear();
        try {
            client.send();
            FAIL() << "no error";
        } catch (const SmtpSocketError& e) {
            EXPECT_STREQ(e.what(), "Error #10061");
        }
    }
}

TEST(SmtpClientTest, SetUpErrorsGoThroughOnError)
{
    MailMessage m = reportMessage();
    SmtpClient client;
    EventLog log;
    log.attach(client);
    client.mailMessage = &m;
    try {
        client.send();
        FAIL();
    } catch (const SmtpSocketError& e) {
        EXPECT_EQ(e.code(), 57002);
        EXPECT_STREQ(e.what(), "Server property is required");
    }
    client.server = "127.0.0.1:25";
    try {
        client.send();
        FAIL();
    } catch (const SmtpSocketError& e) {
        EXPECT_STREQ(e.what(), "Winsock is not loaded");
    }
    EXPECT_EQ(log.events, (std::vector<std::string>{"error:Server property is required", "open",
                                                    "error:Winsock is not loaded"}));

    ScriptedSmtpServer server([](PeerConnection& c, std::vector<std::string>& seen) {
        c.send("220 ready\r\n");
        seen.push_back(c.readLine());
        c.send("250 hi\r\n");
        seen.push_back(c.readLine());
        c.send("221 bye\r\n");
    });
    client.server = server.server();
    client.setWinsockLoaded(true);
    client.mailMessage = nullptr;
    try {
        client.send();
        FAIL();
    } catch (const SmtpSocketError& e) {
        EXPECT_STREQ(e.what(), "MailMessage property must be assigned");
    }
    EXPECT_EQ(server.finish().back(), "QUIT");
}

TEST(SmtpClientTest, PortComesFromServerTextThenServiceThenDefault)
{
    EXPECT_EQ(SmtpClient::portOf("mail.example.org:2525"), 2525);
    EXPECT_EQ(SmtpClient::portOf("mail.example.org:abc"), 0);
    EXPECT_EQ(SmtpClient::portOf("mail.example.org:0"), 0);
    EXPECT_EQ(SmtpClient::portOf("mail.example.org"), 0);
    EXPECT_EQ(SmtpClient::portOf("mail.example.org:99999"), 0);

    // Letters after the colon: the service look-up finds nothing here, so the
    // default port is used.
    ScriptedSmtpServer server([](PeerConnection& c, std::vector<std::string>& seen) {
        c.send("220 ready\r\n");
        answerUpToData(c, seen);
    });
    const std::string s = server.server();
    MailMessage m = reportMessage();
    SmtpClient client;
    client.server = "127.0.0.1:abc";
    client.defaultPort = std::stoi(s.substr(s.find(':') + 1));
    client.serviceName = "tolvan-no-such-service";
    client.setWinsockLoaded(true);
    client.mailMessage = &m;
    client.send();
    EXPECT_EQ(server.finish().size(), 6u);

    client.serviceName.clear();
    try {
        client.send();
        FAIL();
    } catch (const SmtpSocketError& e) {
        EXPECT_STREQ(e.what(), "Service name is required");
    }
}

TEST(SmtpClientTest, HostNamesResolveWithoutBlocking)
{
    ScriptedSmtpServer server([](PeerConnection& c, std::vector<std::string>& seen) {
        c.send("220 ready\r\n");
        answerUpToData(c, seen);
    });
    const std::string s = server.server();
    MailMessage m = reportMessage();
    SmtpClient client;
    client.server = " localhost " + s.substr(s.find(':'));
    client.setWinsockLoaded(true);
    client.mailMessage = &m;
    client.send();
    EXPECT_EQ(server.finish().back(), "QUIT");
}

TEST(SmtpClientTest, SilentServerTimesOutAndRefusedPortFailsAtOnce)
{
    ScriptedSmtpServer server([](PeerConnection& c, std::vector<std::string>& seen) {
        seen.push_back(c.waitClosed() ? "closed" : "open");  // never greets
    });
    MailMessage m = reportMessage();
    SmtpClient client;
    EventLog log;
    log.attach(client);
    client.server = server.server();
    client.timeOut = 1;
    client.setWinsockLoaded(true);
    client.mailMessage = &m;
    try {
        client.send();
        FAIL();
    } catch (const SmtpTimedOutError& e) {
        EXPECT_STREQ(e.what(), "Operation timed out");
        EXPECT_EQ(e.code(), 57000);
    }
    EXPECT_EQ(log.events, (std::vector<std::string>{"open", "error:Operation timed out", "closing", "closed"}));
    EXPECT_EQ(server.finish(), std::vector<std::string>{"closed"});

    log.events.clear();
    client.server = "127.0.0.1:" + std::to_string(freeLoopbackPort());
    client.timeOut = 60;
    const auto started = std::chrono::steady_clock::now();
    try {
        client.send();
        FAIL();
    } catch (const SmtpSocketError& e) {
        EXPECT_STREQ(e.what(), "Error #10061");
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
    EXPECT_EQ(log.events, (std::vector<std::string>{"open", "error:Error #10061"}));
}

TEST(SmtpClientTest, CancelDuringSendClosesAndRaises)
{
    ScriptedSmtpServer server([](PeerConnection& c, std::vector<std::string>& seen) {
        c.send("220 ready\r\n");
        seen.push_back(c.readLine());
        c.send("250 hi\r\n");
        seen.push_back(c.waitClosed() ? "closed" : "open");  // cancelled before MAIL FROM
    });
    TempDirScope tmp;
    MailMessage m = reportMessage();
    SmtpClient client;
    EventLog log;
    log.attach(client);
    client.onSending = [&] {
        log.events.push_back("sending");
        client.cancel();
    };
    client.server = server.server();
    client.setWinsockLoaded(true);
    client.mailMessage = &m;
    try {
        client.send();
        FAIL();
    } catch (const SmtpCanceledError& e) {
        EXPECT_STREQ(e.what(), "Operation has been canceled");
    }
    EXPECT_EQ(log.events, (std::vector<std::string>{"open", "prepare", "sending", "cancel", "closing", "closed",
                                                    "error:Operation has been canceled"}));
    EXPECT_EQ(server.finish().back(), "closed");
    EXPECT_TRUE(tmp.empty());
}

namespace {

// Sends `piece` over and over until the client hangs up or `limit` bytes went.
void flood(PeerConnection& c, const std::string& piece, std::size_t limit)
{
    for (std::size_t sent = 0; sent < limit; sent += piece.size())
        if (!c.trySend(piece))
            return;
}

struct Outcome {
    std::string error;
    double seconds = 0;
};

// Greets through `script`'s server and sends one report; the error text and
// how long the send took.
Outcome sendThrough(ScriptedSmtpServer& server, int timeOut, const std::function<bool()>& stop = {})
{
    MailMessage m = reportMessage();
    SmtpClient client;
    client.server = server.server();
    client.timeOut = timeOut;
    client.stopRequested = stop;
    client.setWinsockLoaded(true);
    client.mailMessage = &m;
    const auto started = std::chrono::steady_clock::now();
    Outcome out;
    try {
        client.send();
    } catch (const SmtpError& e) {
        out.error = e.what();
    }
    out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_FALSE(client.connected());
    return out;
}

}  // namespace

TEST(SmtpClientTest, ServersThatKeepSendingAreCutOffByCapsAndStepDeadline)
{
    // A 100 MB reply line is refused after its first few KiB.
    {
        ScriptedSmtpServer server([](PeerConnection& c, std::vector<std::string>&) {
            flood(c, "220" + std::string(1 << 20, 'x'), 100u << 20);
        });
        const Outcome out = sendThrough(server, 60);
        EXPECT_EQ(out.error, "The server's reply line is too long (over 4096 bytes)");
        EXPECT_LT(out.seconds, 20);
    }
    // An endless multi-line greeting.
    {
        ScriptedSmtpServer server([](PeerConnection& c, std::vector<std::string>&) {
            std::string lines;
            for (int i = 0; i < 1000; ++i)
                lines += "220-still greeting\r\n";
            flood(c, lines, 100u << 20);
        });
        const Outcome out = sendThrough(server, 60);
        EXPECT_EQ(out.error, "The server's reply is too long (over 200 lines or 64 KiB)");
    }
    // A reply that trickles one byte at a time never completes: the step's
    // deadline ends it although bytes keep arriving.
    {
        ScriptedSmtpServer server([](PeerConnection& c, std::vector<std::string>&) {
            const std::string greeting = "220 a very slow server greets you at last\r\n";
            for (char ch : greeting) {
                if (!c.trySend(std::string(1, ch)))
                    return;
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
            }
        });
        const Outcome out = sendThrough(server, 2);
        EXPECT_EQ(out.error, "Operation timed out");
        EXPECT_LT(out.seconds, 10);
    }
}

TEST(SmtpClientTest, StopRequestEndsSendWhileServerFloods)
{
    // The stop flag is set by "the front end" while bytes of a reply line that
    // never ends keep arriving.
    ScriptedSmtpServer server([](PeerConnection& c, std::vector<std::string>&) {
        for (int i = 0; i < 2000; ++i) {
            if (!c.trySend("2"))
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    const auto started = std::chrono::steady_clock::now();
    int asked = 0;
    const Outcome out = sendThrough(server, 60, [&] {
        ++asked;
        return std::chrono::steady_clock::now() - started > std::chrono::milliseconds(500);
    });
    EXPECT_EQ(out.error, "Operation has been canceled");
    EXPECT_GT(asked, 1);
    EXPECT_LT(out.seconds, 10);
}
