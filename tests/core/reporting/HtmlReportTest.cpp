#include "reporting/HtmlReport.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "ReportGoldenCase.h"
#include "reporting/TextReport.h"
#include "util/Errors.h"

namespace fs = std::filesystem;
using namespace tolvan;
using tolvan::test::FixedClock;
using tolvan::test::loadReportCase;
using tolvan::test::TempDir;

class HtmlReportGolden : public ::testing::TestWithParam<const char*> {};

TEST_P(HtmlReportGolden, MatchesTheHandWrittenPage)
{
    const auto c = loadReportCase(GetParam());
    const std::string expected = tolvan::test::testData(std::string("reporting/") + GetParam() + "/expected.htm");
    EXPECT_EQ(htmlReport(c.data()), expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, HtmlReportGolden,
                         ::testing::Values("mixed_run", "no_failures", "before_any_run", "empty_name", "bare_url",
                                           "hostile_values"));

TEST(HtmlEscape, MarkupCharactersAndNonAsciiBecomeReferences)
{
    EXPECT_EQ(htmlEscape(R"(<a href="x">Tom & 'Jerry'</a>)"),
              "&lt;a href=&quot;x&quot;&gt;Tom &amp; &#39;Jerry&#39;&lt;/a&gt;");
    EXPECT_EQ(htmlEscape("&amp;"), "&amp;amp;");  // already-escaped text is shown as typed
    EXPECT_EQ(htmlEscape("plain text 123"), "plain text 123");
    EXPECT_EQ(htmlEscape(""), "");
    // Two-, three- and four-byte UTF-8 sequences.
    EXPECT_EQ(htmlEscape("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"), "&#233;&#8364;&#128512;");
    // Text that is not UTF-8 is read as Windows-1252: 0xE9 is é, 0x80 the euro sign.
    EXPECT_EQ(htmlEscape("caf\xE9 \x80"), "caf&#233; &#8364;");
}

TEST(HtmlReport, EveryLineEndsInCrLfAndNoValueCanAddMarkup)
{
    auto c = loadReportCase("hostile_values");
    const std::string page = htmlReport(c.data());
    // Split on CR LF: no bare LF or CR anywhere.
    std::size_t lines = 0;
    for (std::size_t pos = 0; pos < page.size();) {
        const auto end = page.find("\r\n", pos);
        ASSERT_NE(end, std::string::npos);
        const std::string line = page.substr(pos, end - pos);
        EXPECT_EQ(line.find('\n'), std::string::npos);
        EXPECT_EQ(line.find('\r'), std::string::npos);
        pos = end + 2;
        ++lines;
    }
    // 29 fixed lines, two per success entry, one per failure entry.
    EXPECT_EQ(lines, 29u + 2 * c.run.successList.size() + c.run.failedList.size());
    EXPECT_EQ(page.find("<script"), std::string::npos);
    EXPECT_EQ(page.find("<b>"), std::string::npos);
    EXPECT_EQ(page.find("<i>"), std::string::npos);
}

TEST(HtmlReport, SavedAutomaticallyBesideTheTextReport)
{
    TempDir dir;
    const FixedClock clock(1'800'000'000);
    auto c = loadReportCase("hostile_values");
    c.run.autoReport = true;

    const std::string written = savehtm(c.site, c.run, c.settings, dir.path());

    // The file name is cleaned; the page shows the title escaped.
    const std::string name = "_script_alert(_t_)__script_ & 'Friends'.htm";
    EXPECT_EQ(written, dir.file("reports/" + name));
    c.date = shortDate(clock.now());
    EXPECT_EQ(dir.read("reports/" + name), htmlReport(c.data()));
}

// What the run does at the end of each site when both boxes are ticked: set the
// completion time, set autoReport, write HTML then text. Each site keeps its own
// pair of reports, each describing that site only.
TEST(HtmlReport, AutomaticRunWritesBothReportsForEverySite)
{
    TempDir dir;
    SubmissionRun run;
    run.startTime = "10:00:00";
    ReportSettings settings;
    settings.urlOnReports = "http://www.tolvan.example/";

    const struct {
        const char* title;
        std::vector<std::string> success;
        std::vector<std::string> failed;
    } sites[] = {
        {"First Site", {"Alpha", "Beta"}, {"Timed Out: Gamma"}},
        {"Second Site", {"Delta"}, {}},
    };
    int n = 0;
    for (const auto& s : sites) {
        SiteProfile site;
        site.protocol = "http://";
        site.address = std::string("site") + std::to_string(++n) + ".example/";
        site.title = s.title;
        site.descriptionLines = {std::string("About ") + s.title};
        run.successList = s.success;
        run.failedList = s.failed;
        run.descriptionText = site.descriptionText();
        run.completedTime = "10:0" + std::to_string(n) + ":00";
        run.autoReport = true;
        savehtm(site, run, settings, dir.path());
        savetext(site, run, settings, dir.path());
    }

    const std::string firstText = dir.read("reports/First Site.txt");
    EXPECT_NE(firstText.find("Submission Completed : 10:01:00\r\n"), std::string::npos);
    EXPECT_NE(firstText.find("\r\nAlpha\r\nBeta\r\n\r\n"), std::string::npos);
    EXPECT_NE(firstText.find("\r\nTimed Out: Gamma\r\n\r\n"), std::string::npos);
    const std::string firstPage = dir.read("reports/First Site.htm");
    EXPECT_NE(firstPage.find(">About First Site </font>"), std::string::npos);
    EXPECT_EQ(firstPage.find("Delta"), std::string::npos);

    const std::string secondText = dir.read("reports/Second Site.txt");
    EXPECT_NE(secondText.find("Web Page             : http://site2.example/\r\n"), std::string::npos);
    EXPECT_NE(secondText.find("\r\n0 Unsuccessful Submissions...\r\n"), std::string::npos);
    EXPECT_EQ(secondText.find("Alpha"), std::string::npos);
    const std::string secondPage = dir.read("reports/Second Site.htm");
    EXPECT_NE(secondPage.find(">10:02:00</font>"), std::string::npos);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.file("reports")), fs::directory_iterator()), 4);
}

TEST(HtmlReport, WriteFailureThrowsAndLeavesNoPartialFile)
{
    TempDir dir;
    auto c = loadReportCase("mixed_run");
    dir.write("reports", "a file, not a directory");
    c.run.autoReport = true;
    EXPECT_THROW(savehtm(c.site, c.run, c.settings, dir.path()), FileError);
    c.run.autoReport = false;
    EXPECT_THROW(savehtm(c.site, c.run, c.settings, dir.path(), dir.file("nowhere/report.htm")), FileError);
    EXPECT_FALSE(fs::exists(dir.file("nowhere")));
}

// Automatic reports are named from the site's title: a link planted at such a
// name in reports/ is replaced by the report, and what it pointed to is untouched.
TEST(HtmlReport, AutomaticReportsReplaceALinkPlantedAtTheirName)
{
    TempDir dir;
    dir.write("outside/page.htm", "precious page");
    dir.write("outside/text.txt", "precious text");
    fs::create_directories(dir.file("reports"));
    fs::create_symlink(dir.file("outside/page.htm"), dir.file("reports/Mine.htm"));
    fs::create_symlink(dir.file("outside/text.txt"), dir.file("reports/Mine.txt"));
    SiteProfile site;
    site.protocol = "http://";
    site.address = "mine.example/";
    site.title = "Mine";
    SubmissionRun run;
    run.autoReport = true;

    savehtm(site, run, ReportSettings{}, dir.path());
    savetext(site, run, ReportSettings{}, dir.path());

    EXPECT_EQ(dir.read("outside/page.htm"), "precious page");
    EXPECT_EQ(dir.read("outside/text.txt"), "precious text");
    for (const char* name : {"reports/Mine.htm", "reports/Mine.txt"}) {
        EXPECT_FALSE(fs::is_symlink(dir.file(name))) << name;
        EXPECT_NE(dir.read(name).find("mine.example"), std::string::npos) << name;
    }
}
