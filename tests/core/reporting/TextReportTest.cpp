#include "reporting/TextReport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "ReportGoldenCase.h"
#include "util/Errors.h"
#include "util/TextCodec.h"

namespace fs = std::filesystem;
using namespace tolvan;
using tolvan::test::FixedClock;
using tolvan::test::loadReportCase;
using tolvan::test::TempDir;

class TextReportGolden : public ::testing::TestWithParam<const char*> {};

TEST_P(TextReportGolden, MatchesTheHandWrittenReport)
{
    const auto c = loadReportCase(GetParam());
    const std::string expected = tolvan::test::testData(std::string("reporting/") + GetParam() + "/expected.txt");
    EXPECT_EQ(textReport(c.data()), expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, TextReportGolden,
                         ::testing::Values("mixed_run", "no_failures", "before_any_run", "empty_name",
                                           "hostile_values"));

TEST(TextReport, ValuesWithLineBreaksAreWrittenAsTheyAre)
{
    ReportData d;
    d.nameOnReports = "Tolvan";
    d.title = "two\r\nlines";
    const std::string report = textReport(d);
    EXPECT_NE(report.find("\r\nTitle                : two\r\nlines\r\nCategory"), std::string::npos);
}

TEST(TextReport, SavedByHandGoesToTheChosenFileAndReplacesItWhole)
{
    TempDir dir;
    const FixedClock clock(1'800'000'000);
    auto c = loadReportCase("mixed_run");
    dir.write("chosen.txt", std::string(100'000, 'x'));  // older and longer than the report

    const std::string written = savetext(c.site, c.run, c.settings, dir.path(), dir.file("chosen.txt"));

    EXPECT_EQ(written, dir.file("chosen.txt"));
    c.date = shortDate(clock.now());
    EXPECT_EQ(dir.read("chosen.txt"), textReport(c.data()));
    // By hand nothing goes to reports/, whatever the title.
    EXPECT_FALSE(fs::exists(dir.file("reports")));
}

TEST(TextReport, AutomaticReportCreatesReportsAndIsNamedAfterTheTitle)
{
    TempDir dir;
    auto c = loadReportCase("no_failures");
    c.run.autoReport = true;

    const std::string written = savetext(c.site, c.run, c.settings, dir.path());

    EXPECT_EQ(written, dir.file("reports/Corner Bakery.txt"));
    const std::string bytes = dir.read("reports/Corner Bakery.txt");
    EXPECT_EQ(bytes.rfind("=================================================================\r\n"
                          "Tolvan Submission Report\r\n", 0),
              0u);

    // A second site with the same title replaces the first one's report.
    c.run.successList = {"Zeta"};
    savetext(c.site, c.run, c.settings, dir.path());
    EXPECT_NE(dir.read("reports/Corner Bakery.txt").find("\r\n1 Successful Submissions...\r\n"), std::string::npos);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.file("reports")), fs::directory_iterator()), 1);
}

TEST(TextReport, HostileTitlesNeverLeaveTheReportsDirectory)
{
    TempDir dir;
    auto c = loadReportCase("mixed_run");
    c.run.autoReport = true;
    const struct {
        const char* title;
        const char* file;
    } cases[] = {
        {"../../escape", ".._.._escape.txt"},
        {"/etc/passwd", "_etc_passwd.txt"},
        {"a\\b:c*d?e\"f<g>h|i", "a_b_c_d_e_f_g_h_i.txt"},
        {"tab\there\nnewline", "tab_here_newline.txt"},
        {"..", "_.txt"},
        {".", "_.txt"},
        {"", "_.txt"},
        {"Tom & Jerry's <Page>", "Tom & Jerry's _Page_.txt"},
    };
    for (const auto& t : cases) {
        c.site.title = t.title;
        const std::string written = savetext(c.site, c.run, c.settings, dir.path());
        EXPECT_EQ(written, dir.file(std::string("reports/") + t.file)) << t.title;
        EXPECT_TRUE(fs::is_regular_file(dir.file(std::string("reports/") + t.file))) << t.title;
    }
    // Nothing was written beside reports/ or above the base directory.
    for (const auto& entry : fs::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename(), "reports");
    EXPECT_FALSE(fs::exists(fs::path(dir.path()).parent_path() / "escape.txt"));
}

TEST(TextReport, OverlongTitleIsCutWithoutSplittingACharacter)
{
    TempDir dir;
    auto c = loadReportCase("mixed_run");
    c.run.autoReport = true;
    c.site.title.clear();
    for (int i = 0; i < 255; ++i)
        c.site.title += "\xC3\xA9";  // é: 510 bytes, too long for one file name

    const std::string written = savetext(c.site, c.run, c.settings, dir.path());

    const std::string name = fs::path(written).filename().string();
    EXPECT_LE(name.size(), 255u);
    EXPECT_TRUE(isValidUtf8(name));
    EXPECT_EQ(name.substr(name.size() - 4), ".txt");
    EXPECT_EQ(fs::path(written).parent_path(), fs::path(dir.file("reports")));
    EXPECT_TRUE(fs::is_regular_file(written));
}

TEST(TextReport, WriteFailuresThrowWithTheSystemReasonAndKeepTheOldFile)
{
    TempDir dir;
    auto c = loadReportCase("mixed_run");

    // By hand, into a directory that does not exist.
    EXPECT_THROW(savetext(c.site, c.run, c.settings, dir.path(), dir.file("missing/report.txt")), FileError);

    // Automatic, with a plain file standing where reports/ should be.
    dir.write("reports", "not a directory");
    c.run.autoReport = true;
    try {
        savetext(c.site, c.run, c.settings, dir.path());
        ADD_FAILURE() << "no error";
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find("reports"), std::string::npos) << e.what();
    }
    EXPECT_EQ(dir.read("reports"), "not a directory");

    // By hand onto a directory of that name: refused, the directory stays.
    fs::create_directory(dir.file("taken.txt"));
    EXPECT_THROW(savetext(c.site, c.run, c.settings, dir.path(), dir.file("taken.txt")), FileError);
    EXPECT_TRUE(fs::is_directory(dir.file("taken.txt")));

    // By hand with no file chosen is refused rather than writing somewhere odd.
    c.run.autoReport = false;
    EXPECT_THROW(savetext(c.site, c.run, c.settings, dir.path(), ""), FileError);
}

TEST(TextReport, ReadOnlyTargetDirectoryFailsAndLeavesTheOldReport)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    TempDir dir;
    auto c = loadReportCase("mixed_run");
    c.run.autoReport = true;
    dir.write("reports/Acme Widgets.txt", "old report");
    ASSERT_EQ(::chmod(dir.file("reports").c_str(), 0555), 0);

    EXPECT_THROW(savetext(c.site, c.run, c.settings, dir.path()), FileError);
    EXPECT_EQ(dir.read("reports/Acme Widgets.txt"), "old report");
}
