#include <gtest/gtest.h>

#include "TestSupport.h"
#include "net/RemoteHosts.h"
#include "ranking/SearchCheck.h"

using namespace tolvan;
using tolvan::test::TempDir;

namespace {

// A hosts file whose Search section names every engine by its own host.
void writeSearchHosts(const TempDir& base)
{
    base.write("data/hosts.tlx", "[Rank]\r\nYahoo=rank.yahoo.test\r\n"
                                 "[Search]\r\n"
                                 "Infoseek=is.test\r\nYahoo=yahoo.test:8080\r\nAltaVista=av.test\r\n"
                                 "AOL NetFind=aol.test\r\nLycos=lycos.test\r\nExcite=excite.test\r\n"
                                 "Excite Search=excitesearch.test\r\nHotBot=hb.test\r\nWebCrawler=wc.test\r\n");
}

}  // namespace

TEST(SearchCheck, EveryEngineGetsItsOwnHostAndFixedPath)
{
    TempDir base;
    writeSearchHosts(base);
    const RemoteHosts hosts(base.path());
    const std::pair<SearchEngine, const char*> expected[] = {
        {SearchEngine::infoseek, "http://is.test/Titles?col=WW&qt=url%3Awidgets&lk=ip-noframes"},
        {SearchEngine::yahoo, "http://yahoo.test:8080/search?p=widgets"},
        {SearchEngine::altaVista, "http://av.test/cgi-bin/query?pg=q&what=web&kl=XX&q=widgets"},
        {SearchEngine::lycos, "http://lycos.test/cgi-bin/pursuit?etemp=error_nojava&mtemp=nojava&adv=1&cat=lycos"
                              "&npl=matchmode%3Dand%26adv%3D1&query=widgets"},
        {SearchEngine::aolNetFind, "http://aol.test/search.gw?search=widgets&lk=excite_netfind_us"},
        {SearchEngine::excite, "http://excite.test/search.gw?trace=a&search=widgets"},
        {SearchEngine::hotBot, "http://hb.test/hResult.html/?SM=MC&MT=widgets&DV=7&RG=.com&DC=10&DE=2"
                               "&OPs=MDRTP&_v=2&DU=days&SW=web&search.x=20&search.y=9"},
        {SearchEngine::webCrawler, "http://wc.test/cgi-bin/WebQuery?searchText=widgets"},
    };
    ASSERT_EQ(std::size(expected), kSearchEngines.size());
    for (std::size_t i = 0; i < kSearchEngines.size(); ++i) {
        EXPECT_EQ(kSearchEngines[i], expected[i].first);
        EXPECT_EQ(searchAddress(hosts, expected[i].first, "widgets"), expected[i].second);
    }
}

TEST(SearchCheck, TypedTextIsEncodedSoItStaysOneQueryValue)
{
    // An empty box still opens the engine's search, ending in "p=".
    EXPECT_EQ(searchPath(SearchEngine::yahoo, ""), "/search?p=");
    // Blanks become "+", and "&", "=" and "#" cannot start new parameters or
    // a fragment.
    EXPECT_EQ(searchPath(SearchEngine::webCrawler, "cheap & good=yes #1"),
              "/cgi-bin/WebQuery?searchText=cheap+%26+good%3Dyes+%231");
    // A site address for the address search, followed by the fixed tail.
    EXPECT_EQ(searchPath(SearchEngine::infoseek, "http://www.acme.example/"),
              "/Titles?col=WW&qt=url%3Ahttp%3A%2F%2Fwww.acme.example%2F&lk=ip-noframes");
    // Letters beyond ASCII go as their UTF-8 bytes.
    EXPECT_EQ(searchPath(SearchEngine::excite, "gr\xC3\xBC\x6E"), "/search.gw?trace=a&search=gr%C3%BCn");
}

TEST(SearchCheck, EngineWithoutAHostGivesNoAddress)
{
    TempDir base;
    EXPECT_EQ(searchAddress(RemoteHosts(base.path()), SearchEngine::yahoo, "x"), "");  // no hosts file
    base.write("data/hosts.tlx", "[Rank]\r\nHotBot=rank.hotbot.test\r\n[Search]\r\nYahoo=yahoo.test\r\n");
    const RemoteHosts hosts(base.path());
    EXPECT_EQ(searchAddress(hosts, SearchEngine::hotBot, "x"), "");  // only a rank host, not a search host
    EXPECT_EQ(searchAddress(hosts, SearchEngine::yahoo, "x"), "http://yahoo.test/search?p=x");
}
