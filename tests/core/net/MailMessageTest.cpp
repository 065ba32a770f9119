#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <sstream>
#include <string>

#include "TestSupport.h"
#include "net/MailMessage.h"

using namespace tolvan;
using namespace tolvan::test;

namespace {

// Values in the case files may hold \r, \n, \t, \x20 and \\ escapes.
std::string unescape(const std::string& s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        const char c = s[++i];
        if (c == 'r')
            out += '\r';
        else if (c == 'n')
            out += '\n';
        else if (c == 't')
            out += '\t';
        else if (c == 'x' && i + 2 < s.size()) {
            out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else
            out += c;
    }
    return out;
}

MailAddress addressOf(const std::string& value)
{
    const std::size_t bar = value.find('|');
    return MailAddress(unescape(value.substr(0, bar)), unescape(value.substr(bar + 1)));
}

// Builds a message from a case's input.txt: "key: value" lines, then "body:"
// and the body lines.
MailMessage messageFromCase(const std::string& text)
{
    MailMessage m;
    std::istringstream in(text);
    std::string line;
    bool inBody = false;
    std::vector<std::string> body;
    while (std::getline(in, line)) {
        if (inBody) {
            body.push_back(unescape(line));
            continue;
        }
        if (line == "body:") {
            inBody = true;
            continue;
        }
        const std::size_t colon = line.find(": ");
        const std::string key = line.substr(0, colon);
        const std::string value = line.substr(colon + 2);
        if (key == "sender")
            m.sender = addressOf(value);
        else if (key == "to")
            m.recipients.add(addressOf(value));
        else if (key == "cc")
            m.cc.add(addressOf(value));
        else if (key == "bcc")
            m.bcc.add(addressOf(value));
        else if (key == "subject")
            m.setSubject(unescape(value));
        else if (key == "header")
            m.headers.push_back(unescape(value));
        else if (key == "receipt")
            m.returnReceipt = value == "1";
        else if (key == "priority")
            m.priority = value == "high" ? MailMessage::Priority::High : MailMessage::Priority::Low;
        else if (key == "date")
            m.date = static_cast<std::time_t>(std::stoll(value));
        else if (key == "message-id")
            m.messageId = value;
    }
    m.setBody(body);
    return m;
}

std::string crlf(const std::string& lf)
{
    std::string out;
    for (char c : lf) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

class MailMessageGolden : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
};

}  // namespace

TEST_P(MailMessageGolden, EncodesAsWrittenByHand)
{
    const std::string dir = std::string("mail/") + GetParam() + "/";
    const MailMessage m = messageFromCase(testData(dir + "input.txt"));
    std::ostringstream out;
    m.encode(out);
    EXPECT_EQ(out.str(), crlf(testData(dir + "expected.eml")));
}

INSTANTIATE_TEST_SUITE_P(Cases, MailMessageGolden,
                         ::testing::Values("plain-7bit", "long-line-qp", "utf8", "header-safety", "folded-subject"),
                         [](const auto& info) {
                             std::string n = info.param;
                             for (char& c : n)
                                 if (c == '-')
                                     c = '_';
                             return n;
                         });

TEST(MailMessageTest, LengthLimitsAndValidation)
{
    MailMessage m;
    m.setSubject(std::string(300, 's'));
    EXPECT_EQ(m.subject().size(), 255u);
    // A cut never leaves half a UTF-8 sequence behind.
    MailAddress a(std::string(254, 'a') + "\xC3\xA9", std::string(300, 'n'));
    EXPECT_EQ(a.address(), std::string(254, 'a'));
    EXPECT_EQ(a.name().size(), 255u);

    try {
        m.validate();
        FAIL();
    } catch (const MailMessageError& e) {
        EXPECT_EQ(e.code(), 57100);
    }
    m.sender.setAddress("me@example.org");
    m.recipients.add("", "Nobody");
    try {
        m.validate();
        FAIL();
    } catch (const MailMessageError& e) {
        EXPECT_EQ(e.code(), 57101);
        EXPECT_STREQ(e.what(), "At least one Recipient, CC or BCC must be entered");
    }
    m.bcc.add("hidden@example.org", "");
    EXPECT_NO_THROW(m.validate());

    for (const char* bad : {"a@b.org\r\nDATA", "a@b.org\n", "a@b.org>x", "<a@b.org"}) {
        MailMessage n = m;
        n.cc.add(bad, "");
        EXPECT_THROW(n.checkAddresses(), MailMessageError) << bad;
    }
    EXPECT_NO_THROW(m.checkAddresses());

    m.setContentType("Text/PLAIN");
    EXPECT_EQ(m.contentType(), "text/plain");
    m.clear();
    EXPECT_TRUE(m.recipients.empty());
    EXPECT_TRUE(m.bcc.empty());
    EXPECT_TRUE(m.sender.address().empty());
}

TEST(MailMessageTest, MessageIdAndDateAreMadeUpWhenNotGiven)
{
    MailMessage m;
    m.sender = MailAddress("me@mail.example.org", "");
    m.recipients.add("you@example.org", "");
    std::ostringstream a;
    std::ostringstream b;
    m.encode(a);
    m.encode(b);
    const auto idOf = [](const std::string& s) {
        const std::size_t p = s.find("\r\nMessage-ID: <");
        return s.substr(p, s.find("\r\n", p + 2) - p);
    };
    EXPECT_NE(idOf(a.str()).find("@mail.example.org>"), std::string::npos) << a.str();
    EXPECT_NE(idOf(a.str()), idOf(b.str()));
    EXPECT_NE(a.str().find("\r\nDate: "), std::string::npos);
}

TEST(MailMessageTest, LineBreaksInsideBodyLinesNeverGoOutBare)
{
    MailMessage m;
    m.sender = MailAddress("me@example.org", "");
    m.recipients.add("you@example.org", "");
    m.setBody({"one\n.\nMAIL FROM:<x@example.org>", "two\r\n.three\rfour"});
    std::ostringstream out;
    m.encode(out);
    const std::string s = out.str();
    EXPECT_EQ(s.substr(s.find("\r\n\r\n") + 4),
              "one\r\n..\r\nMAIL FROM:<x@example.org>\r\ntwo\r\n..three\r\nfour\r\n");
}

TEST(MailMessageTest, AddressTextParsing)
{
    auto check = [](const std::string& text, const std::string& address, const std::string& name) {
        const MailAddress a = parseMailAddress(text);
        EXPECT_EQ(a.address(), address) << text;
        EXPECT_EQ(a.name(), name) << text;
    };
    check("\"Web Master\" <owner@example.org>", "owner@example.org", "Web Master");
    check("owner@example.org (Web Master)", "owner@example.org", "Web Master");
    check("  owner@example.org  ", "owner@example.org", "");
    check("<owner@example.org>", "owner@example.org", "");
    EXPECT_THROW(parseMailAddress("Web Master <owner@example.org"), TolvanError);
}

TEST(MailMessageTest, RfcDateUsesEnglishNamesAndTheZoneOffset)
{
    ::setenv("TZ", "CET-1", 1);
    ::tzset();
    EXPECT_EQ(rfc5322Date(1796748300), "Tue, 08 Dec 2026 17:45:00 +0100");
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    EXPECT_EQ(rfc5322Date(0), "Thu, 01 Jan 1970 00:00:00 +0000");
}
