// The text and HTML rank reports against reports written by hand, and the
// writers that put them into the file the user chose.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "ReportGoldenCase.h"
#include "TestSupport.h"
#include "reporting/RankReport.h"
#include "util/Clock.h"
#include "util/Errors.h"
#include "util/Files.h"

using namespace tolvan;
using tolvan::test::FixedClock;
using tolvan::test::TempDir;
using tolvan::test::testData;

namespace {

struct RankCase {
    RankData rank;
    ReportSettings settings;
    std::string date;
    std::string time;
};

// input.txt: "key: value" lines; "engine: <name> <ticked 0/1> <position>".
RankCase loadRankCase(const std::string& name)
{
    static const char* const kNames[] = {"Infoseek", "Yahoo",  "AltaVista", "AolNetFind",
                                         "Lycos",    "Excite", "HotBot",    "WebCrawler"};
    RankCase c;
    std::istringstream in(testData("reporting/" + name + "/input.txt"));
    for (std::string line; std::getline(in, line);) {
        const std::size_t colon = line.find(':');
        if (line.empty() || colon == std::string::npos)
            continue;
        const std::string key = line.substr(0, colon);
        std::string value = line.substr(colon + 1);
        if (!value.empty() && value[0] == ' ')
            value.erase(0, 1);
        if (key == "name") c.settings.nameOnReports = value;
        else if (key == "url") c.settings.urlOnReports = value;
        else if (key == "date") c.date = value;
        else if (key == "time") c.time = value;
        else if (key == "site") c.rank.site = value;
        else if (key == "phrase") c.rank.phrase = value;
        else if (key == "depth") c.rank.depth = value;
        else if (key == "engine") {
            std::istringstream e(value);
            std::string engine;
            int ticked = 0;
            int position = 0;
            e >> engine >> ticked >> position;
            bool known = false;
            for (std::size_t i = 0; i < kRankEngineCount; ++i)
                if (engine == kNames[i]) {
                    c.rank.engines[i] = RankEntry{ticked == 1, position};
                    known = true;
                }
            if (!known)
                throw std::runtime_error("unknown engine in " + name + ": " + engine);
        } else
            throw std::runtime_error("unknown key in " + name + ": " + key);
    }
    return c;
}

}  // namespace

TEST(RankReportTest, GoldenReports)
{
    for (const char* name : {"rank-all-engines", "rank-empty-name-escaped"}) {
        SCOPED_TRACE(name);
        const RankCase c = loadRankCase(name);
        EXPECT_EQ(rankTextReport(c.rank, c.settings, c.date, c.time),
                  testData(std::string("reporting/") + name + "/expected.txt"));
        EXPECT_EQ(rankHtmlReport(c.rank, c.settings, c.date, c.time),
                  testData(std::string("reporting/") + name + "/expected.htm"));
    }
}

TEST(RankReportTest, BeforeAnyRunTheTickedEnginesAreNotFound)
{
    RankData rank;  // as the page starts: depth "50", nothing found
    rank[RankEngine::Yahoo].selected = true;
    rank[RankEngine::HotBot].selected = true;
    const std::string text = rankTextReport(rank, ReportSettings{}, "d", "t");
    EXPECT_NE(text.find("Searched in top      : 50 Results\r\n"), std::string::npos);
    EXPECT_NE(text.find("Position\r\n" + std::string(65, '-') +
                        "\r\nYahoo*                Not Found*\r\nHotBot                Not Found\r\n\r\n"),
              std::string::npos);
    const std::string html = rankHtmlReport(rank, ReportSettings{}, "d", "t");
    EXPECT_NE(html.find("Yahoo*</font></td>"), std::string::npos);
    EXPECT_NE(html.find("*Yahoo uses Alta Vista for some searches."), std::string::npos);
}

TEST(RankReportTest, WritersDateTheReportNowAndReplaceTheChosenFile)
{
    TempDir dir;
    const FixedClock clock(1796748300);
    const std::string date = shortDate(clock.now());
    const std::string time = longTime(clock.now());
    const RankCase c = loadRankCase("rank-all-engines");

    const std::string txt = dir.file("lumetra.txt");
    dir.write("lumetra.txt", "an older, much longer report that must not leave a tail behind");
    ranktxt(txt, c.rank, c.settings);
    EXPECT_EQ(dir.read("lumetra.txt"), rankTextReport(c.rank, c.settings, date, time));
    EXPECT_NE(dir.read("lumetra.txt").find("Time                 : " + time + "\r\n"), std::string::npos);

    const std::string htm = dir.file("lumetra.htm");
    wrhtm(htm, c.rank, c.settings);
    EXPECT_EQ(dir.read("lumetra.htm"), rankHtmlReport(c.rank, c.settings, date, time));
}

TEST(RankReportTest, AFileThatCannotBeWrittenThrowsAndLeavesNothing)
{
    TempDir dir;
    const RankCase c = loadRankCase("rank-all-engines");
    EXPECT_THROW(ranktxt(dir.file("missing/lumetra.txt"), c.rank, c.settings), FileError);
    EXPECT_THROW(wrhtm(dir.file("missing/lumetra.htm"), c.rank, c.settings), FileError);
    EXPECT_FALSE(directoryExists(dir.file("missing")));
}
