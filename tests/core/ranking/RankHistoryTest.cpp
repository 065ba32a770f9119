// The rank history in history.db: rows written and read back, the chart's
// series with its gaps, the summary, CSV quoting, an older database gaining the
// rank tables, and a locked database.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "history/HistoryMigrations.h"
#include "history/HistoryStore.h"
#include "history/Sqlite.h"
#include "ranking/RankEngines.h"
#include "ranking/RankHistory.h"
#include "ranking/RankResultText.h"

using namespace tolvan;
using tolvan::test::TempDir;

namespace {

RankCheckResult outcome(const std::string& time, const std::string& engine, RankOutcome o, int place,
                        const std::string& phrase = "blue widgets")
{
    RankCheckResult r;
    r.time = time;
    r.site = "https://www.acme.example/";
    r.phrase = phrase;
    r.engine = engine;
    r.outcome = o;
    r.place = place;
    r.address = place ? "https://www.acme.example/a" : "";
    r.depth = 50;
    r.detail = place ? "found at place " + std::to_string(place) : "not found, \"really\"";
    r.competitors = {"https://one.example/", "https://two.example/?a=1,2"};
    return r;
}

}  // namespace

TEST(RankHistoryTest, RowsSeriesWithGapsAndTheSummary)
{
    TempDir base;
    HistoryStore store(base.path());
    ASSERT_TRUE(store.available()) << store.problem();
    RankHistory history(store);
    ASSERT_TRUE(history.record({outcome("2026-12-01T06:30:00Z", "Mojeek", RankOutcome::Found, 7),
                                outcome("2026-12-01T06:30:01Z", "Bing", RankOutcome::Blocked, 0),
                                outcome("2026-12-01T06:30:02Z", "Mojeek", RankOutcome::Found, 3, "red")}));
    RankCheckResult unrecognised = outcome("2026-12-02T06:30:00Z", "Mojeek", RankOutcome::Unrecognised, 0);
    unrecognised.competitors.clear();
    ASSERT_TRUE(history.record({unrecognised, outcome("2026-12-03T06:30:00Z", "Mojeek", RankOutcome::Found, 5),
                                outcome("2026-12-04T06:30:00Z", "Mojeek", RankOutcome::Found, 2)}));

    const auto all = history.checks({});
    ASSERT_EQ(all.size(), 6u);
    EXPECT_EQ(all[0].competitors, (std::vector<std::string>{"https://one.example/", "https://two.example/?a=1,2"}));
    EXPECT_EQ(all[0].address, "https://www.acme.example/a");
    EXPECT_EQ(all[1].outcome, RankOutcome::Blocked);
    EXPECT_EQ(all[1].place, 0) << "a place is kept only for a found site";
    EXPECT_EQ(all[3].outcome, RankOutcome::Unrecognised);
    EXPECT_EQ(all[3].detail, "not found, \"really\"");
    EXPECT_TRUE(all[3].competitors.empty());
    EXPECT_EQ(history.checks({"HTTPS://WWW.ACME.EXAMPLE/", "Blue Widgets", "2026-12-02"}).size(), 3u)
        << "site and phrase without regard to case, since a date";
    EXPECT_EQ(history.checks({"", "red", ""}).size(), 1u);

    const auto series = history.series("https://www.acme.example/", "blue widgets");
    ASSERT_EQ(series.size(), 2u);
    const auto& mojeek = series.at("Mojeek");
    ASSERT_EQ(mojeek.size(), 4u);
    EXPECT_EQ(mojeek[0].place, 7);
    EXPECT_EQ(mojeek[1].place, 0) << "not recognised is a gap";
    EXPECT_EQ(mojeek[1].outcome, RankOutcome::Unrecognised);
    EXPECT_EQ(series.at("Bing")[0].outcome, RankOutcome::Blocked);
    EXPECT_EQ(mojeek[3].seconds - mojeek[0].seconds, 3 * 86400);
    EXPECT_EQ(mojeek[0].seconds, 1796106600) << "2026-12-01T06:30:00Z";

    // The latest check that saw results, even when a later one saw none.
    const RankCompetitors latest = history.latestCompetitors("https://www.acme.example/", "blue widgets");
    EXPECT_EQ(latest.engine, "Mojeek");
    EXPECT_EQ(latest.time, "2026-12-04T06:30:00Z");
    EXPECT_EQ(latest.addresses.size(), 2u);
    EXPECT_EQ(history.selections().size(), 2u);

    const RankSummary s = summarizeRank(mojeek);
    EXPECT_EQ(s.best, 2);
    EXPECT_EQ(s.latest, 2);
    EXPECT_EQ(s.previous, 5);
    EXPECT_EQ(s.change(), 3) << "up three places";
    EXPECT_EQ(summarizeRank({mojeek[0], mojeek[1]}).change(), 0) << "no change across a gap";
    EXPECT_EQ(summarizeRank({mojeek[1]}).best, 0) << "never found";

    // CSV: quoted where RFC 4180 needs it, quotation marks doubled, CR LF.
    const std::string csv = rankResultsCsv({all[3], all[0]});
    EXPECT_EQ(csv,
              "time,site,phrase,engine,outcome,place,address,depth,detail,competitors\r\n"
              "2026-12-02T06:30:00Z,https://www.acme.example/,blue widgets,Mojeek,unrecognised,,,50,"
              "\"not found, \"\"really\"\"\",\r\n"
              "2026-12-01T06:30:00Z,https://www.acme.example/,blue widgets,Mojeek,found,7,https://www.acme.example/a,"
              "50,found at place 7,\"https://one.example/ https://two.example/?a=1,2\"\r\n");
}

TEST(RankHistoryTest, TabSeparatedRowsKeepTheirColumnsWhenLeadingValuesAreEmpty)
{
    RankCheckResult r;
    r.engine = "Mojeek";
    r.outcome = RankOutcome::Failed;
    r.detail = "two\tlines\nhere";
    EXPECT_EQ(rankResultTsvRow(r), "\t\tMojeek\tfailed\t\t\t0\ttwo lines here");
}

TEST(RankHistoryTest, ALongSeriesIsChartedByStretchesKeepingGapsThatHadNoPlace)
{
    // Twelve checks in four stretches of three: found 5, 3, gap | gap, gap, gap | 9, gap, 2 | 4, 4, 1.
    const int places[] = {5, 3, 0, 0, 0, 0, 9, 0, 2, 4, 4, 1};
    std::vector<RankPoint> points;
    for (int i = 0; i < 12; ++i)
        points.push_back({1000 + i, places[i], places[i] ? RankOutcome::Found : RankOutcome::Blocked});
    const auto thin = thinRankSeries(points, 4);
    ASSERT_EQ(thin.size(), 4u);
    EXPECT_EQ(thin[0].place, 3);
    EXPECT_EQ(thin[0].seconds, 1001) << "the check that gave the best place";
    EXPECT_EQ(thin[1].place, 0) << "a stretch without a place stays a gap";
    EXPECT_EQ(thin[1].outcome, RankOutcome::Blocked);
    EXPECT_EQ(thin[2].place, 2);
    EXPECT_EQ(thin[3].place, 1);
    EXPECT_EQ(thinRankSeries(points, 12).size(), 12u) << "a short series is drawn as it is";

    EXPECT_EQ(historySeconds("2026-12-01T06:30:00Z"), 1796106600);
    EXPECT_EQ(historySeconds("1970-01-01T00:00:00Z"), 0);
    EXPECT_EQ(historySeconds("yesterday"), 0);
}

TEST(RankHistoryTest, AHistoryOfAnOlderVersionGainsTheRankTablesAndKeepsItsRows)
{
    TempDir base;
    {
        sqlite::Database old(base.file("history.db"), sqlite::Database::Mode::ReadWriteCreate);
        old.exec(historyMigrations()[0].sql);
        old.exec(historyMigrations()[1].sql);
        old.exec("PRAGMA user_version=2");
        old.exec("INSERT INTO submissions VALUES (1,'2020-01-01T00:00:00Z','s','e','GET','a','','success','','')");
    }
    {
        // Reading alone changes nothing and finds no rank checks.
        HistoryStore reader(base.path(), HistoryStore::Access::ReadOnly);
        RankHistory history(reader);
        EXPECT_TRUE(history.checks({}).empty());
    }
    HistoryStore store(base.path());
    ASSERT_TRUE(store.available()) << store.problem();
    RankHistory history(store);
    EXPECT_TRUE(history.record({outcome("2026-12-01T06:30:00Z", "Mojeek", RankOutcome::Found, 7)}));
    EXPECT_EQ(history.checks({}).size(), 1u);
    EXPECT_EQ(store.submissions().size(), 1u);
}

TEST(RankHistoryTest, ALockedDatabaseIsReportedNotFatal)
{
    TempDir base;
    { HistoryStore create(base.path()); }
    sqlite::Database other(base.file("history.db"), sqlite::Database::Mode::ReadWriteCreate);
    other.exec("BEGIN EXCLUSIVE");
    HistoryStore store(base.path());
    RankHistory history(store);
    EXPECT_FALSE(history.record({outcome("2026-12-01T06:30:00Z", "Mojeek", RankOutcome::Found, 7)}));
    EXPECT_FALSE(history.record({outcome("2026-12-01T06:30:05Z", "Bing", RankOutcome::Found, 1)}));
    EXPECT_NE(store.notice(), "");
    EXPECT_EQ(store.notice(), "") << "one notice, not one per outcome";
    other.exec("ROLLBACK");
}

TEST(RankHistoryTest, ResultAddressesOfTheEightEnginesPages)
{
    // WebCrawler's results end at "</A>"; the address stops at the markup.
    const std::string page = "<b>93% </B><A HREF=\"http://one.example/a\">One</A>"
                             "<b>90% </B><A HREF=\"http://www.acme.example/\">Acme</A>"
                             "<b>80% </B>no address here<b>70% </B><A HREF=http://three.example/>Three</A>";
    EXPECT_EQ(rankResultAddresses(page, "% </B>", "</A>", 10),
              (std::vector<std::string>{"http://one.example/a", "http://www.acme.example/", "http://three.example/"}))
        << "a marker without an address before the next one counts with the next address, as in findrank";
    EXPECT_EQ(findrank(page, "% </B>", "acme.example", "</A>"), 2);
    EXPECT_EQ(rankResultAddresses(page, "% </B>", "</A>", 1).size(), 1u);
    EXPECT_TRUE(rankResultAddresses("<html>no results</html>", "% </B>", "</A>", 10).empty());
}

TEST(RankHistoryTest, ASiteIsKeptInOneFormAndOlderRowsInOtherFormsAreFound)
{
    EXPECT_EQ(rankHistorySite("HTTP://WWW.Example.COM"), "http://www.example.com/");
    EXPECT_EQ(rankHistorySite("https://Acme.example:8443/Shop"), "https://acme.example:8443/Shop") << "the path keeps its case";
    EXPECT_EQ(rankHistorySite("http://x.example?q=1"), "http://x.example/?q=1");
    EXPECT_EQ(rankHistorySite("WWW.Acme.example/"), "www.acme.example");
    EXPECT_EQ(rankHistorySite("acme.example/Shop/"), "acme.example/Shop/");

    TempDir base;
    HistoryStore store(base.path());
    ASSERT_TRUE(store.available()) << store.problem();
    // Rows as earlier versions wrote them: the site as it was typed.
    store.database()->exec(
        "INSERT INTO rank_checks (time, site, phrase, engine, outcome, place, address, depth, detail) VALUES"
        " ('2026-12-01T06:00:00Z', 'http://www.Example.com', 'blue', 'Mojeek', 'found', 4, '', 10, ''),"
        " ('2026-12-02T06:00:00Z', 'HTTP://WWW.EXAMPLE.COM/', 'blue', 'Mojeek', 'found', 3, '', 10, ''),"
        " ('2026-12-02T06:00:00Z', 'www.example.com/', 'blue', 'Mojeek', 'found', 9, '', 10, '')");
    RankHistory history(store);
    RankCheckResult now = outcome("2026-12-03T06:00:00Z", "Mojeek", RankOutcome::Found, 2, "blue");
    now.site = "http://WWW.example.com";
    ASSERT_TRUE(history.record({now}));

    const auto rows = history.checks({"http://www.example.com", "", ""});
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows.back().site, "http://www.example.com/") << "kept in its one form";
    EXPECT_EQ(history.series("HTTP://www.example.com/", "blue").at("Mojeek").size(), 3u);
    EXPECT_EQ(history.checks({"WWW.example.com", "", ""}).size(), 1u) << "a bare host is another site";
    EXPECT_EQ(history.latestCompetitors("http://www.example.com", "blue").addresses, now.competitors);
    EXPECT_EQ(history.selections(), (std::vector<std::pair<std::string, std::string>>{
                                         {"http://www.example.com/", "blue"}, {"www.example.com", "blue"}}));
}
