// Whole rank runs against a local server that plays the eight engines.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "RankServer.h"
#include "TestSupport.h"
#include "ranking/RankEngines.h"
#include "ranking/RankRun.h"
#include "util/Errors.h"

using namespace tolvan;
using tolvan::test::RankServer;
using tolvan::test::TempDir;
using tolvan::test::writeRankHosts;

namespace {

constexpr std::size_t idx(RankEngine e) { return static_cast<std::size_t>(e); }

// What the Ranking page would show, and its inputs.
class RecordingView : public RankView {
public:
    RecordingView() { positions.fill(-1); }

    std::string phraseBox;
    std::array<bool, kRankEngineCount> ticked{};
    std::array<std::vector<std::string>, kRankEngineCount> captions;
    std::array<int, kRankEngineCount> positions;  // -1: never set
    std::array<bool, kRankEngineCount> lamp{};
    std::array<int, kRankEngineCount> lampLit{};
    std::vector<std::string> messages;
    std::string buffer;
    int bufferSets = 0;
    std::function<void(RankEngine, const std::string&)> onCaption;

    void tick(std::initializer_list<RankEngine> engines)
    {
        for (RankEngine e : engines)
            ticked[idx(e)] = true;
    }
    const std::string& caption(RankEngine e) const { return captions[idx(e)].back(); }
    int position(RankEngine e) const { return positions[idx(e)]; }

    std::string phrase() override { return phraseBox; }
    void setPhrase(const std::string& p) override { phraseBox = p; }
    bool engineSelected(RankEngine e) override { return ticked[idx(e)]; }
    void setLamp(RankEngine e, bool lit) override
    {
        lamp[idx(e)] = lit;
        lampLit[idx(e)] += lit ? 1 : 0;
    }
    void setCaption(RankEngine e, const std::string& c) override
    {
        captions[idx(e)].push_back(c);
        if (onCaption)
            onCaption(e, c);
    }
    void setPosition(RankEngine e, int p) override { positions[idx(e)] = p; }
    void setRankBuffer(std::string_view page) override
    {
        buffer.assign(page);
        ++bufferSets;
    }
    void showMessage(const std::string& text) override { messages.push_back(text); }
};

std::string json(const std::string& s)
{
    std::string out = "\"";
    for (char c : s) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out + "\"";
}

// One scripted answer: the path, raw query values that must match, and the reply.
struct Rule {
    using Params = std::vector<std::pair<std::string, std::string>>;
    Rule(std::string path, Params params, std::string body, int status = 200, std::string reason = {},
         int times = 0, std::vector<std::string> pieces = {}, bool silent = false)
        : path(std::move(path)), params(std::move(params)), body(std::move(body)), status(status),
          reason(std::move(reason)), times(times), pieces(std::move(pieces)), silent(silent)
    {
    }
    std::string path;
    Params params;
    std::string body;
    int status;
    std::string reason;
    int times;  // 0: every time
    std::vector<std::string> pieces;
    bool silent;
};

std::string script(const std::vector<Rule>& rules)
{
    std::string out = "[";
    for (const Rule& r : rules) {
        if (out.size() > 1)
            out += ",";
        out += "{\"path\":" + json(r.path) + ",\"status\":" + std::to_string(r.status);
        if (!r.reason.empty())
            out += ",\"reason\":" + json(r.reason);
        out += ",\"params\":{";
        for (std::size_t i = 0; i < r.params.size(); ++i)
            out += (i ? "," : "") + json(r.params[i].first) + ":" + json(r.params[i].second);
        out += "}";
        if (r.times > 0)
            out += ",\"times\":" + std::to_string(r.times);
        if (r.silent)
            out += ",\"silent\":true";
        if (!r.pieces.empty()) {
            out += ",\"pieces\":[";
            for (std::size_t i = 0; i < r.pieces.size(); ++i)
                out += (i ? "," : "") + json(r.pieces[i]);
            out += "]";
        } else {
            out += ",\"body\":" + json(r.body);
        }
        out += "}";
    }
    return out + "]";
}

// A result page of the engine listing `count` other sites, with `site` as the
// result at `place` (1-based; 0 for none).
std::string resultPage(RankEngine engine, int count, int place = 0, const std::string& site = "www.acme.example")
{
    const RankRecipe& r = rankRecipe(engine);
    std::string page = "<html><head><title>Results</title></head><body>\r\n";
    for (int i = 1; i <= count; ++i) {
        const std::string address =
            i == place ? "http://" + site + "/" : "http://www.other" + std::to_string(i) + ".example/";
        page += "<p><b>" + std::to_string(i) + r.marker + " <a href=" + address + r.terminator +
                "title>Result</a> some words</p>\r\n";
    }
    return page + "</body></html>\r\n";
}

const std::string kHotBot = "/QX27LpRa0D3B9F1E6A7C2458BE91F03D7C64A2E5/hResult.html";

class RankRunTest : public ::testing::Test {
protected:
    TempDir base;
    RecordingView view;

    RankRequest request(const std::string& depth, const std::string& phrase = "blue widgets cheap")
    {
        return RankRequest{"WWW.Acme.example", phrase, depth, {}};
    }
};

}  // namespace

TEST_F(RankRunTest, EveryEngineFollowsItsRecipeAndShowsThePlaceFound)
{
    RankServer server(script({
        {"/Titles", {{"st", "26"}}, resultPage(RankEngine::Infoseek, 25, 4)},
        {"/Titles", {}, resultPage(RankEngine::Infoseek, 25)},
        {"/search", {}, "<html>Moved</html>", 302, "Found"},
        {"/cgi-bin/query", {{"navig30.x", "11"}}, resultPage(RankEngine::AltaVista, 10, 7)},
        {"/cgi-bin/query", {}, resultPage(RankEngine::AltaVista, 10)},
        {"/search.gw", {{"lk", "excite_netfind_us"}, {"start", "50"}}, resultPage(RankEngine::AolNetFind, 50, 2)},
        {"/search.gw", {{"look", "excite_netfind_us"}}, resultPage(RankEngine::AolNetFind, 50)},
        {"/cgi-bin/pursuit", {{"first", "51"}}, resultPage(RankEngine::Lycos, 50, 3)},
        {"/cgi-bin/pursuit", {}, resultPage(RankEngine::Lycos, 50)},
        {"/cgi-bin/WebQuery", {}, resultPage(RankEngine::WebCrawler, 50)},
    }));
    // Excite's first page comes from its search host, a second server.
    RankServer exciteSearch(script({{"/search.gw", {}, resultPage(RankEngine::Excite, 50, 5)}}));
    writeRankHosts(base, server.host(), exciteSearch.host());
    view.ticked.fill(true);
    RankRun run(base.path(), view);

    ASSERT_TRUE(run.run(request("100")));

    EXPECT_EQ(view.phraseBox, "blue+widgets+cheap");
    const std::string p = "blue+widgets+cheap";
    const std::vector<std::string> expected = {
        "/Titles?qt=" + p + "&lk=ip-noframes&st=1&rf=0&nh=25",
        "/Titles?qt=" + p + "&lk=ip-noframes&st=26&rf=0&nh=25",
        "/search?o=1&p=" + p + "&d=y&n=50&n=50&n=50&hc=5&hs=952&h=s&b=0",
        "/cgi-bin/query?pg=q&stq=40&what=web&kl=XX&q=" + p + "&navig0.x=11&navig0.y=12",
        "/cgi-bin/query?pg=q&stq=40&what=web&kl=XX&q=" + p + "&navig10.x=11&navig10.y=12",
        "/cgi-bin/query?pg=q&stq=40&what=web&kl=XX&q=" + p + "&navig20.x=11&navig20.y=12",
        "/cgi-bin/query?pg=q&stq=40&what=web&kl=XX&q=" + p + "&navig30.x=11&navig30.y=12",
        "/search.gw?search=" + p + "&Search=Find%21&look=excite_netfind_us&sorig=rpage&perPage=50&showSummary=false",
        "/search.gw?lk=excite_netfind_us&c=web&start=50&showSummary=false&s=" + p + "&perPage=50",
        "/cgi-bin/pursuit?query=" + p +
            "&maxhits=50&results=terse&adv=1&mtemp=java&etemp=error_java&rt=1&rtwm=500&rttf=50&rtfd=50&rtpn=15"
            "&rtpy=50&rtor=10&first=1",
        "/cgi-bin/pursuit?query=" + p +
            "&maxhits=50&results=terse&adv=1&mtemp=java&etemp=error_java&rt=1&rtwm=500&rttf=50&rtfd=50&rtpn=15"
            "&rtpy=50&rtor=10&first=51",
        kHotBot + "?SM=MC&MT=" + p + "&DV=7&RG=.com&DC=50&DE=0&OPs=MDRTP&_v=2&DU=days&SW=web&search.x=25&search.y=11",
        kHotBot + "?DV=7&OPs=MDRTP&MT=" + p +
            "&base=0&DE=0&RG=.com&DC=50&DU=days&_v=2&NUMMOD=0&act.next.x=5&act.next.y=15",
        "/cgi-bin/WebQuery?search=" + p + "&src=wc_more&perPage=50&start=0",
        "/cgi-bin/WebQuery?search=" + p + "&src=wc_more&perPage=50&start=50",
    };
    EXPECT_EQ(server.targets(), expected);
    EXPECT_EQ(exciteSearch.targets(),
              std::vector<std::string>{"/search.gw?search=" + p +
                                       "&Search=Find%21&sorig=rpage&perPage=50&showSummary=false"});

    // The place on the page plus the results on the pages before it.
    EXPECT_EQ(view.position(RankEngine::Infoseek), 29);
    EXPECT_EQ(view.position(RankEngine::Yahoo), 0);
    EXPECT_EQ(view.position(RankEngine::AltaVista), 37);
    EXPECT_EQ(view.position(RankEngine::AolNetFind), 52);
    EXPECT_EQ(view.position(RankEngine::Lycos), 53);
    EXPECT_EQ(view.position(RankEngine::Excite), 5);
    EXPECT_EQ(view.position(RankEngine::HotBot), 0);
    EXPECT_EQ(view.position(RankEngine::WebCrawler), 0);

    EXPECT_EQ(view.caption(RankEngine::Infoseek), "Checked InfoSeek");
    EXPECT_EQ(view.caption(RankEngine::Yahoo), "No Match - See Alta Vista");
    EXPECT_EQ(view.caption(RankEngine::AltaVista), "Checked Alta Vista");
    EXPECT_EQ(view.caption(RankEngine::AolNetFind), "Checked AOL Net Find");
    EXPECT_EQ(view.caption(RankEngine::Excite), "Checked Excite");
    EXPECT_EQ(view.caption(RankEngine::HotBot), "Checked Hot Bot");
    EXPECT_EQ(view.caption(RankEngine::WebCrawler), "Checked Web Crawler");
    EXPECT_EQ(view.captions[idx(RankEngine::Lycos)],
              (std::vector<std::string>{"Checking Lycos results 1 to 50", "Checking Lycos results 51 to 100",
                                        "Checked Lycos"}));
    EXPECT_EQ(view.captions[idx(RankEngine::HotBot)].front(), "Checking Hot Bot results 1 to 50");
    EXPECT_EQ(view.captions[idx(RankEngine::HotBot)][1], "Checking HotBot results 51 to 100");
    for (RankEngine e : kRankEngines) {
        EXPECT_FALSE(view.lamp[idx(e)]) << "lamp out after " << rankRecipe(e).finalCaption;
        EXPECT_GT(view.lampLit[idx(e)], 0);
    }
    EXPECT_TRUE(view.messages.empty());

    const RankData& result = run.result();
    EXPECT_EQ(result.site, "WWW.Acme.example");
    EXPECT_EQ(result.phrase, "blue+widgets+cheap");
    EXPECT_EQ(result.depth, "100");
    EXPECT_TRUE(result[RankEngine::Lycos].selected);
    EXPECT_EQ(result[RankEngine::Lycos].position, 53);
    EXPECT_EQ(result[RankEngine::AltaVista].position, 37);
}

TEST_F(RankRunTest, TheDepthDecidesHowManyPagesAreAskedFor)
{
    RankServer server(script({}));  // every page empty: nothing is ever found
    writeRankHosts(base, server.host());
    RankRun run(base.path(), view);

    // Depth 0: only the engines with a first-page form ask, once each.
    view.ticked.fill(true);
    run.run(request("0"));
    const auto zero = server.targets();
    ASSERT_EQ(zero.size(), 3u);
    EXPECT_EQ(zero[0].rfind("/search.gw?search=", 0), 0u);
    EXPECT_EQ(zero[1].rfind("/search.gw?search=", 0), 0u);
    EXPECT_EQ(zero[2].rfind(kHotBot + "?SM=MC", 0), 0u);
    for (RankEngine e : kRankEngines)
        EXPECT_EQ(view.position(e), 0);
    EXPECT_EQ(view.caption(RankEngine::Infoseek), "Checked InfoSeek");
    EXPECT_EQ(view.captions[idx(RankEngine::Infoseek)].size(), 1u) << "no page, so no Checking caption";

    auto countNew = [&](std::size_t before, const std::string& prefix) {
        const auto all = server.targets();
        return std::count_if(all.begin() + static_cast<long>(before), all.end(),
                             [&](const std::string& t) { return t.rfind(prefix, 0) == 0; });
    };

    // Not a number: 100. Infoseek shows 25 results a page.
    view.ticked.fill(false);
    view.tick({RankEngine::Infoseek});
    std::size_t before = server.targets().size();
    run.run(request("lots"));
    EXPECT_EQ(countNew(before, "/Titles?"), 4);
    EXPECT_EQ(server.targets().back(), "/Titles?qt=blue+widgets+cheap&lk=ip-noframes&st=76&rf=0&nh=25");

    // Whole pages: 60 makes three Infoseek pages and two of a 50-result engine.
    view.tick({RankEngine::WebCrawler});
    before = server.targets().size();
    run.run(request("60"));
    EXPECT_EQ(countNew(before, "/Titles?"), 3);
    EXPECT_EQ(countNew(before, "/cgi-bin/WebQuery?"), 2);

    // Above 500: 500, reported as typed.
    view.ticked.fill(false);
    view.tick({RankEngine::Lycos});
    before = server.targets().size();
    run.run(request("900"));
    EXPECT_EQ(countNew(before, "/cgi-bin/pursuit?"), 10);
    EXPECT_NE(server.targets().back().find("&first=451"), std::string::npos);
    EXPECT_EQ(run.result().depth, "900");
}

TEST_F(RankRunTest, FailedPagesAreAskedForAgainAndAHopelessEngineIsGivenUp)
{
    RankServer server(script({
        {"/Titles", {{"st", "1"}}, "<html>busy</html>", 500, "Internal Server Error", 2},
        {"/Titles", {{"st", "1"}}, resultPage(RankEngine::Infoseek, 25, 1)},
        {"/search", {}, "<html>moved</html>", 301, "Moved Permanently", 1},
        {"/search", {}, resultPage(RankEngine::Yahoo, 50)},
        {"/search.gw", {{"look", "excite_netfind_us"}}, "", 500, "Internal Server Error"},
        {"/search.gw", {{"lk", "excite_netfind_us"}, {"start", "0"}}, resultPage(RankEngine::AolNetFind, 50, 9)},
        {"/cgi-bin/pursuit", {}, "<html>down</html>", 503, "Service Unavailable"},
        {kHotBot, {{"SM", "MC"}}, "", 404, "Not Found"},
    }));
    writeRankHosts(base, server.host());
    view.tick({RankEngine::Infoseek, RankEngine::Yahoo, RankEngine::AolNetFind, RankEngine::Lycos,
               RankEngine::HotBot});
    RankRun run(base.path(), view);
    run.run(request("50"));

    // Infoseek: the same page again after each failure, with a box each time.
    EXPECT_EQ(view.messages, (std::vector<std::string>{"Error   : 151: 500 Internal Server Error",
                                                       "Error   : 151: 500 Internal Server Error"}));
    EXPECT_EQ(view.captions[idx(RankEngine::Infoseek)],
              (std::vector<std::string>{"Checking InfoSeek results 1 to 25", "Unable to rank - Try Later",
                                        "Checking InfoSeek results 1 to 25", "Unable to rank - Try Later",
                                        "Checking InfoSeek results 1 to 25", "Checked InfoSeek"}));
    EXPECT_EQ(view.position(RankEngine::Infoseek), 1);

    // Yahoo: only its 302 answers mean "no match"; another failure is retried.
    EXPECT_EQ(view.caption(RankEngine::Yahoo), "Checked Yahoo");

    // AOL NetFind: a failed first page goes on with the further pages from 0.
    EXPECT_EQ(view.captions[idx(RankEngine::AolNetFind)][1], "Unable to rank - Try Later");
    EXPECT_EQ(view.position(RankEngine::AolNetFind), 9);

    // Lycos never answers well: three tries, then it is given up.
    const auto targets = server.targets();
    EXPECT_EQ(std::count_if(targets.begin(), targets.end(),
                            [](const std::string& t) { return t.rfind("/cgi-bin/pursuit?", 0) == 0; }),
              RankRun::kAttemptsPerPage);
    EXPECT_EQ(view.caption(RankEngine::Lycos), "Unable to rank - Try Later");
    EXPECT_EQ(view.position(RankEngine::Lycos), 0);
    EXPECT_FALSE(view.lamp[idx(RankEngine::Lycos)]);

    // HotBot: after a failed first page its next-page form starts at base -50.
    EXPECT_EQ(targets.back(), kHotBot + "?DV=7&OPs=MDRTP&MT=blue+widgets+cheap&base=-50&DE=0&RG=.com&DC=50&DU=days"
                                        "&_v=2&NUMMOD=0&act.next.x=5&act.next.y=15");
    EXPECT_EQ(view.caption(RankEngine::HotBot), "Checked Hot Bot");
}

TEST_F(RankRunTest, AnUnreachableEngineDoesNotStopTheRun)
{
    // Nothing listens on the Infoseek host; the others answer.
    RankServer server(script({{"/cgi-bin/WebQuery", {}, resultPage(RankEngine::WebCrawler, 50, 50)}}));
    writeRankHosts(base, server.host());
    base.write("data/hosts.tlx", "[Rank]\r\nInfoseek=127.0.0.1:" + std::to_string(test::freeLoopbackPort()) +
                                     "\r\nWebCrawler=" + server.host() + "\r\n");
    view.tick({RankEngine::Infoseek, RankEngine::Yahoo, RankEngine::WebCrawler});
    RankRun run(base.path(), view);
    run.run(request("50"));
    ASSERT_EQ(view.messages.size(), static_cast<std::size_t>(RankRun::kAttemptsPerPage));
    EXPECT_EQ(view.messages[0], "Error   : 10061: Interrupted.");
    // Yahoo has no host at all.
    EXPECT_EQ(view.caption(RankEngine::Yahoo), "Unable to rank - Try Later");
    EXPECT_EQ(view.caption(RankEngine::WebCrawler), "Checked Web Crawler");
    EXPECT_EQ(view.position(RankEngine::WebCrawler), 50);
}

TEST_F(RankRunTest, APageArrivingInPiecesIsScannedWhole)
{
    // The marker and the site's address are both cut between two pieces.
    RankServer server(script({{"/cgi-bin/pursuit", {}, "", 200, "", 0,
                               {"<p>1%] <a href=http://www.one.example/ x>One</a></p>\r\n<p>2%",
                                "] <a href=http://www.ac", "me.example/ x>Acme</a></p>\r\n"}}}));
    writeRankHosts(base, server.host());
    view.tick({RankEngine::Lycos});
    RankRun run(base.path(), view);
    run.run(request("50", "acme"));
    EXPECT_EQ(view.position(RankEngine::Lycos), 2);
    EXPECT_EQ(view.bufferSets, 1) << "the buffer gets the page once";
    EXPECT_EQ(run.pageText(),
              "<p>1%] <a href=http://www.one.example/ x>One</a></p>\r\n<p>2%] <a href=http://www.acme.example/ "
              "x>Acme</a></p>\r\n");
    EXPECT_EQ(view.buffer, run.pageText());
}

TEST_F(RankRunTest, ThePhraseAndTheTicksAreReadAgainWhileTheRunGoesOn)
{
    RankServer server(script({}));
    writeRankHosts(base, server.host());
    view.tick({RankEngine::Infoseek, RankEngine::WebCrawler});
    view.positions[idx(RankEngine::WebCrawler)] = 17;  // shown by an earlier run
    RankRun run(base.path(), view);
    bool secondPress = true;
    view.onCaption = [&](RankEngine e, const std::string& caption) {
        if (e == RankEngine::Infoseek && caption == "Checking InfoSeek results 1 to 25") {
            view.phraseBox = "red shoes & socks";  // typed during the run
            view.ticked[idx(RankEngine::WebCrawler)] = false;
            view.ticked[idx(RankEngine::Lycos)] = true;
            secondPress = run.run(request("50"));
        }
    };
    run.run(request("50", "blue widgets"));
    EXPECT_FALSE(secondPress) << "a second press during a run does nothing";
    const auto targets = server.targets();
    ASSERT_EQ(targets.size(), 3u);
    EXPECT_EQ(targets[0], "/Titles?qt=red+shoes+%26+socks&lk=ip-noframes&st=1&rf=0&nh=25");
    EXPECT_EQ(targets[1], "/Titles?qt=red+shoes+%26+socks&lk=ip-noframes&st=26&rf=0&nh=25");
    EXPECT_EQ(targets[2].rfind("/cgi-bin/pursuit?query=red+shoes+%26+socks&", 0), 0u);
    // The unticked engine keeps what it showed.
    EXPECT_EQ(view.position(RankEngine::WebCrawler), 17);
    EXPECT_TRUE(view.captions[idx(RankEngine::WebCrawler)].empty());
    EXPECT_FALSE(run.result()[RankEngine::WebCrawler].selected);
    EXPECT_TRUE(run.result()[RankEngine::Lycos].selected);
}

TEST_F(RankRunTest, PagesGoThroughTheProxyGivenAtStartUp)
{
    RankServer proxy(script({{"/cgi-bin/pursuit", {}, resultPage(RankEngine::Lycos, 50, 12)}}));
    writeRankHosts(base, "www.lycos.example");
    view.tick({RankEngine::Lycos});
    RankRun run(base.path(), view);
    run.setProxy("127.0.0.1", static_cast<std::uint16_t>(proxy.port()));
    run.run(request("50"));
    ASSERT_EQ(proxy.targets().size(), 1u);
    EXPECT_EQ(proxy.targets()[0].rfind("http://www.lycos.example/cgi-bin/pursuit?query=blue+widgets+cheap&", 0), 0u);
    EXPECT_EQ(view.position(RankEngine::Lycos), 12);
}

namespace {
class HookPump final : public EventPump {
public:
    std::function<void()> hook;
    void processEvents() override
    {
        if (hook)
            hook();
    }
};
}  // namespace

TEST_F(RankRunTest, StoppingAbandonsASilentEngineAndEndsTheRun)
{
    RankServer server(script({{"/Titles", {}, "", 200, "", 0, {}, true}}));
    writeRankHosts(base, server.host());
    view.tick({RankEngine::Infoseek, RankEngine::Lycos});
    HookPump pump;
    RankRun run(base.path(), view, pump);
    int waits = 0;
    pump.hook = [&] {
        if (!server.targets().empty() && ++waits == 20)
            run.stop();
    };
    run.run(request("50"));
    EXPECT_FALSE(run.running());
    EXPECT_EQ(server.targets().size(), 1u) << "nothing asked for after the stop";
    EXPECT_EQ(view.captions[idx(RankEngine::Infoseek)],
              std::vector<std::string>{"Checking InfoSeek results 1 to 25"});
    EXPECT_TRUE(view.captions[idx(RankEngine::Lycos)].empty());
    EXPECT_TRUE(view.messages.empty());
}

TEST_F(RankRunTest, ASilentOrHalfSentPageTimesOutAndCountsAsAFailure)
{
    // Infoseek never answers; Lycos sends half a page and then keeps the
    // connection open; WebCrawler answers.
    RankServer server("[" R"({"path": "/Titles", "silent": true},)"
                      R"({"path": "/cgi-bin/pursuit", "pieces": ["<p>1%] <a href=http://www.one.example/ x>"], "hang": true},)"
                      R"({"path": "/cgi-bin/WebQuery", "body": )" +
                      json(resultPage(RankEngine::WebCrawler, 3, 2)) + "}]");
    writeRankHosts(base, server.host());
    view.tick({RankEngine::Infoseek, RankEngine::Lycos, RankEngine::WebCrawler});
    RankRun run(base.path(), view);
    run.setFirstRetryPause(10);
    RankRequest r = request("50");
    r.timeoutSeconds = "1";
    run.run(r);

    EXPECT_EQ(view.messages, std::vector<std::string>(RankRun::kAttemptsPerPage, "Error   : 10060: Connection timed out"));
    EXPECT_EQ(view.caption(RankEngine::Infoseek), "Unable to rank - Try Later");
    EXPECT_EQ(view.caption(RankEngine::Lycos), "Unable to rank - Try Later");
    EXPECT_EQ(view.position(RankEngine::Lycos), 0);
    EXPECT_EQ(view.position(RankEngine::WebCrawler), 2);
    const auto targets = server.targets();
    EXPECT_EQ(std::count_if(targets.begin(), targets.end(),
                            [](const std::string& t) { return t.rfind("/cgi-bin/pursuit?", 0) == 0; }),
              RankRun::kAttemptsPerPage);

    // A time-out that is not a number is the conversion error of the submission run.
    r.timeoutSeconds = "4x";
    EXPECT_THROW(run.run(r), ConvertError);
    EXPECT_FALSE(run.running());
}

TEST_F(RankRunTest, AnEndlessPageIsCappedAndTheRunGoesOn)
{
    RankServer server(R"([{"path": "/Titles", "pieces": ["<p>1%</b> "], "filler": 41943040},)"
                      R"({"path": "/cgi-bin/WebQuery", "body": "<p>1% </B> http://www.acme.example/</A>"}])");
    writeRankHosts(base, server.host());
    view.tick({RankEngine::Infoseek, RankEngine::WebCrawler});
    RankRun run(base.path(), view);
    run.setFirstRetryPause(10);
    run.run(request("25"));
    EXPECT_EQ(view.messages, std::vector<std::string>(RankRun::kAttemptsPerPage,
                                                      "Error   : The result page is larger than 32 MB; it was not scanned."));
    EXPECT_EQ(view.caption(RankEngine::Infoseek), "Unable to rank - Try Later");
    EXPECT_EQ(view.position(RankEngine::WebCrawler), 1);
    EXPECT_LE(run.pageText().size(), RankRun::kMaxPageBytes);
}

TEST_F(RankRunTest, AFailedPageIsAskedForAgainOnlyAfterAPause)
{
    RankServer server(script({{"/cgi-bin/pursuit", {}, "<html>down</html>", 503, "Service Unavailable"}}));
    writeRankHosts(base, server.host());
    view.tick({RankEngine::Lycos});
    std::vector<std::chrono::steady_clock::time_point> asked;
    view.onCaption = [&](RankEngine, const std::string& caption) {
        if (caption.rfind("Checking", 0) == 0)
            asked.push_back(std::chrono::steady_clock::now());
    };
    RankRun run(base.path(), view);
    run.run(request("50"));
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_GE(asked[1] - asked[0], std::chrono::milliseconds(1000));
    EXPECT_GE(asked[2] - asked[1], std::chrono::milliseconds(2000));
}

TEST_F(RankRunTest, CancelPutsTheLampOutAndLeavesTheOtherEnginesAlone)
{
    RankServer server(script({{"/cgi-bin/pursuit", {}, "", 200, "", 0, {}, true}}));
    writeRankHosts(base, server.host());
    view.tick({RankEngine::Lycos, RankEngine::WebCrawler});
    HookPump pump;
    RankRun run(base.path(), view, pump);
    pump.hook = [&] {
        if (!server.targets().empty())
            run.cancel();
    };
    run.run(request("50"));
    EXPECT_FALSE(run.running());
    EXPECT_EQ(view.caption(RankEngine::Lycos), "Stopped");
    EXPECT_FALSE(view.lamp[idx(RankEngine::Lycos)]);
    EXPECT_EQ(view.position(RankEngine::Lycos), -1) << "the panel keeps what it showed";
    EXPECT_TRUE(view.captions[idx(RankEngine::WebCrawler)].empty());
}

TEST_F(RankRunTest, EveryCheckedEngineReportsAnOutcomeForTheHistory)
{
    RankServer server(script({
        {"/cgi-bin/pursuit", {}, resultPage(RankEngine::Lycos, 50, 3)},
        {"/cgi-bin/WebQuery", {}, "<html>a page in another format</html>"},
        {"/Titles", {}, "<html>down</html>", 503, "Service Unavailable"},
        {"/search", {}, "<html>moved</html>", 302, "Found"},
    }));
    writeRankHosts(base, server.host());
    view.tick({RankEngine::Infoseek, RankEngine::Yahoo, RankEngine::Lycos, RankEngine::WebCrawler});
    RankRun run(base.path(), view);
    run.setFirstRetryPause(10);
    std::vector<RankCheckResult> outcomes;
    run.onOutcome = [&](const RankCheckResult& r) { outcomes.push_back(r); };
    run.run(request("50"));
    ASSERT_EQ(outcomes.size(), 4u);
    EXPECT_EQ(outcomes[0].engine, "Infoseek");
    EXPECT_EQ(outcomes[0].outcome, RankOutcome::Failed);
    EXPECT_EQ(outcomes[0].detail, "failed: 151: 503 Service Unavailable");
    EXPECT_EQ(outcomes[1].outcome, RankOutcome::NotFound) << "Yahoo hands the search on";
    EXPECT_EQ(outcomes[2].engine, "Lycos");
    EXPECT_EQ(outcomes[2].outcome, RankOutcome::Found);
    EXPECT_EQ(outcomes[2].place, 3);
    EXPECT_EQ(outcomes[2].site, "WWW.Acme.example");
    EXPECT_EQ(outcomes[2].phrase, "blue widgets cheap") << "the phrase asked for, in words";
    EXPECT_EQ(outcomes[2].address, "http://www.acme.example/");
    EXPECT_EQ(outcomes[2].detail, "found at place 3: http://www.acme.example/");
    EXPECT_EQ(outcomes[2].competitors.size(), 10u) << "the first ten results seen";
    EXPECT_EQ(outcomes[2].competitors[0], "http://www.other1.example/");
    EXPECT_TRUE(outcomes[3].competitors.empty());
    EXPECT_EQ(outcomes[3].outcome, RankOutcome::Unrecognised) << "no result marker on any page";
    EXPECT_EQ(outcomes[3].time.size(), 20u);
}
