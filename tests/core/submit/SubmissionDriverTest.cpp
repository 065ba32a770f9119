#include "submit/SubmissionDriver.h"

#include <gtest/gtest.h>

#include "SubmitTestSupport.h"
#include "history/HistoryStore.h"
#include "submit/ErrorLog.h"
#include "submit/HttpTransport.h"
#include "util/Errors.h"

using namespace tolvan;
using namespace tolvan::test;

namespace {

std::string definition(const std::string& action, const std::string& method = "POST",
                       const std::string& extra = "")
{
    return "[Fields]\r\nURL=url\r\nTITLE=title\r\nEMAIL=email\r\ncategory=cat\r\n"
           "[Categories]\r\n41=software\r\n"
           "[ExtraFields]\r\nextrafields=1\r\nExtra1=lang,en\r\n" + extra +
           "[SITE]\r\nACTION=" + action + "\r\nMETHOD=" + method + "\r\nURL=http://www.engine.example/\r\n";
}

struct SubmitFixture : ::testing::Test {
    TempDir base;
    RecordingView view;
    HttpTransport transport;
    SubmissionDriver driver{base.path(), view, transport};
    SiteProfile site;

    SubmitFixture()
    {
        view.run = &driver.state();
        site.protocol = "http://";
        site.address = "www.mysite.example/";
        site.title = "My Site";
        site.email = "me@mysite.example";
        site.category = "Computer => Software";
    }
    void addEngine(const std::string& name, const std::string& text) { base.write("data/" + name + ".tlx", text); }
    RunRequest request(std::vector<std::string> engines, std::vector<std::string> sites = {"http://www.mysite.example/"})
    {
        RunRequest r;
        r.sites = std::move(sites);
        r.engines = std::move(engines);
        r.timeoutSeconds = "5";
        return r;
    }
};

}  // namespace

TEST_F(SubmitFixture, ThreeEnginesAllTakeTheSiteAndTheBodyArrivesAsBuilt)
{
    EngineServer server(R"({"/gamma": {"status": 302, "reason": "Found", "location": "/thanks"}})");
    addEngine("beta", definition(server.url("/beta")));
    addEngine("Alpha", definition(server.url("/alpha")));
    addEngine("gamma", definition(server.url("/gamma"), "POST"));
    const auto socketsBefore = openSocketCount();

    EXPECT_EQ(driver.run(request({"gamma", "beta", "Alpha"}), site), RunEnd::Completed);
    EXPECT_EQ(openSocketCount(), socketsBefore);  // the last connection ends with the run

    const SubmissionRun& run = driver.state();
    EXPECT_EQ(run.successList, (std::vector<std::string>{"Alpha", "beta", "gamma"}));
    EXPECT_TRUE(run.failedList.empty());
    EXPECT_EQ(view.outcomes, (std::vector<std::string>{"Alpha:success", "beta:success", "gamma:success"}));
    ASSERT_FALSE(view.remainingShown.empty());
    EXPECT_EQ(view.remainingShown.back(), (std::vector<std::string>{"Alpha", "beta", "gamma"}));
    EXPECT_EQ(view.gaugeCompleted, 0);
    EXPECT_FALSE(view.running);
    EXPECT_EQ(view.messages.back(), "Submission Complete.");
    EXPECT_EQ(view.statuses.back(), "Complete");

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    // Values are form-encoded; names and the fixed extra field stand as written.
    const std::string body = "url=http%3A%2F%2Fwww.mysite.example%2F&title=My+Site&email=me%40mysite.example"
                             "&cat=software&lang=en&";
    for (const auto& r : requests) {
        EXPECT_NE(r.find("\"method\": \"POST\""), std::string::npos) << r;
        EXPECT_NE(r.find("\"body\": \"" + body + "\""), std::string::npos) << r;
        EXPECT_NE(r.find("application/x-www-form-urlencoded"), std::string::npos) << r;
    }
    // Defaults are written back into the working profile.
    EXPECT_EQ(view.lastProfile.state, "NA");
    EXPECT_EQ(view.lastProfile.keywords[0], "http://www.mysite.example/");
}

TEST_F(SubmitFixture, FailuresAreListedAndLoggedOnlyWhenTheLogExists)
{
    EngineServer server(R"({"/missing": {"status": 404, "reason": "Not Found"}})");
    addEngine("Broken", definition(server.url("/missing")));
    addEngine("Odd", definition(server.url("/odd"), "post"));
    addEngine("Fine", definition(server.url("/fine")));
    ErrorLog log(base.path());
    log.clear();

    EXPECT_EQ(driver.run(request({"Broken", "Fine", "Odd"}), site), RunEnd::Completed);
    EXPECT_EQ(driver.state().successList, (std::vector<std::string>{"Fine"}));
    EXPECT_EQ(driver.state().failedList, (std::vector<std::string>{"Broken", "Odd"}));

    const LineList lines = log.lines();
    const std::string separator = "=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-";
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[0], "Tolvan Error Log...");
    EXPECT_EQ(lines[1], separator);
    EXPECT_EQ(lines[2], "Error   : 151: 404 Not Found Site Name: Broken");
    EXPECT_EQ(lines[3], "URL     : http://www.engine.example/");
    EXPECT_EQ(lines[4], "Method  : POST");
    EXPECT_EQ(lines[5], "Action  : " + server.url("/missing"));
    // A method the program does not know sends nothing and is a failure.
    EXPECT_EQ(lines[6], separator);
    EXPECT_NE(lines[7].find("Unknown request method"), std::string::npos) << lines[7];
    EXPECT_EQ(lines[8], "URL     : http://www.engine.example/");
    EXPECT_EQ(lines[9], "Method  : post");
    EXPECT_EQ(server.requests().size(), 2u);
}

TEST_F(SubmitFixture, WithoutAnErrorLogNothingIsCreated)
{
    EngineServer server(R"({"/missing": {"status": 404, "reason": "Not Found"}})");
    addEngine("Broken", definition(server.url("/missing")));
    EXPECT_EQ(driver.run(request({"Broken"}), site), RunEnd::Completed);
    EXPECT_EQ(driver.state().failedList, (std::vector<std::string>{"Broken"}));
    EXPECT_FALSE(ErrorLog(base.path()).exists());
}

TEST_F(SubmitFixture, SilentEngineTimesOutAndTheRunGoesOn)
{
    EngineServer server(R"({"/silent": {"silent": true}})");
    addEngine("Mute", definition(server.url("/silent")));
    addEngine("Next", definition(server.url("/next")));
    ErrorLog(base.path()).clear();
    RunRequest r = request({"Mute", "Next"});
    r.timeoutSeconds = "1";

    EXPECT_EQ(driver.run(r, site), RunEnd::Completed);
    EXPECT_EQ(driver.state().failedList, (std::vector<std::string>{"Timed Out: Mute"}));
    EXPECT_EQ(driver.state().successList, (std::vector<std::string>{"Next"}));
    const LineList lines = ErrorLog(base.path()).lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2], "Engine Timed Out: Mute");
    EXPECT_NE(std::find(view.sounds.begin(), view.sounds.end(), RunSound::Failure), view.sounds.end());
}

TEST_F(SubmitFixture, AnAnswerThatStallsAfterItsStatusLineTimesOut)
{
    EngineServer server(R"({"/stall": {"stall": true}})");
    addEngine("Stall", definition(server.url("/stall")));
    ErrorLog(base.path()).clear();
    RunRequest r = request({"Stall"});
    r.timeoutSeconds = "1";

    EXPECT_EQ(driver.run(r, site), RunEnd::Completed);
    EXPECT_EQ(driver.state().failedList, (std::vector<std::string>{"Timed Out: Stall"}));
    EXPECT_EQ(view.outcomes, (std::vector<std::string>{"Stall:timed-out"}));
    const LineList lines = ErrorLog(base.path()).lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2], "Engine Timed Out: Stall");
}

TEST_F(SubmitFixture, SkipPressedTwiceDuringOneRequestLeavesOneEntry)
{
    EngineServer server(R"({"/slow": {"silent": true}})");
    addEngine("Slow", definition(server.url("/slow")));
    int pumps = 0;
    view.onPump = [&] {
        if (++pumps == 5) {
            driver.skip();
            driver.skip();
        }
    };
    EXPECT_EQ(driver.run(request({"Slow"}), site), RunEnd::Completed);
    EXPECT_EQ(driver.state().failedList, (std::vector<std::string>{"Skipped: Slow"}));
    EXPECT_EQ(view.outcomes, (std::vector<std::string>{"Slow:skipped"}));
}

TEST_F(SubmitFixture, CancelDuringTheSecondEngineEndsTheRunWithoutReports)
{
    EngineServer server(R"({"/b": {"silent": true}})");
    addEngine("A", definition(server.url("/a")));
    addEngine("B", definition(server.url("/b")));
    addEngine("C", definition(server.url("/c")));
    bool cancelled = false;
    view.onPump = [&] {
        if (!cancelled && view.currentEngine == "B" && server.requests().size() == 2) {
            cancelled = true;
            driver.cancel();
        }
    };
    RunRequest r = request({"A", "B", "C"});
    r.autoText = true;
    const std::string start = driver.state().startTime;

    EXPECT_EQ(driver.run(r, site), RunEnd::Cancelled);
    EXPECT_EQ(driver.state().successList, (std::vector<std::string>{"A"}));
    EXPECT_TRUE(driver.state().failedList.empty());
    EXPECT_TRUE(view.reportKinds.empty());
    EXPECT_EQ(view.statuses.back(), "Cancelled");
    EXPECT_EQ(server.requests().size(), 2u);
    EXPECT_FALSE(view.running);
    EXPECT_EQ(std::count(view.messages.begin(), view.messages.end(), "Submission Complete."), 0);
}

TEST_F(SubmitFixture, MissingDefinitionAbortsAndRestoresTheControls)
{
    EXPECT_EQ(driver.run(request({"Nowhere"}), site), RunEnd::Aborted);
    EXPECT_EQ(view.messages.back(), "Data file for Nowhere missing.");
    EXPECT_FALSE(view.running);
    EXPECT_FALSE(driver.running());
}

TEST_F(SubmitFixture, BadExtraFieldCountEndsTheRunWithTheConversionError)
{
    addEngine("Bad", "[ExtraFields]\r\nextrafields=x1\r\n[SITE]\r\nACTION=http://127.0.0.1:1/x\r\nMETHOD=POST\r\n");
    EXPECT_THROW(driver.run(request({"Bad"}), site), ConvertError);
    EXPECT_FALSE(view.running);
}

TEST_F(SubmitFixture, EmptyListsAndEmptySiteList)
{
    EXPECT_EQ(driver.run(request({}, {}), site), RunEnd::NotStarted);
    EXPECT_EQ(view.messages.back(),
              "You don't have any websites listed in the Sites To Submit Box.  Select a saved site to submit and try again.");
    EXPECT_FALSE(view.running);

    RunRequest r = request({});
    r.autoHtml = true;
    EXPECT_EQ(driver.run(r, site), RunEnd::Completed);
    EXPECT_EQ(view.reportKinds, (std::vector<AutoReportKind>{AutoReportKind::Html}));
    EXPECT_EQ(view.messages.back(), "Submission Complete.");
}

TEST_F(SubmitFixture, TwoSitesEachGetTheirOwnReportsAndTheSavedOneItsStamp)
{
    EngineServer server("{}");
    addEngine("A", definition(server.url("/a")));
    base.write("sites/tlxurlsrev.tlx", "[http://www.second.example/]\r\nprofile=Second\r\n\r\n");
    base.write("sites/tlxprofiles.tlx",
               "[Second]\r\nFORWARD=http://\r\nURL=www.second.example/\r\nTITLE=Second Site\r\n\r\n");
    RunRequest r = request({"A"}, {"http://www.second.example/", "http://www.mysite.example/"});
    r.autoText = true;
    r.autoMail = true;

    EXPECT_EQ(driver.run(r, site), RunEnd::Completed);
    ASSERT_EQ(view.reportsWritten.size(), 4u);
    EXPECT_EQ(view.reportKinds, (std::vector<AutoReportKind>{AutoReportKind::Text, AutoReportKind::Mail,
                                                             AutoReportKind::Text, AutoReportKind::Mail}));
    for (const auto& state : view.reportsWritten) {
        EXPECT_TRUE(state.autoReport);
        EXPECT_EQ(state.successList, (std::vector<std::string>{"A"}));
    }
    // Sorted order: mysite first (not in the index: sent as the page holds it, no stamp), then second.
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[0].find("www.mysite.example"), std::string::npos);
    EXPECT_NE(requests[1].find("www.second.example"), std::string::npos);
    EXPECT_EQ(view.lastProfile.title, "Second Site");
    const std::string profiles = base.read("sites/tlxprofiles.tlx");
    EXPECT_NE(profiles.find("LASTRUN=Last Submission: "), std::string::npos) << profiles;
    EXPECT_EQ(profiles.find("mysite"), std::string::npos);
}

namespace {
// Answers every request with a scripted client error.
struct ScriptedTransport : SubmissionTransport {
    std::string message;
    RequestResult send(const std::string&, const std::string&, const std::string&, EventPump&) override
    {
        return {true, message};
    }
    void interrupt() override {}
};
}  // namespace

TEST(SubmissionOutcome, ConnectionTimeoutIsAFailureAndRedirectsAreSuccesses)
{
    TempDir base;
    base.write("data/E.tlx", "[SITE]\r\nACTION=http://engine.test/add\r\nMETHOD=GET\r\nURL=http://engine.test/\r\n");
    ErrorLog(base.path()).clear();
    RecordingView view;
    ScriptedTransport transport;
    SubmissionDriver driver(base.path(), view, transport);
    SiteProfile site;
    site.protocol = "http://";
    site.address = "www.mysite.example/";
    RunRequest r;
    r.sites = {"http://www.mysite.example/"};
    r.engines = {"E"};

    for (const char* redirect : {"151: 302 Found", "151: 302 Moved Temporarily", "151: 302 Document Found"}) {
        transport.message = redirect;
        driver.run(r, site);
        EXPECT_EQ(driver.state().successList, (std::vector<std::string>{"E"})) << redirect;
    }
    EXPECT_EQ(ErrorLog(base.path()).lines().size(), 1u);

    transport.message = "10060: Interrupted.";
    driver.run(r, site);
    EXPECT_TRUE(driver.state().successList.empty());
    EXPECT_EQ(driver.state().failedList, (std::vector<std::string>{"E"}));
    const LineList lines = ErrorLog(base.path()).lines();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[2], "Error   : 10060: Interrupted. Site Name: E");
    EXPECT_EQ(lines[4], "Method  : GET");
}

namespace {

std::int64_t historyRows(const std::string& baseDir)
{
    HistoryStore store(baseDir, HistoryStore::Access::ReadOnly);
    return static_cast<std::int64_t>(store.submissions().size());
}

}  // namespace

// Rows are written in batches, yet none is lost: those kept back reach the disk
// while a later request stalls, and the rest when the run ends by Cancel.
TEST_F(SubmitFixture, HistoryRowsReachTheDiskDuringAStallAndWhenTheRunIsCancelled)
{
    EngineServer server(R"({"/silent": {"silent": true}})");
    std::vector<std::string> engines;
    for (int i = 0; i < 40; ++i) {
        const std::string name = "E" + std::to_string(100 + i);
        addEngine(name, definition(server.url("/" + name)));
        engines.push_back(name);
    }
    addEngine("E200", definition(server.url("/silent")));  // sorted after the 40
    addEngine("E300", definition(server.url("/never")));
    engines.push_back("E200");
    engines.push_back("E300");
    std::int64_t seenDuringStall = -1;
    view.onPump = [&] {
        if (seenDuringStall < 0 && view.currentEngine == "E200" && server.requests().size() == 41) {
            // The stalled request waits; the 40 rows before it must show up on
            // their own (another connection sees only what was committed).
            if (historyRows(base.path()) == 40) {
                seenDuringStall = 40;
                driver.cancel();
            }
        }
    };
    RunRequest r = request(engines);
    r.timeoutSeconds = "60";
    EXPECT_EQ(driver.run(r, site), RunEnd::Cancelled);
    EXPECT_EQ(seenDuringStall, 40);
    // The cancelled request's row is written before run() returns, with the driver still alive.
    HistoryStore store(base.path(), HistoryStore::Access::ReadOnly);
    const auto rows = store.submissions();
    ASSERT_EQ(rows.size(), 41u);
    EXPECT_EQ(rows.back().engine, "E200");
    EXPECT_EQ(rows.back().outcome, "skipped");
    EXPECT_EQ(server.requests().size(), 41u);
}
