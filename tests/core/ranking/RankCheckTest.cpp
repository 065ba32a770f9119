// Rank checks with engines described by data: the shipped definitions played
// by a local server, result extraction, site matching and robots.txt.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "RankServer.h"
#include "TlsPeers.h"
#include "TestSupport.h"
#include "net/RemoteHosts.h"
#include "ranking/RankCheck.h"
#include "ranking/RankDefinition.h"
#include "ranking/ResultExtractor.h"
#include "ranking/RobotsRules.h"
#include "ranking/SiteMatch.h"
#include "util/Errors.h"
#include "util/Files.h"

using namespace tolvan;
using tolvan::test::RankServer;
using tolvan::test::TempDir;

namespace {

// The shipped definition, asked over plain http.
void installShipped(const TempDir& base, const std::string& name)
{
    std::string text = readFile(std::string(TOLVAN_SOURCE_DIR) + "/data/rank/" + name + ".tlx");
    for (std::size_t at = text.find("https://"); at != std::string::npos; at = text.find("https://"))
        text.replace(at, 8, "http://");
    base.write("data/rank/" + name + ".tlx", text);
}

void writeHosts(const TempDir& base, const std::vector<std::string>& engines, const std::string& host)
{
    std::string text = "[Maker]\r\nProduct=http://www.quendel.example/tolvan/\r\n[RankEngines]\r\n";
    for (const std::string& e : engines)
        text += e + "=" + host + "\r\n";
    base.write("data/hosts.tlx", text);
}

std::string mojeekPage(int first, int count, int place, const std::string& site = "https://www.acme.example/shop/")
{
    std::string page = "<html><body><ul class=\"results-standard\">";
    for (int i = 0; i < count; ++i) {
        const std::string address =
            first + i == place ? site : "https://other" + std::to_string(first + i) + ".example/a?x=1&amp;y=2";
        page += "<li><h2><a class=\"title\" href=\"" + address + "\">Result</a></h2><p>words</p></li>";
    }
    return page + "</ul></body></html>";
}

std::string json(const std::string& s) { return nlohmann::json(s).dump(); }

RankCheckRequest request(std::vector<std::string> engines, long depth = 20,
                         std::vector<std::string> phrases = {"blue widgets"})
{
    RankCheckRequest r;
    r.sites = {"http://acme.example/shop"};
    r.phrases = std::move(phrases);
    r.engines = std::move(engines);
    r.depth = depth;
    r.timeoutSeconds = "2";
    r.minPauseMs = r.maxPauseMs = 0;
    return r;
}

}  // namespace

TEST(RankExtractionTest, PatternsJsonAndRedirectsGiveTheResultAddresses)
{
    RankDefinition html;
    html.name = "t";
    html.pattern = R"re(<a class="r" href="([^"]+)")re";
    html.unwrapParam = "uddg";
    const ResultExtractor fromHtml(html);
    EXPECT_EQ(fromHtml.extract(R"(<a class="r" href="https://a.example/?p=1&amp;q=2">)"
                               R"(<a class="x" href="https://ignored.example/">)"
                               R"(<a class="r" href="//r.example/l/?uddg=https%3A%2F%2Fb.example%2Fpage&amp;rut=9">)"),
              (std::vector<std::string>{"https://a.example/?p=1&q=2", "https://b.example/page"}));
    EXPECT_TRUE(fromHtml.extract("<html>nothing here</html>").empty());

    // The base64 form after a prefix, URL-safe alphabet and no padding.
    EXPECT_EQ(unwrapRedirect("https://e.example/ck/a?!&&p=abc&u=a1aHR0cHM6Ly93d3cuYWNtZS5leGFtcGxlL3Nob3Av&ntb=1", "u",
                             true, "a1"),
              "https://www.acme.example/shop/");
    EXPECT_EQ(unwrapRedirect("https://e.example/ck/a?u=a1%%%", "u", true, "a1"), "https://e.example/ck/a?u=a1%%%")
        << "a value that does not decode leaves the address";
    EXPECT_EQ(decodeHtmlReferences("a&#47;b&#x2F;c&quot;&unknown;"), "a/b/c\"&unknown;");

    RankDefinition api;
    api.name = "j";
    api.json = true;
    api.jsonArray = "web.results";
    api.jsonField = "url";
    const ResultExtractor fromJson(api);
    EXPECT_EQ(fromJson.extract(R"({"web":{"results":[{"url":"https://a.example/"},{"title":"no url"},)"
                               R"({"url":7},{"url":"https://b.example/"}]}})"),
              (std::vector<std::string>{"https://a.example/", "https://b.example/"}));
    EXPECT_TRUE(fromJson.extract("<html>a challenge</html>").empty());
    EXPECT_TRUE(fromJson.extract(R"({"web":{"results":{}}})").empty());

    RankDefinition broken = html;
    broken.pattern = "(unclosed";
    EXPECT_THROW(ResultExtractor{broken}, TolvanError);
    broken.pattern = "no group";
    EXPECT_THROW(ResultExtractor{broken}, TolvanError);
}

TEST(RankExtractionTest, SiteMatchingAndRobotsRules)
{
    const SiteMatcher shop("https://www.Acme.example/shop");
    EXPECT_TRUE(shop.matches("http://acme.example/shop/item?x=1"));
    EXPECT_TRUE(shop.matches("https://WWW.ACME.EXAMPLE:443/shop"));
    EXPECT_FALSE(shop.matches("https://acme.example/blog/shop"));
    EXPECT_FALSE(shop.matches("https://shop.acme.example/shop"));
    EXPECT_FALSE(shop.matches("https://other.example/?q=acme.example/shop"));
    EXPECT_FALSE(shop.matches("ftp://acme.example/shop"));
    const SiteMatcher bare("acme.example");
    EXPECT_TRUE(bare.matches("https://www.acme.example/"));
    EXPECT_TRUE(bare.matches("https://acme.example"));
    EXPECT_FALSE(SiteMatcher("").matches("https://acme.example/"));

    const RobotsRules rules("User-agent: other\nDisallow: /\n\n"
                            "User-agent: *\nDisallow: /search\nAllow: /search/about$\nDisallow: /*.pdf$\n",
                            "Tolvan");
    EXPECT_FALSE(rules.allowed("/search?q=x"));
    EXPECT_TRUE(rules.allowed("/search/about"));
    EXPECT_FALSE(rules.allowed("/search/about/more"));
    EXPECT_FALSE(rules.allowed("/files/a.pdf"));
    EXPECT_TRUE(rules.allowed("/files/a.pdf?x"));
    EXPECT_TRUE(rules.allowed("/"));
    const RobotsRules mine("User-agent: *\nDisallow: /\n\nUser-agent: tolvan\nDisallow: /private\n", "Tolvan");
    EXPECT_TRUE(mine.allowed("/search?q=x")) << "the group naming the agent wins over *";
    EXPECT_FALSE(mine.allowed("/private/x"));
}

TEST(RankCheckTest, MojeekPagesGiveFoundAtTheLastPlaceNotFoundAndACoveredDepth)
{
    RankServer server("[" R"({"path": "/robots.txt", "status": 404},)"
                      R"({"path": "/search", "params": {"q": "blue+widgets", "s": "1"}, "body": )" +
                      json(mojeekPage(1, 10, 0)) + "}," +
                      R"({"path": "/search", "params": {"q": "blue+widgets", "s": "11"}, "body": )" +
                      json(mojeekPage(11, 10, 20)) + "}," +
                      R"({"path": "/search", "params": {"q": "red", "s": "1"}, "body": )" +
                      json(mojeekPage(1, 10, 1, "http://acme.example/shop")) + "}," +
                      R"({"path": "/search", "params": {"q": "absent", "s": "1"}, "body": )" +
                      json(mojeekPage(1, 10, 0)) + "}," +
                      R"({"path": "/search", "params": {"q": "absent", "s": "11"}, "body": )" +
                      json(mojeekPage(11, 4, 0)) + "}]");
    TempDir base;
    installShipped(base, "Mojeek");
    writeHosts(base, {"Mojeek"}, server.host());
    RankCheck check(base.path());
    std::vector<std::string> seen;
    check.onResult = [&](const RankCheckResult& r) { seen.push_back(r.phrase); };
    const auto results = check.run(request({"Mojeek"}, 20, {"blue widgets", "red", "absent"}));

    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(seen, (std::vector<std::string>{"blue widgets", "red", "absent"}));
    EXPECT_EQ(results[0].outcome, RankOutcome::Found);
    EXPECT_EQ(results[0].place, 20);
    EXPECT_EQ(results[0].address, "https://www.acme.example/shop/");
    EXPECT_EQ(results[0].detail, "found at place 20: https://www.acme.example/shop/");
    EXPECT_EQ(results[0].competitors.size(), 10u);
    EXPECT_EQ(results[0].competitors[0], "https://other1.example/a?x=1&y=2");
    EXPECT_EQ(results[1].place, 1);
    EXPECT_EQ(results[1].depth, 10);
    EXPECT_EQ(results[2].outcome, RankOutcome::NotFound);
    EXPECT_EQ(results[2].depth, 14);
    EXPECT_EQ(results[2].detail,
              "not found in the first 14 results (the engine served no more results for this phrase)");
    EXPECT_EQ(results[2].time.size(), 20u);

    // robots.txt once per run, then the result pages; the product's User-Agent.
    const auto targets = server.targets();
    ASSERT_EQ(targets.size(), 6u);
    EXPECT_EQ(targets[0], "/robots.txt");
    EXPECT_EQ(targets[1], "/search?q=blue+widgets&s=1");
    const auto headers = server.headerLines();
    ASSERT_EQ(headers.size(), 6u);
    EXPECT_EQ(nlohmann::json::parse(headers[1]).value("User-Agent", ""),
              std::string("Tolvan/") + TOLVAN_VERSION + " (+http://www.quendel.example/tolvan/)");
}

TEST(RankCheckTest, RefusalsBlockAnEngineForTheRunWhileTheOthersGoOn)
{
    RankServer server("[" R"({"path": "/robots.txt", "body": "User-agent: *\nDisallow: /search\n"},)"
                      R"({"path": "/res/v1/web/search", "status": 429, "reason": "Too Many Requests",)"
                      R"( "headers": {"Retry-After": "120"}},)"
                      R"({"path": "/k-123/search/blue+widgets", "type": "application/json", "body": )" +
                      json(R"({"results":[{"url":"https://x.example/"},{"url":"https://www.acme.example/shop/a"}]})") +
                      "}]");
    TempDir base;
    for (const char* e : {"Mojeek", "Brave Search", "Marginalia"})
        installShipped(base, e);
    writeHosts(base, {"Mojeek", "Brave Search", "Marginalia"}, server.host());
    RankCheck check(base.path());
    check.apiKey = [](const std::string& engine) { return engine == "Brave Search" ? "b-456" : "k-123"; };
    const auto results = check.run(request({"Mojeek", "Brave Search", "Marginalia"}, 20, {"blue widgets", "red"}));

    ASSERT_EQ(results.size(), 6u);
    EXPECT_EQ(results[0].outcome, RankOutcome::NotAllowed);
    EXPECT_EQ(results[0].detail, "not allowed by the engine's robots.txt");
    EXPECT_EQ(results[1].outcome, RankOutcome::Blocked);
    EXPECT_EQ(results[1].detail,
              "blocked: the engine refused to answer (HTTP 429 Too Many Requests); it asks to wait 120 seconds");
    EXPECT_EQ(results[2].outcome, RankOutcome::Found);
    EXPECT_EQ(results[2].place, 2);
    EXPECT_EQ(results[4].outcome, RankOutcome::Blocked) << "the blocked engine is not asked again";
    EXPECT_EQ(results[5].outcome, RankOutcome::Unrecognised) << "an empty 200 answer";

    const auto targets = server.targets();
    EXPECT_EQ(std::count(targets.begin(), targets.end(), "/robots.txt"), 1);
    EXPECT_EQ(std::count_if(targets.begin(), targets.end(),
                            [](const std::string& t) { return t.rfind("/res/v1/", 0) == 0; }),
              1);
    EXPECT_EQ(std::count_if(targets.begin(), targets.end(),
                            [](const std::string& t) { return t.rfind("/search", 0) == 0; }),
              0) << "no request for a disallowed path";
    bool sawKey = false;
    for (const std::string& line : server.headerLines())
        sawKey = sawKey || nlohmann::json::parse(line).value("X-Subscription-Token", "") == "b-456";
    EXPECT_TRUE(sawKey);
}

TEST(RankCheckTest, ChallengesWrappedLinksAndMissingKeys)
{
    const std::string wrapped = "https://www.bing.example/ck/a?!&amp;&amp;p=1&amp;u=a1aHR0cHM6Ly9hY21lLmV4YW1wbGUvc2hvcC8&amp;ntb=1";
    std::string bing = "<ol id=\"b_results\">";
    bing += "<li class=\"b_algo\" data-x=\"1\"><div><h2 class=\"t\"><a target=\"_blank\" href=\"https://one.example/\">One</a></h2></div></li>";
    bing += "<li class=\"b_algo\"><h2><a href=\"" + wrapped + "\">Acme</a></h2></li></ol>";
    RankServer server("[" R"({"path": "/robots.txt", "status": 404},)"
                      R"({"path": "/search", "params": {"q": "blue+widgets"}, "body": )" + json(bing) + "}," +
                      R"({"path": "/search", "params": {"q": "red"}, "body": "<div class=\"captcha\">Prove it</div>"}])");
    TempDir base;
    installShipped(base, "Bing");
    installShipped(base, "Marginalia");
    writeHosts(base, {"Bing", "Marginalia"}, server.host());
    RankCheck check(base.path());
    auto r = request({"Bing", "Marginalia"}, 50, {"blue widgets", "red"});
    const auto results = check.run(r);
    ASSERT_EQ(results.size(), 4u);
    EXPECT_EQ(results[0].outcome, RankOutcome::Found);
    EXPECT_EQ(results[0].place, 2);
    EXPECT_EQ(results[0].address, "https://acme.example/shop/") << "the redirect's target";
    EXPECT_EQ(results[0].competitors,
              (std::vector<std::string>{"https://one.example/", "https://acme.example/shop/"}));
    EXPECT_EQ(results[1].outcome, RankOutcome::Failed);
    EXPECT_EQ(results[1].detail,
              "failed: no API key is stored for Marginalia; enter it in the rank section of the Options page");
    EXPECT_EQ(results[2].outcome, RankOutcome::Blocked);
    EXPECT_NE(results[2].detail.find("challenge page"), std::string::npos);
}

TEST(RankCheckTest, SilentHalfSentAndEndlessAnswersFailAfterTheRetries)
{
    RankServer server("[" R"({"path": "/robots.txt", "status": 404},)"
                      R"({"path": "/search", "params": {"q": "silent"}, "silent": true},)"
                      R"({"path": "/search", "params": {"q": "half"}, "pieces": ["<li><h2><a class=\"title\" href=\"h"], "hang": true},)"
                      R"({"path": "/search", "params": {"q": "endless"}, "filler": 41943040}])");
    TempDir base;
    installShipped(base, "Mojeek");
    writeHosts(base, {"Mojeek"}, server.host());
    RankCheck check(base.path());
    check.setFirstRetryPause(10);
    auto r = request({"Mojeek"}, 10, {"silent", "half"});
    r.timeoutSeconds = "1";
    const auto results = check.run(r);
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].outcome, RankOutcome::Failed);
    EXPECT_EQ(results[0].detail, "failed: no answer within 1 seconds");
    EXPECT_EQ(results[1].detail, "failed: no answer within 1 seconds");
    // A generous time-out, so the cap is what ends the endless page.
    r.phrases = {"endless"};
    r.timeoutSeconds = "120";
    const auto capped = check.run(r);
    ASSERT_EQ(capped.size(), 1u);
    EXPECT_EQ(capped[0].detail, "failed: the answer is larger than 32 MB");
    const auto targets = server.targets();
    EXPECT_EQ(std::count(targets.begin(), targets.end(), "/search?q=silent&s=1"), RankCheck::kAttempts);
    EXPECT_EQ(std::count(targets.begin(), targets.end(), "/search?q=half&s=1"), RankCheck::kAttempts);
    EXPECT_EQ(std::count(targets.begin(), targets.end(), "/search?q=endless&s=1"), 1) << "a cap is not a passing fault";
}

TEST(RankCheckTest, StopEndsTheCheckWithoutAnOutcomeForTheCutCheck)
{
    RankServer server(R"([{"path": "/robots.txt", "status": 404}, {"path": "/search", "silent": true}])");
    TempDir base;
    installShipped(base, "Mojeek");
    writeHosts(base, {"Mojeek"}, server.host());
    struct StopPump final : EventPump {
        std::function<void()> hook;
        void processEvents() override { hook(); }
    } pump;
    RankCheck check(base.path(), pump);
    pump.hook = [&] {
        if (server.targets().size() == 2)
            check.stop();
    };
    auto r = request({"Mojeek"}, 10, {"a", "b"});
    r.timeoutSeconds = "";
    EXPECT_TRUE(check.run(r).empty());
    EXPECT_TRUE(check.stopped());
    EXPECT_EQ(server.targets().size(), 2u);
}

TEST(RankCheckTest, EveryShippedDefinitionLoadsAndHasAHost)
{
    const std::string base = TOLVAN_SOURCE_DIR;
    const std::vector<std::string> names = rankDefinitionNames(base);
    EXPECT_EQ(names, (std::vector<std::string>{"Bing", "Brave Search", "Marginalia", "Mojeek"}));
    for (const std::string& name : names) {
        const RankDefinition def = loadRankDefinition(base, name);
        EXPECT_NO_THROW(ResultExtractor{def}) << name;
        EXPECT_EQ(def.address.rfind("https://{HOST}/", 0), 0u) << name;
        EXPECT_FALSE(RemoteHosts(base).value("RankEngines", name).empty()) << name;
    }
    EXPECT_THROW(loadRankDefinition(base, "../hosts"), TolvanError);
}

TEST(RankCheckTest, TheShippedDefinitionOverHttpsWithTheCertificateChecked)
{
    // The shipped Mojeek definition as it is (https), against a server with a
    // certificate from the test CA; robots.txt gets the same page (no rules).
    TempDir files;
    files.write("answer", "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n" + mojeekPage(1, 10, 3));
    test::TlsServer good("good.pem", "reply", {files.file("answer")});
    test::TlsServer untrusted("untrusted.pem", "reply", {files.file("answer")});
    TempDir base;
    base.write("data/rank/Mojeek.tlx", readFile(std::string(TOLVAN_SOURCE_DIR) + "/data/rank/Mojeek.tlx"));
    writeHosts(base, {"Mojeek"}, "127.0.0.1:" + std::to_string(good.port()));
    RankCheck check(base.path());
    auto results = check.run(request({"Mojeek"}, 10));
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].outcome, RankOutcome::Found) << results[0].detail;
    EXPECT_EQ(results[0].place, 3);
    EXPECT_EQ(results[0].address, "https://www.acme.example/shop/");

    writeHosts(base, {"Mojeek"}, "127.0.0.1:" + std::to_string(untrusted.port()));
    check.setFirstRetryPause(10);
    results = check.run(request({"Mojeek"}, 10));
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].outcome, RankOutcome::Failed) << "a certificate nobody trusts is no answer";
    EXPECT_NE(results[0].detail.find("robots.txt could not be read (160: Certificate not trusted"), std::string::npos)
        << results[0].detail;
}
