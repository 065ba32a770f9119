#include <gtest/gtest.h>
#include <zlib.h>

#include "TestSupport.h"
#include "indexnow/IndexNowAnswers.h"
#include "indexnow/IndexNowKey.h"
#include "indexnow/Notifier.h"
#include "indexnow/Sitemap.h"
#include "profiles/ProfileStore.h"
#include "submit/BuiltInEngines.h"

using namespace tolvan;

namespace {

std::string gzipped(const std::string& text)
{
    z_stream zs{};
    deflateInit2(&zs, Z_BEST_SPEED, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&zs, text.size()) + 32, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    zs.avail_in = static_cast<uInt>(text.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

// Feeds the document in pieces of `step` bytes and collects what the parser hands out.
std::vector<std::string> parseInPieces(const std::string& bytes, std::size_t step, bool& ok,
                                       std::vector<std::string>* sitemaps = nullptr)
{
    std::vector<std::string> seen;
    SitemapParser parser;
    parser.onUrl = [&](const SitemapUrl& u) { seen.push_back(u.loc + "|" + u.lastmod); };
    parser.onSitemap = [&](const std::string& loc) {
        if (sitemaps)
            sitemaps->push_back(loc);
    };
    ok = true;
    for (std::size_t i = 0; i < bytes.size() && ok; i += step)
        ok = parser.feed(std::string_view(bytes).substr(i, step));
    ok = ok && parser.finish();
    return seen;
}

const std::string kUrlset =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\" xmlns:image=\"http://www.google.com/schemas/sitemap-image/1.1\">"
    "<url><loc> https://www.a.example/x?a=1&amp;b=2 </loc><lastmod>2026-03-04</lastmod>"
    "<image:image><image:loc>https://www.a.example/pic.png</image:loc></image:image></url>"
    "<url><loc><![CDATA[https://www.a.example/\xc3\xa9t\xc3\xa9]]></loc></url>"
    "<url><lastmod>2026-01-01</lastmod></url>"
    "</urlset>";

}  // namespace

TEST(Sitemap, ReadsPagesWhateverThePiecesAndCompression)
{
    const std::vector<std::string> expected = {"https://www.a.example/x?a=1&b=2|2026-03-04",
                                               "https://www.a.example/\xc3\xa9t\xc3\xa9|"};
    for (const std::string& bytes : {kUrlset, gzipped(kUrlset)}) {
        for (std::size_t step : {std::size_t(1), std::size_t(7), bytes.size()}) {
            bool ok = false;
            EXPECT_EQ(parseInPieces(bytes, step, ok), expected) << "step " << step;
            EXPECT_TRUE(ok);
        }
    }
}

TEST(Sitemap, IndexesListTheirSitemapsAndBrokenDataIsReported)
{
    bool ok = false;
    std::vector<std::string> maps;
    const auto pages = parseInPieces("<sitemapindex><sitemap><loc>https://a.example/1.xml</loc><lastmod>2026-01-01</lastmod>"
                                     "</sitemap><sitemap><loc>https://a.example/2.xml.gz</loc></sitemap></sitemapindex>",
                                     5, ok, &maps);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(pages.empty());
    EXPECT_EQ(maps, (std::vector<std::string>{"https://a.example/1.xml", "https://a.example/2.xml.gz"}));

    parseInPieces("<urlset><url><loc>x</loc></url>", 4, ok);  // cut short
    EXPECT_FALSE(ok);
    parseInPieces(gzipped(kUrlset).substr(0, 60), 8, ok);  // gzip cut short
    EXPECT_FALSE(ok);
    parseInPieces("<!DOCTYPE x [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
                  "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">"
                  "<!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\"><!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\">"
                  "<!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">]><urlset><url><loc>&g;&g;&g;</loc></url></urlset>",
                  64, ok);
    EXPECT_FALSE(ok) << "entity expansion must be refused";
}

TEST(Sitemap, W3cDatesBecomeUtcSeconds)
{
    EXPECT_EQ(parseW3cDateTime("1970-01-02"), 86400);
    EXPECT_EQ(parseW3cDateTime("1970-01-01T01:00:00+01:00"), 0);
    EXPECT_EQ(parseW3cDateTime("1970-01-01T00:00:10.5Z"), 10);
    EXPECT_EQ(parseW3cDateTime("1970-01-01T00:01-00:30"), 1860);
    EXPECT_EQ(parseW3cDateTime("1971"), 365 * 86400);
    for (const char* bad : {"", "yesterday", "2026-13-01", "2026-01-01T25:00Z", "2026-01-01 junk", "2026-1-1"})
        EXPECT_FALSE(parseW3cDateTime(bad)) << bad;
}

TEST(IndexNowKeys, FormGenerationAndLocation)
{
    EXPECT_TRUE(isValidIndexNowKey("abcd-EF9"));
    EXPECT_TRUE(isValidIndexNowKey(std::string(128, 'a')));
    for (const std::string& bad :
         std::vector<std::string>{"abc", std::string(129, 'a'), "abcdefg_h", "abcdefgh ", "abcdefg\xc3\xa9"})
        EXPECT_FALSE(isValidIndexNowKey(bad)) << bad;
    const std::string key = generateIndexNowKey();
    EXPECT_EQ(key.size(), 32u);
    EXPECT_EQ(key.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_NE(key, generateIndexNowKey());

    EXPECT_EQ(siteHost("https://User@WWW.A.example:8443/x/y?z"), "www.a.example:8443");
    EXPECT_EQ(effectiveKeyLocation("https://www.a.example/blog/", "k1234567", ""), "https://www.a.example/k1234567.txt");
    EXPECT_EQ(effectiveKeyLocation("https://www.a.example/", "k1234567", "https://www.a.example/k/x.txt"),
              "https://www.a.example/k/x.txt");
    SiteProfile site;
    site.protocol = "https://";
    site.address = "www.a.example/blog/";
    EXPECT_EQ(effectiveKeyLocation(site), "");
    site.indexNowKey = "k1234567";
    EXPECT_EQ(effectiveKeyLocation(site), "https://www.a.example/k1234567.txt");
    site.indexNowKeyLocation = "https://www.a.example/k/x.txt";
    EXPECT_EQ(effectiveKeyLocation(site), "https://www.a.example/k/x.txt");
}

TEST(IndexNowAnswers, StatusRetryAfterAndSentences)
{
    EXPECT_EQ(statusCode("HTTP/1.1 202 Accepted"), 202);
    EXPECT_EQ(statusCode("429 Too Many Requests"), 429);
    EXPECT_EQ(statusCode("HTTP/1.1 2020"), 0);
    EXPECT_EQ(statusCode(""), 0);
    EXPECT_EQ(retryAfterSeconds("120", 0), 120);
    EXPECT_EQ(retryAfterSeconds("Thu, 01 Jan 1970 00:02:00 GMT", 60), 60);
    EXPECT_EQ(retryAfterSeconds("", 0), -1);
    EXPECT_EQ(retryAfterSeconds("soon", 0), -1);
    EXPECT_NE(indexNowFailureSentence(403, "https://s.example/k.txt", -1).find("https://s.example/k.txt"), std::string::npos);
    EXPECT_NE(indexNowFailureSentence(429, "", 30).find("retry after 30 seconds"), std::string::npos);
}

TEST(IndexNowRequests, ActionPlaceholdersAndBatchJson)
{
    SiteProfile site;
    site.protocol = "https://";
    site.address = "www.a.example/shop?x=1&y=2";
    site.title = "Tea & Cake";
    site.keywords[1] = "green tea";
    const std::string description = "Fine tea";
    const std::string category = "12";
    PlaceholderValues values{site, description, category, "k-123456", "https://www.a.example/k-123456.txt"};
    EXPECT_EQ(expandActionPlaceholders("/indexnow?url={URL}&key={KEY}&keyLocation={KEYLOCATION}&h={HOST}", values),
              "/indexnow?url=https%3A%2F%2Fwww.a.example%2Fshop%3Fx%3D1%26y%3D2&key=k-123456"
              "&keyLocation=https%3A%2F%2Fwww.a.example%2Fk-123456.txt&h=www.a.example");
    EXPECT_EQ(expandActionPlaceholders("t={TITLE}&k={K2}&d={DESC}&c={CAT}", values), "t=Tea+%26+Cake&k=green+tea&d=Fine+tea&c=12");
    // Braces that are no placeholder stay as written.
    EXPECT_EQ(expandActionPlaceholders("http://e.example/add?x={y}&z={", values), "http://e.example/add?x={y}&z={");
    EXPECT_EQ(expandActionPlaceholders("{K0}{{TITLE}}", values), "{K0}{Tea+%26+Cake}");

    EXPECT_EQ(notifyBatchJson("h.example", "k", "https://h.example/k.txt", {"https://h.example/\"q\"", "https://h.example/\xff"}),
              "{\"host\":\"h.example\",\"key\":\"k\",\"keyLocation\":\"https://h.example/k.txt\","
              "\"urlList\":[\"https://h.example/\\\"q\\\"\",\"https://h.example/\xef\xbf\xbd\"]}");
}

TEST(IndexNowKeys, ProfilesKeepTheirKeysAndOlderProfilesHaveNone)
{
    test::TempDir base;
    const ProfileStore store(base.path());
    SiteProfile site;
    site.protocol = "http://";
    site.address = "www.a.example/";
    std::vector<std::string> names, addresses;
    store.saveProfile("plain", site, names, addresses);
    EXPECT_EQ(base.read("sites/tlxprofiles.tlx").find("INDEXNOW"), std::string::npos);  // layout as before
    EXPECT_EQ(store.loadProfile("plain").indexNowKey, "");

    store.storeIndexNowKey("plain", "abcdef012345", "http://www.a.example/k/abcdef012345.txt");
    const SiteProfile loaded = store.loadProfile("plain");
    EXPECT_EQ(loaded.indexNowKey, "abcdef012345");
    EXPECT_EQ(loaded.indexNowKeyLocation, "http://www.a.example/k/abcdef012345.txt");
    SiteProfile cleared = loaded;
    cleared.indexNowKey.clear();
    store.saveProfile("plain", cleared, names, addresses);
    EXPECT_EQ(store.loadProfile("plain").indexNowKey, "");
    store.storeIndexNowKey("gone", "abcdef012345", "");  // never recreates a profile
    EXPECT_EQ(base.read("sites/tlxprofiles.tlx").find("[gone]"), std::string::npos);
}
