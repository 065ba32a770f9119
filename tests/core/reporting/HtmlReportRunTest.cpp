// A whole submission run with both automatic reports ticked: after each site the
// run writes reports/<title>.htm and reports/<title>.txt describing that site.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "TestSupport.h"
#include "profiles/ProfileStore.h"
#include "reporting/AutoReports.h"
#include "settings/Settings.h"
#include "submit/SubmissionDriver.h"
#include "submit/SubmissionTransport.h"

namespace fs = std::filesystem;
using namespace tolvan;
using tolvan::test::TempDir;

namespace {

// Engine "Zed" turns the second site away; every other request is taken.
struct FakeEngines : SubmissionTransport {
    RequestResult send(const std::string&, const std::string& url, const std::string& body, EventPump&) override
    {
        if (url.find("/zed") != std::string::npos && body.find("second") != std::string::npos)
            return {true, "10061: Connection refused."};
        return {};
    }
    void interrupt() override {}
};

// The Submit page's part: writes each automatic report as the run asks.
struct ReportingView : SubmissionView {
    const AutoReports* reports = nullptr;
    const SiteProfile* site = nullptr;
    const SubmissionRun* run = nullptr;
    std::vector<std::string> messages;

    void writeAutoReport(AutoReportKind kind) override { reports->write(kind, *site, *run); }
    void showMessage(const std::string& text) override { messages.push_back(text); }
    void pump() override {}
    void setRunning(bool) override {}
    void setStatus(const std::string&, Blink) override {}
    void setBeingSubmitted(const std::string&) override {}
    void setCurrentEngine(const std::string&) override {}
    void setGauges(int, int, int) override {}
    void setRemainingEngines(const std::vector<std::string>&) override {}
    void setResults(const SubmissionRun&) override {}
    void setLamp(Lamp) override {}
    void resetSitesCaption() override {}
    void siteProfileChanged(const SiteProfile&) override {}
    void playSound(RunSound) override {}
};

std::string engineDefinition(const std::string& action)
{
    return "[Fields]\r\nURL=url\r\nTITLE=title\r\n[SITE]\r\nACTION=" + action
           + "\r\nMETHOD=POST\r\nURL=http://engine.example/\r\n";
}

}  // namespace

TEST(AutomaticReportsInARun, EverySiteGetsItsOwnHtmlAndTextReport)
{
    TempDir base;
    for (const char* engine : {"Alpha", "Zed"})
        base.write(std::string("data/") + engine + ".tlx",
                   engineDefinition(std::string("http://engine.example/") + (engine[0] == 'Z' ? "zed" : "alpha")));
    const ProfileStore store(base.path());
    std::vector<std::string> names, addresses;
    SiteProfile first;
    first.protocol = "http://";
    first.address = "first.example/";
    first.title = "First <Site>";
    first.descriptionLines = {"The first one."};
    store.saveProfile("First", first, names, addresses);
    SiteProfile second = first;
    second.address = "second.example/";
    second.title = "Second Site";
    second.descriptionLines = {"The second one."};
    store.saveProfile("Second", second, names, addresses);

    Settings settings;
    settings.oryxname = "Acme Reports";
    settings.oryxurl = "http://acme.example/";
    const AutoReports reports(base.path(), settings, 2);
    FakeEngines engines;
    ReportingView view;
    SubmissionDriver driver(base.path(), view, engines);
    SiteProfile working;  // the Site Data page
    view.reports = &reports;
    view.site = &working;
    view.run = &driver.state();

    RunRequest request;
    request.sites = {"http://first.example/", "http://second.example/"};
    request.engines = {"Alpha", "Zed"};
    request.autoHtml = true;
    request.autoText = true;
    ASSERT_EQ(driver.run(request, working), RunEnd::Completed);

    // reports/ was created by the first report; the title is cleaned for the name.
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(base.file("reports")))
        files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"First _Site_.htm", "First _Site_.txt", "Second Site.htm",
                                               "Second Site.txt"}));

    const std::string firstText = base.read("reports/First _Site_.txt");
    EXPECT_NE(firstText.find("\r\nAcme Reports Submission Report\r\n"), std::string::npos);
    EXPECT_NE(firstText.find("\r\nTitle                : First <Site>\r\n"), std::string::npos);
    EXPECT_NE(firstText.find("\r\n2 Successful Submissions...\r\n"), std::string::npos);
    EXPECT_NE(firstText.find("\r\n0 Unsuccessful Submissions...\r\n"), std::string::npos);
    EXPECT_NE(firstText.find("\r\nDescription          : The first one."), std::string::npos);

    const std::string secondText = base.read("reports/Second Site.txt");
    EXPECT_NE(secondText.find("\r\nWeb Page             : http://second.example/\r\n"), std::string::npos);
    EXPECT_NE(secondText.find("\r\n1 Successful Submissions...\r\n-"), std::string::npos);
    EXPECT_NE(secondText.find("\r\n\r\nZed\r\n\r\n"), std::string::npos);

    const std::string firstPage = base.read("reports/First _Site_.htm");
    EXPECT_NE(firstPage.find(">First &lt;Site&gt;</font>"), std::string::npos);
    EXPECT_NE(firstPage.find("<a\r\nhref=\"http://acme.example/\">"), std::string::npos);
    const std::string secondPage = base.read("reports/Second Site.htm");
    EXPECT_NE(secondPage.find("color=\"#FFFFFF\">Zed</font></td> </tr>\r\n"), std::string::npos);
    EXPECT_EQ(secondPage.find("first.example"), std::string::npos);
}
