// Finding the site on a result page, and reading the depth and the phrase.
#include <gtest/gtest.h>

#include "ranking/RankEngines.h"

using namespace tolvan;

TEST(RankScanTest, CountsResultsUpToTheFirstOneCarryingTheSite)
{
    const std::string page =
        "<html>header http://ads.example/ banner\r\n"
        "<b>1.%]</b> <a href=http://www.one.example/ title=1>One</a>\r\n"
        "<b>2.%]</b> <a href=http://www.two.example/ title=2>Two</a>\r\n"
        "<b>3.%]</b> <a href=http://www.acme.example/index.html title=3>Acme</a>\r\n"
        "<b>4.%]</b> <a href=http://www.acme.example/ title=4>Acme again</a>\r\n";
    EXPECT_EQ(findrank(page, "%]", "www.acme.example", " "), 3);
    EXPECT_EQ(findrank(page, "%]", "www.one.example", " "), 1);
    EXPECT_EQ(findrank(page, "%]", "www.two.example", " "), 2);
    // Letters are compared without regard to case, on both sides.
    EXPECT_EQ(findrank(page, "%]", "WWW.Acme.EXAMPLE", " "), 3);
    EXPECT_EQ(findrank("%] HTTP://WWW.ACME.EXAMPLE/ x", "%]", "acme", " "), 0) << "\"http:\" matches with case";
    EXPECT_EQ(findrank("%] http://WWW.ACME.EXAMPLE/ x", "%]", "acme", " "), 1);
    // Not there, an empty site, no marker at all.
    EXPECT_EQ(findrank(page, "%]", "www.zeta.example", " "), 0);
    EXPECT_EQ(findrank(page, "%]", "", " "), 0);
    EXPECT_EQ(findrank(page, "% </B>", "www.acme.example", "</A>"), 0);
    EXPECT_EQ(findrank("", "%]", "acme", " "), 0);
}

TEST(RankScanTest, AnAddressMerelyContainingTheSiteMatches)
{
    // The site inside another engine's redirect address still counts.
    const std::string page =
        "HREF=\"http://www.first.example/\"><b>First</b>\n"
        "HREF=\"http://rd.portal.example/go?u=www.acme.example%2F&x=1\"><b>Acme</b>\n";
    EXPECT_EQ(findrank(page, "HREF", "www.acme.example", "<b>"), 2);
    // Without the terminator the candidate runs to the end of the page.
    EXPECT_EQ(findrank("HREF http://a.example/ then www.acme.example", "HREF", "acme", "<b>"), 1);
}

TEST(RankScanTest, MarkersWithoutAnAddressAfterThem)
{
    // A marker with no "http:" after it anywhere ends the scan.
    EXPECT_EQ(findrank("%] http://www.one.example/ %] no address here", "%]", "acme", " "), 0);
    EXPECT_EQ(findrank("<b>7%</b> nothing linked", "%</b>", "acme", " "), 0);
    // A marker whose own address is missing takes the next address on the
    // page: that counts as its result and the marker in between is passed over.
    EXPECT_EQ(findrank("%] text %] http://www.one.example/ %] http://www.acme.example/ ", "%]", "acme", " "), 2);
    // The scan stops when no marker follows the candidate, even if the site comes later.
    EXPECT_EQ(findrank("%] http://www.one.example/ and http://www.acme.example/ ", "%]", "acme", " "), 0);
}

TEST(RankScanTest, DepthText)
{
    EXPECT_EQ(rankDepth("50"), 50);
    EXPECT_EQ(rankDepth("60"), 60);
    EXPECT_EQ(rankDepth("500"), 500);
    EXPECT_EQ(rankDepth("900"), 500);
    EXPECT_EQ(rankDepth("0"), 0);
    EXPECT_EQ(rankDepth("-20"), -20);
    EXPECT_EQ(rankDepth(" 75"), 75);
    EXPECT_EQ(rankDepth("abc"), 100);
    EXPECT_EQ(rankDepth(""), 100);
    EXPECT_EQ(rankDepth("12a"), 100);
    EXPECT_EQ(rankDepth("-"), 100);
    EXPECT_EQ(rankDepth("99999999999999999999"), 100);
}

TEST(RankScanTest, PhraseInTheBoxAndInTheQuery)
{
    EXPECT_EQ(plusForBlanks("blue widgets cheap"), "blue+widgets+cheap");
    EXPECT_EQ(plusForBlanks("a  b"), "a++b");
    EXPECT_EQ(rankQueryPhrase("blue+widgets+cheap"), "blue+widgets+cheap");
    EXPECT_EQ(rankQueryPhrase("blue widgets"), "blue+widgets");
    // Characters that would end or cut the query are encoded.
    EXPECT_EQ(rankQueryPhrase("rock+&+roll#1=go"), "rock+%26+roll%231%3Dgo");
    EXPECT_EQ(rankQueryPhrase("caf\xC3\xA9"), "caf%C3%A9");
}

TEST(RankScanTest, CheckingCaptions)
{
    EXPECT_EQ(checkingCaption(RankEngine::Lycos, 50, false), "Checking Lycos results 51 to 100");
    EXPECT_EQ(checkingCaption(RankEngine::Infoseek, 25, false), "Checking InfoSeek results 26 to 50");
    EXPECT_EQ(checkingCaption(RankEngine::AltaVista, 30, false), "Checking Alta Vista results 31 to 40");
    EXPECT_EQ(checkingCaption(RankEngine::HotBot, 0, true), "Checking Hot Bot results 1 to 50");
    EXPECT_EQ(checkingCaption(RankEngine::HotBot, 50, false), "Checking HotBot results 51 to 100");
    EXPECT_EQ(checkingCaption(RankEngine::WebCrawler, 0, false), "Checking WC results 1 to 50");
}
