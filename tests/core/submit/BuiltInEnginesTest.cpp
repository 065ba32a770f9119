#include "submit/BuiltInEngines.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "TestSupport.h"
#include "net/RemoteHosts.h"
#include "util/Files.h"

using namespace tolvan;

namespace {
struct BuiltIn : ::testing::Test {
    test::TempDir base;
    SiteProfile site;
    std::string description = "A fine site ";
    std::string category = "Web Design";
    BuiltIn()
    {
        base.write("data/hosts.tlx",
                   "[Engines]\r\nLycos=lycos.test\r\nLycos UK=lycos-uk.test:8080\r\nInfospace=infospace.test\r\n"
                   "Anzwers=anzwers.test\r\nAnzwers Path=0123456789012345678901234567890123456789\r\n"
                   "Euro Seek Links=euroseek.test\r\n\r\n");
        site.protocol = "http://";
        site.address = "www.mysite.example/a b";
        site.title = "Tom & Jerry";
        site.email = "me@mysite.example";
        site.state = "NY";
        site.keywords[0] = "cats";
    }
    std::optional<std::string> action(const std::string& engine)
    {
        return builtInAction(engine, {site, description, category}, RemoteHosts(base.path()));
    }
};
}  // namespace

TEST_F(BuiltIn, NamesMatchWholeAndExactly)
{
    EXPECT_EQ(action("Lycos UK").value(),
              "http://lycos-uk.test:8080/cgi-bin/spider_now.pl?query=http%3A%2F%2Fwww.mysite.example%2Fa+b"
              "&email=me%40mysite.example");
    EXPECT_EQ(action("Lycos").value().rfind("http://lycos.test/cgi-bin/spider_now.pl?query=", 0), 0u);
    EXPECT_FALSE(action("lycos").has_value());
    EXPECT_FALSE(action("Yahoo").has_value());
}

TEST_F(BuiltIn, PlaceholdersAreEncodedAndFixedTextsStay)
{
    const std::string infospace = action("Infospace").value();
    EXPECT_NE(infospace.find("title=Tom+%26+Jerry&url="), std::string::npos) << infospace;
    EXPECT_NE(infospace.find("&keywords=cats+++&org="), std::string::npos) << infospace;
    EXPECT_NE(infospace.find("&descrip=A+fine+site+&arbooos=1"), std::string::npos) << infospace;
    // Euro Seek Links sends the state under the key country.
    EXPECT_NE(action("Euro Seek Links").value().find("&cat=Web+Design&country=NY"), std::string::npos);
    EXPECT_EQ(action("Anzwers").value(),
              "http://anzwers.test/0123456789012345678901234567890123456789/addurl.html?newurl="
              "http%3A%2F%2Fwww.mysite.example%2Fa+b&email=me%40mysite.example&Send=Send");
}

// One object serves a whole run (and the window's life): a hosts file the
// update replaces, or a user edits, or removes, is read again.
TEST(RemoteHostsFile, ChangesAreSeenByTheSameObject)
{
    test::TempDir base;
    const RemoteHosts hosts(base.path());
    EXPECT_EQ(hosts.engineHost("Lycos"), "");
    base.write("data/hosts.tlx", "[Engines]\r\nLycos=one.test\r\n");
    EXPECT_EQ(hosts.engineHost("Lycos"), "one.test");
    writeFileAtomic(base.file("data/hosts.tlx"), "[Engines]\r\nLycos=two.test\r\n");
    EXPECT_EQ(hosts.engineHost("Lycos"), "two.test");
    const RemoteHosts copy = hosts;
    base.write("data/hosts.tlx", "[Engines]\r\nLycos=three.test:8080\r\n");  // rewritten in place, longer
    EXPECT_EQ(copy.engineHost("Lycos"), "three.test:8080");
    std::remove(base.file("data/hosts.tlx").c_str());
    EXPECT_EQ(hosts.engineHost("Lycos"), "");

    // A site of a run reads the file once: a change shows in the next site's object.
    base.write("data/hosts.tlx", "[Engines]\r\nLycos=four.test\r\n");
    const RemoteHosts site(base.path(), RemoteHosts::Rereading::Never);
    EXPECT_EQ(site.engineHost("Lycos"), "four.test");
    writeFileAtomic(base.file("data/hosts.tlx"), "[Engines]\r\nLycos=five.test\r\n");
    EXPECT_EQ(site.engineHost("Lycos"), "four.test");
    EXPECT_EQ(RemoteHosts(base.path(), RemoteHosts::Rereading::Never).engineHost("Lycos"), "five.test");
}
