#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "TestSupport.h"
#include "history/HistoryMigrations.h"
#include "history/HistoryStore.h"
#include "history/Sqlite.h"

using namespace tolvan;

namespace {

SubmissionRecord row(const std::string& time, const std::string& site, const std::string& engine)
{
    SubmissionRecord r;
    r.time = time;
    r.site = site;
    r.engine = engine;
    r.method = "GET";
    r.address = "http://api.example/indexnow?url=x&key=0123456789abcdef";
    r.statusLine = "HTTP/1.1 200 OK";
    r.outcome = "success";
    r.detail = "";
    r.answer = "ok";
    return r;
}

}  // namespace

TEST(HistoryStore, RecordsSubmissionsAndFiltersThem)
{
    test::TempDir base;
    {
        HistoryStore store(base.path());
        ASSERT_TRUE(store.available()) << store.problem();
        auto first = row("2026-01-02T10:00:00Z", "http://www.one.example/", "IndexNow");
        first.answer = std::string(600, 'a') + std::string(1, '\0');
        store.recordSubmission(first);
        store.recordSubmission(row("2026-02-03T10:00:00Z", "http://www.two.example/", "Lycos"));
        store.recordSubmission(row("2026-03-04T10:00:00Z", "http://www.one.example/", "Lycos"));
        EXPECT_EQ(store.notice(), "");
    }
    // A new connection sees everything: the rows were committed.
    HistoryStore store(base.path(), HistoryStore::Access::ReadOnly);
    const auto all = store.submissions();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].address, "http://api.example/indexnow?url=x&key=****");
    EXPECT_EQ(all[0].answer, std::string(512, 'a'));

    EXPECT_EQ(store.submissions({"HTTP://WWW.ONE.EXAMPLE/", "", ""}).size(), 2u);
    EXPECT_EQ(store.submissions({"", "lycos", ""}).size(), 2u);
    const auto since = store.submissions({"", "", "2026-02-03"});
    ASSERT_EQ(since.size(), 2u);
    EXPECT_EQ(since[0].site, "http://www.two.example/");
}

TEST(HistoryStore, ListsRowsByTimeWhenTheClockWentBack)
{
    test::TempDir base;
    {
        HistoryStore store(base.path());
        for (const char* engine : {"a", "b"})
            store.recordSubmission(row("2026-05-01T10:00:00Z", "s", engine));
        store.recordSubmission(row("2026-04-30T09:00:00Z", "s", "c"));  // the clock was set back
        store.recordSubmission(row("2026-05-01T10:00:00Z", "s", "d"));
        store.recordSubmission(row("2026-04-30T09:00:00Z", "s", "e"));
    }
    HistoryStore store(base.path(), HistoryStore::Access::ReadOnly);
    std::string engines;
    for (const auto& r : store.submissions())
        engines += r.engine;
    EXPECT_EQ(engines, "ceabd");  // same time: in the order written
    std::string since;
    for (const auto& r : store.submissions({"", "", "2026-05-01"}))
        since += r.engine;
    EXPECT_EQ(since, "abd");
}

TEST(HistoryStore, MasksKeyParametersAndKeyFileNames)
{
    const std::string key = "a1b2c3d4e5f60718";
    EXPECT_EQ(maskKey("https://h/indexnow?url=u&key=" + key + "&keyLocation=https%3A%2F%2Fs%2F" + key + ".txt", key),
              "https://h/indexnow?url=u&key=****&keyLocation=https%3A%2F%2Fs%2F****.txt");
    EXPECT_EQ(maskKey("https://h/indexnow?key=abc", ""), "https://h/indexnow?key=****");
    // Parameters that merely end in "key", and addresses without a query, stay.
    EXPECT_EQ(maskKey("http://h/add?monkey=1&url=x"), "http://h/add?monkey=1&url=x");
    EXPECT_EQ(maskKey("http://h/key=1"), "http://h/key=1");
}

TEST(HistoryStore, DamagedDatabaseTurnsItselfOffWithOneNotice)
{
    test::TempDir base;
    base.write("history.db", std::string(4096, 'x'));
    HistoryStore store(base.path());
    EXPECT_FALSE(store.available());
    store.recordSubmission(row("2026-01-02T10:00:00Z", "s", "e"));  // must not throw
    EXPECT_TRUE(store.submissions().empty());
    const std::string notice = store.notice();
    EXPECT_NE(notice.find("History is not being kept"), std::string::npos) << notice;
    EXPECT_EQ(store.notice(), "");
    EXPECT_EQ(base.read("history.db"), std::string(4096, 'x'));  // left as it was for the user
}

TEST(HistoryStore, LockedDatabaseDoesNotHoldUpTheRun)
{
    test::TempDir base;
    { HistoryStore create(base.path()); }
    sqlite::Database other(base.file("history.db"), sqlite::Database::Mode::ReadWriteCreate);
    other.exec("BEGIN EXCLUSIVE");
    HistoryStore store(base.path());
    store.recordSubmission(row("2026-01-02T10:00:00Z", "s", "e"));
    EXPECT_FALSE(store.available());
    EXPECT_NE(store.notice(), "");
    other.exec("ROLLBACK");
}

TEST(HistoryStore, ReadOnlyDatabaseTurnsItselfOff)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "file permissions do not bind root";
    test::TempDir base;
    { HistoryStore create(base.path()); }
    chmod(base.file("history.db").c_str(), 0444);
    chmod(base.path().c_str(), 0555);
    HistoryStore store(base.path());
    store.recordSubmission(row("2026-01-02T10:00:00Z", "s", "e"));
    EXPECT_FALSE(store.available());
    EXPECT_NE(store.notice(), "");
    chmod(base.path().c_str(), 0755);
}

TEST(HistoryStore, UpgradesAnOlderSchemaAndRefusesANewerOne)
{
    test::TempDir base;
    {
        // A database made before the later steps existed.
        sqlite::Database old(base.file("history.db"), sqlite::Database::Mode::ReadWriteCreate);
        old.exec(historyMigrations().front().sql);
        old.exec("PRAGMA user_version=1");
        old.exec("INSERT INTO submissions VALUES (1,'2020-01-01T00:00:00Z','s','e','GET','a','','success','','')");
    }
    {
        HistoryStore store(base.path());
        ASSERT_TRUE(store.available()) << store.problem();
        EXPECT_EQ(store.database()->userVersion(), static_cast<int>(historyMigrations().size()));
        store.recordSubmission(row("2019-12-31T00:00:00Z", "s", "earlier"));
        const auto rows = store.submissions();
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(rows[0].engine, "earlier");
        auto indexes = store.database()->prepare("SELECT count(*) FROM sqlite_master WHERE tbl_name = 'submissions' AND type = 'index'");
        ASSERT_TRUE(indexes.step());
        EXPECT_EQ(indexes.integer(0), 0);  // every row written would otherwise update it
        EXPECT_TRUE(store.recordNotifyBatch({"2026-01-01T00:00:00Z", "s", "IndexNow", 1, "HTTP/1.1 200 OK", "accepted", "", ""},
                                            {"http://s/a"}));
    }
    {
        sqlite::Database newer(base.file("history.db"), sqlite::Database::Mode::ReadWriteCreate);
        newer.exec("PRAGMA user_version=999");
    }
    HistoryStore store(base.path());
    EXPECT_FALSE(store.available());
    EXPECT_NE(store.problem().find("newer version"), std::string::npos);
}

TEST(HistoryStore, OnlyAcceptedBatchesMarkUrlsNotified)
{
    test::TempDir base;
    HistoryStore store(base.path());
    const std::string site = "https://www.one.example/";
    ASSERT_TRUE(store.recordNotifyBatch({"2026-01-01T00:00:00Z", site, "IndexNow", 2, "HTTP/1.1 200 OK", "accepted", "", ""},
                                        {"https://www.one.example/a", "https://www.one.example/b"}));
    ASSERT_TRUE(store.recordNotifyBatch({"2026-01-02T00:00:00Z", site, "IndexNow", 1, "HTTP/1.1 429 Too Many Requests",
                                         "failed", "retry after 60 seconds", ""},
                                        {}));
    ASSERT_TRUE(store.recordNotifyBatch({"2026-01-03T00:00:00Z", site, "IndexNow", 1, "HTTP/1.1 202 Accepted", "pending", "", ""},
                                        {"https://www.one.example/b"}));
    EXPECT_EQ(store.lastAccepted(site, "https://www.one.example/a"), "2026-01-01T00:00:00Z");
    EXPECT_EQ(store.lastAccepted(site, "https://www.one.example/b"), "2026-01-03T00:00:00Z");
    EXPECT_EQ(store.lastAccepted(site, "https://www.one.example/c"), std::nullopt);
    EXPECT_EQ(store.lastAccepted("https://other.example/", "https://www.one.example/a"), std::nullopt);
    EXPECT_EQ(store.notifyBatches(site).size(), 3u);
}

TEST(HistoryStore, RowsKeptBackAreWrittenByFlushAndALockAtThatPointTurnsTheStoreOff)
{
    test::TempDir base;
    HistoryStore store(base.path());
    std::int64_t recorded = 0;
    // Enough rows that some are kept back, whatever the machine's speed.
    for (std::size_t i = 0; i < HistoryStore::kWriteRows + 10; ++i, ++recorded) {
        auto r = row("2026-01-02T10:00:00Z", "s" + std::to_string(i % 7), "e" + std::to_string(i));
        r.detail = "d" + std::to_string(i);
        store.recordSubmission(r);
    }
    store.flush();
    // Written many rows to a statement or one by one, each row keeps its own values, in order.
    const auto written = HistoryStore(base.path(), HistoryStore::Access::ReadOnly).submissions();
    ASSERT_EQ(written.size(), static_cast<std::size_t>(recorded));
    for (std::size_t i = 0; i < written.size(); ++i) {
        EXPECT_EQ(written[i].engine, "e" + std::to_string(i));
        EXPECT_EQ(written[i].site, "s" + std::to_string(i % 7));
        EXPECT_EQ(written[i].detail, "d" + std::to_string(i));
        EXPECT_EQ(written[i].answer, "ok");
    }

    // A row kept back while another program holds the database is not waited
    // for: the store turns itself off once, with its notice, and the rest is not kept.
    sqlite::Database other(base.file("history.db"), sqlite::Database::Mode::ReadWriteCreate);
    other.exec("BEGIN EXCLUSIVE");
    store.recordSubmission(row("2026-01-03T10:00:00Z", "s", "first"));  // just after a write: kept back
    store.flush();
    EXPECT_FALSE(store.available());
    EXPECT_NE(store.notice().find("History is not being kept"), std::string::npos);
    store.recordSubmission(row("2026-01-03T10:00:01Z", "s", "later"));
    other.exec("ROLLBACK");
    EXPECT_EQ(HistoryStore(base.path(), HistoryStore::Access::ReadOnly).submissions().size(),
              static_cast<std::size_t>(recorded));
}

TEST(HistoryStore, EndpointWaitsOutliveTheStoreAndEndOnTime)
{
    test::TempDir base;
    {
        HistoryStore store(base.path());
        store.rememberEndpointWait("api.example:8443", {1000, "HTTP/1.1 429 Too Many Requests"});
        store.rememberEndpointWait("other.example", {5000, "HTTP/1.1 429 Too Many Requests"});
        store.rememberEndpointWait("other.example", {2000, "HTTP/1.1 429 Slow Down"});  // the later answer holds
    }
    HistoryStore store(base.path());
    const auto wait = store.endpointWait("API.example:8443", 999);
    ASSERT_TRUE(wait.has_value());
    EXPECT_EQ(wait->until, 1000);
    EXPECT_EQ(wait->statusLine, "HTTP/1.1 429 Too Many Requests");
    EXPECT_FALSE(store.endpointWait("api.example:8443", 1000).has_value());  // over at that second
    EXPECT_FALSE(store.endpointWait("api.example", 10).has_value());         // another port is another endpoint
    EXPECT_EQ(store.endpointWait("other.example", 1500)->statusLine, "HTTP/1.1 429 Slow Down");
    EXPECT_FALSE(store.endpointWait("other.example", 2500).has_value());
}
