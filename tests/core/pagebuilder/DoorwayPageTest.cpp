#include <gtest/gtest.h>

#include <sstream>
#include <sys/stat.h>

#include "TestSupport.h"
#include "net/RemoteHosts.h"
#include "pagebuilder/DoorwayPage.h"
#include "settings/Settings.h"
#include "util/Errors.h"

using namespace tolvan;
using tolvan::test::TempDir;
using tolvan::test::testData;

namespace {

struct GoldenInput {
    DoorwayPage page;
    std::string product;
};

// "key=value" lines of a case's input.txt; "#" starts a comment line.
GoldenInput readInput(const std::string& caseName)
{
    GoldenInput in;
    std::istringstream lines(testData("pagebuilder/" + caseName + "/input.txt"));
    for (std::string l; std::getline(lines, l);) {
        if (l.empty() || l[0] == '#')
            continue;
        const std::size_t eq = l.find('=');
        const std::string key = l.substr(0, eq);
        const std::string value = l.substr(eq + 1);
        if (key == "title")
            in.page.title = value;
        else if (key == "description")
            in.page.description = value;
        else if (key == "homePage")
            in.page.homePage = value;
        else if (key == "image")
            in.page.image = value;
        else if (key == "forward")
            in.page.forward = value == "1";
        else if (key == "product")
            in.product = value;
        else if (key.rfind("key", 0) == 0)
            in.page.keywords.at(std::stoul(key.substr(3)) - 1) = value;
        else
            ADD_FAILURE() << "unknown key " << key;
    }
    return in;
}

// The line of `page` that starts with `prefix`.
std::string lineStarting(const std::string& page, const std::string& prefix)
{
    std::istringstream lines(page);
    for (std::string l; std::getline(lines, l);) {
        if (l.rfind(prefix, 0) == 0)
            return l;
    }
    return "(no line starting with " + prefix + ")";
}

DoorwayPage simplePage()
{
    DoorwayPage p;
    p.title = "Title";
    p.homePage = "http://home.example/";
    return p;
}

}  // namespace

class DoorwayPageGolden : public ::testing::TestWithParam<const char*> {};

TEST_P(DoorwayPageGolden, MatchesHandWrittenPage)
{
    const GoldenInput in = readInput(GetParam());
    const std::string expected = testData(std::string("pagebuilder/") + GetParam() + "/expected.htm");
    EXPECT_EQ(doorwayPageText(in.page, in.product), expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, DoorwayPageGolden,
                         ::testing::Values("linked", "forward_with_image", "no_keywords_empty_home",
                                           "hostile_values"));

TEST(DoorwayPage, TitleIsCheckedBeforeTheHomePage)
{
    DoorwayPage p;  // empty title, home page still "http://"
    EXPECT_EQ(checkDoorwayPage(p), DoorwayProblem::noTitle);
    EXPECT_EQ(doorwayProblemMessage(DoorwayProblem::noTitle), "You Must Enter a Site Title.");

    p.title = "T";
    EXPECT_EQ(checkDoorwayPage(p), DoorwayProblem::noHomePage);
    EXPECT_EQ(doorwayProblemMessage(DoorwayProblem::noHomePage),
              "You Must Enter your home page, or a page this file will link to.");

    // Only the untouched "http://" is refused; anything else goes, empty included.
    for (const char* home : {"", "http:// ", "https://", "HTTP://", "http://x"}) {
        p.homePage = home;
        EXPECT_EQ(checkDoorwayPage(p), DoorwayProblem::none) << '"' << home << '"';
    }
    EXPECT_EQ(doorwayProblemMessage(DoorwayProblem::none), "");
}

TEST(DoorwayPage, CreatedMessageNamesTheFile)
{
    EXPECT_EQ(doorwayPageCreatedMessage("/srv/www/siteindex.htm"),
              "An HTML file named: /srv/www/siteindex.htm has been created.  Make sure this is in a directory "
              "with your web documents and add it to your site database for submission.");
}

TEST(DoorwayPage, ForwardScriptCannotBeBrokenOutOf)
{
    DoorwayPage p = simplePage();
    p.forward = true;
    // A backslash, a line break, a tab, a letter beyond the basic plane and e acute.
    p.homePage = "http://h.example/a\\b\nc\td\xF0\x9F\x98\x80\xC3\xA9";
    std::string page = doorwayPageText(p, "http://maker.example/");
    const std::string expected = R"(http://h.example/a\\b\x0Ac\x09d\uD83D\uDE00\u00E9)";
    EXPECT_EQ(lineStarting(page, "window.location=\"http"), "window.location=\"" + expected + "\";\r");
    // The second assignment has no semicolon.
    EXPECT_NE(page.find("else\r\nwindow.location=\"" + expected + "\"\r\n</script>\r\n"), std::string::npos);
    // Outside the script the same address is an attribute value; the line
    // break stays in it without splitting the page's line.
    EXPECT_EQ(lineStarting(page, "<font face=\"Arial\" color=\"#FFFF00\"><a href="),
              "<font face=\"Arial\" color=\"#FFFF00\"><a href=\"http://h.example/a\\b&#10;c\td&#128512;&#233;\">"
              "Click here</a> </font>\r");

    // Text that is not UTF-8 is taken as Windows-1252 (0x80 is the euro sign).
    p.homePage = "http://h.example/\xE9\x80";
    page = doorwayPageText(p, "http://maker.example/");
    EXPECT_EQ(lineStarting(page, "window.location=\"http"), "window.location=\"http://h.example/\\u00E9\\u20AC\";\r");
}

TEST(DoorwayPage, EveryLineEndsInCrLf)
{
    DoorwayPage p = simplePage();
    p.forward = true;
    p.image = "i.gif";
    const std::string page = doorwayPageText(p, "http://maker.example/");
    std::size_t lines = 0;
    for (std::size_t i = 0; i < page.size(); ++i) {
        if (page[i] == '\n') {
            ASSERT_GT(i, 0u);
            EXPECT_EQ(page[i - 1], '\r') << "bare LF at " << i;
            ++lines;
        }
    }
    // 40 fixed lines (the second table opening counts two), seven script
    // lines, the image line and four forward lines.
    EXPECT_EQ(lines, 40u + 7 + 1 + 4);
    EXPECT_EQ(page.substr(page.size() - 9), "</html>\r\n");
}

TEST(DoorwayPage, ProductAddressFallsBackToTheMakerSite)
{
    TempDir base;
    EXPECT_EQ(doorwayProductAddress(RemoteHosts(base.path())), kFallbackMakerWeb);
    base.write("data/hosts.tlx", "[Maker]\r\nWeb=http://maker.example/\r\n");
    EXPECT_EQ(doorwayProductAddress(RemoteHosts(base.path())), "http://maker.example/");
    base.write("data/hosts.tlx", "[Maker]\r\nWeb=http://maker.example/\r\nProduct=http://maker.example/tolvan/\r\n");
    EXPECT_EQ(doorwayProductAddress(RemoteHosts(base.path())), "http://maker.example/tolvan/");
}

TEST(DoorwayPage, SaveReplacesTheFileAndAFailureKeepsTheOldOne)
{
    TempDir dir;
    const std::string file = dir.file("siteindex.htm");
    dir.write("siteindex.htm", "old page");
    const DoorwayPage p = simplePage();
    saveDoorwayPage(p, "http://maker.example/", file);
    EXPECT_EQ(dir.read("siteindex.htm"), doorwayPageText(p, "http://maker.example/"));

    EXPECT_THROW(saveDoorwayPage(p, "http://maker.example/", dir.file("missing/siteindex.htm")), FileError);

    if (::geteuid() != 0) {  // root writes anywhere
        dir.write("ro/siteindex.htm", "kept");
        ::chmod(dir.file("ro").c_str(), 0555);
        EXPECT_THROW(saveDoorwayPage(p, "http://maker.example/", dir.file("ro/siteindex.htm")), FileError);
        ::chmod(dir.file("ro").c_str(), 0755);
        EXPECT_EQ(dir.read("ro/siteindex.htm"), "kept");
    }
}
