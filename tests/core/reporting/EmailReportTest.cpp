#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "../net/SmtpTestPeers.h"
#include "TestSupport.h"
#include "net/MailMessage.h"
#include "net/SmtpClient.h"
#include "profiles/SiteProfile.h"
#include "reporting/EmailReport.h"
#include "submit/SubmissionRun.h"
#include "util/Clock.h"

using namespace tolvan;
using namespace tolvan::test;
using Lines = std::vector<std::string>;

namespace {

Lines linesOf(const std::string& text)
{
    Lines lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        lines.push_back(l);
    return lines;
}

// "key: value" pairs of a case's input.txt, in file order.
std::vector<std::pair<std::string, std::string>> pairsOf(const std::string& text)
{
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& l : linesOf(text)) {
        const std::size_t colon = l.find(": ");
        out.emplace_back(l.substr(0, colon), l.substr(colon + 2));
    }
    return out;
}

struct FixedClock : Clock {
    std::time_t t;
    explicit FixedClock(std::time_t at) : t(at) {}
    std::time_t now() const override { return t; }
};

EmailReportSettings mailSettings(const std::string& server = "127.0.0.1:25")
{
    EmailReportSettings s;
    s.smtpServer = server;
    s.fromAddress = "reports@example.org";
    s.fromName = "Tolvan by Quendel";
    s.subject = "Tolvan Report";
    s.urlOnReports = "http://www.quendel.com/";
    return s;
}

}  // namespace

TEST(EmailReportTest, SubmissionBodyMatchesHandWrittenReport)
{
    ReportData d;
    Lines custom;
    SiteProfile site;
    SubmissionRun run;
    for (const auto& [k, v] : pairsOf(testData("reporting/email-submission/input.txt"))) {
        if (k == "custom")
            custom.push_back(v);
        else if (k == "name")
            d.nameOnReports = v;
        else if (k == "url")
            d.urlOnReports = v;
        else if (k == "date")
            d.date = v;
        else if (k == "protocol")
            site.protocol = v;
        else if (k == "address")
            site.address = v;
        else if (k == "title")
            site.title = v;
        else if (k == "category")
            site.category = v;
        else if (k == "description")
            site.descriptionLines.push_back(v);
        else if (k.rfind("keyword", 0) == 0)
            site.keywords[static_cast<std::size_t>(std::stoi(k.substr(7)) - 1)] = v;
        else if (k == "start")
            run.startTime = v;
        else if (k == "completed")
            run.completedTime = v;
        else if (k == "success")
            run.successList.push_back(v);
        else if (k == "failed")
            run.failedList.push_back(v);
    }
    run.descriptionText = site.descriptionText();
    const ReportData data = makeReportData(site, run, ReportSettings{d.nameOnReports, d.urlOnReports}, d.date);
    EXPECT_EQ(submissionMailBody(data, custom), linesOf(testData("reporting/email-submission/expected.txt")));
}

TEST(EmailReportTest, RankBodyMatchesHandWrittenReport)
{
    RankData rank;
    EmailReportSettings s;
    std::string date;
    std::string time;
    const char* names[] = {"Infoseek", "Yahoo", "AltaVista", "AolNetFind", "Lycos", "Excite", "HotBot", "WebCrawler"};
    for (const auto& [k, v] : pairsOf(testData("reporting/email-rank/input.txt"))) {
        if (k == "name")
            s.nameOnReports = v;
        else if (k == "url")
            s.urlOnReports = v;
        else if (k == "date")
            date = v;
        else if (k == "time")
            time = v;
        else if (k == "site")
            rank.site = v;
        else if (k == "phrase")
            rank.phrase = v;
        else if (k == "depth")
            rank.depth = v;
        else if (k == "engine") {
            std::istringstream in(v);
            std::string name;
            int selected = 0;
            int position = 0;
            in >> name >> selected >> position;
            for (std::size_t i = 0; i < kRankEngineCount; ++i)
                if (name == names[i])
                    rank.engines[i] = RankEntry{selected == 1, position};
        }
    }
    EXPECT_EQ(rankMailBody(rank, s, date, time), linesOf(testData("reporting/email-rank/expected.txt")));

    // Only Yahoo ticked and not found; an empty Name on Reports.
    RankData yahoo;
    yahoo[RankEngine::Yahoo].selected = true;
    s.nameOnReports.clear();
    const Lines body = rankMailBody(yahoo, s, date, time);
    EXPECT_EQ(body[2], " Website Ranking Report");
    EXPECT_EQ(body[15], "Yahoo*                Not Found*");
    EXPECT_EQ(body[16], "");
    EXPECT_EQ(body[body.size() - 2], "Site Submissions by ");
}

TEST(EmailReportTest, ComposeFollowsTheReportKind)
{
    FixedClock clock(1796748300);
    Clock::install(&clock);
    EmailReportSettings s = mailSettings();
    SiteProfile site;
    SubmissionRun run;
    RankData rank;
    const Lines submission = composeReport({true, false}, s, site, run, rank);
    // No custom message: two empty lines, then the banner.
    EXPECT_EQ(Lines(submission.begin(), submission.begin() + 3), (Lines{"", "", "Tolvan Site Submission Report"}));
    EXPECT_EQ(submission[5], "Submission Started   : ");
    const Lines ranked = composeReport({false, true}, s, site, run, rank);
    EXPECT_EQ(ranked[2], "Tolvan Website Ranking Report");
    const Lines both = composeReport({true, true}, s, site, run, rank);
    EXPECT_EQ(both.size(), submission.size() + ranked.size());
    EXPECT_EQ(both[submission.size() + 2], "Tolvan Website Ranking Report");
    EXPECT_TRUE(composeReport({false, false}, s, site, run, rank).empty());
    Clock::install(nullptr);
}

TEST(EmailReportTest, SettingsChecksInOrder)
{
    EmailReportSettings s;
    EXPECT_EQ(emailButtonCheck(s), "You must specify an SMTP server on the options tab before you can use EMAIL reports");
    s.smtpServer = "mail";
    EXPECT_EQ(emailButtonCheck(s), "You must specify a FROM NAME on the options tab before you can use EMAIL reports");
    s.fromName = "Me";
    EXPECT_EQ(emailButtonCheck(s), "You must specify a return address on the options tab before you can use EMAIL reports");
    s.fromAddress = "me@example.org";
    EXPECT_EQ(emailButtonCheck(s), "");
    EXPECT_TRUE(autoMailSettingsMissing(s)) << "the automatic mail also needs a subject";
    s.subject = "Report";
    EXPECT_FALSE(autoMailSettingsMissing(s));

    EXPECT_EQ(sendCheck(s, ""), "You must specify an E-Mail Address to mail this report to.");
    EXPECT_EQ(sendCheck(s, "you@example.org"), "");
    s.smtpServer.clear();
    EXPECT_EQ(sendCheck(s, "you@example.org"),
              "You have not defined an SMTP Server on the Options tab of the main form.");
}

TEST(EmailReportTest, SendsTheEditedReportThroughTheServer)
{
    CaptureSmtpServer server({"a@example.org, b@example.org"});
    EmailReportSettings s = mailSettings(server.server());
    SmtpClient client;
    MailMessage message;
    sendReport(client, message, s, "owner@example.org", std::string(300, 'S'), {"Edited line", "."});
    ASSERT_TRUE(server.hasMessage(1));
    const std::string data = server.message(1);
    EXPECT_EQ(data.rfind("From:     Tolvan by Quendel <reports@example.org>\r\nTo:        <owner@example.org>\r\n", 0), 0u);
    EXPECT_NE(data.find("\r\nSubject:  " + std::string(255, 'S') + "\r\n"), std::string::npos);
    EXPECT_EQ(data.substr(data.find("\r\n\r\n") + 4), "Edited line\r\n.\r\n\r\n");

    // Two addresses typed into the To field go as one address, which is refused.
    std::string rejected;
    client.onAddressRejected = [&](const std::string& a, const std::string&, bool&) { rejected = a; };
    EXPECT_THROW(sendReport(client, message, s, "a@example.org, b@example.org", "x", {"y"}), SmtpServerError);
    EXPECT_EQ(rejected, "a@example.org, b@example.org");
}

TEST(EmailReportTest, AutomaticMailGoesToTheWebmaster)
{
    CaptureSmtpServer server;
    EmailReportSettings s = mailSettings(server.server());
    s.customMessage = {"Hello"};
    SiteProfile site;
    site.title = "Example";
    SubmissionRun run;
    run.successList = {"Lycos"};

    EXPECT_EQ(sendmail(s, site, run, EventPump::plain()), AutoMailResult::NoAddress);
    site.email = "webmaster@example.org";
    EmailReportSettings incomplete = s;
    incomplete.subject.clear();
    EXPECT_EQ(sendmail(incomplete, site, run, EventPump::plain()), AutoMailResult::SettingsMissing);
    EXPECT_FALSE(server.hasMessage(1));

    EXPECT_EQ(sendmail(s, site, run, EventPump::plain()), AutoMailResult::Sent);
    ASSERT_TRUE(server.hasMessage(1));
    EXPECT_NE(server.envelope(1).find("\"rcpt_tos\": [\"webmaster@example.org\"]"), std::string::npos);
    const std::string data = server.message(1);
    EXPECT_NE(data.find("\r\nSubject:  Tolvan Report\r\n"), std::string::npos);
    EXPECT_NE(data.find("\r\n\r\nHello\r\n\r\n\r\nTolvan Site Submission Report\r\n"), std::string::npos);
    EXPECT_NE(data.find("\r\n1 Successful Submissions...\r\n"), std::string::npos);
    EXPECT_EQ(data.find("Website Ranking Report"), std::string::npos);
}
