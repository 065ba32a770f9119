// The engine data set that ships in data/ must hang together: every indexed
// engine has a usable definition, the category file equals the table, and every
// engine whose address is built into the program has a host.
#include <gtest/gtest.h>

#include "engines/Categories.h"
#include "engines/EngineDefinition.h"
#include "engines/EngineLists.h"
#include "net/RemoteHosts.h"
#include "profiles/SiteProfile.h"
#include "storage/BigIniFile.h"
#include "storage/LineList.h"
#include "util/Files.h"

using namespace tolvan;

namespace {
const std::string kBase = std::string(TOLVAN_SOURCE_DIR) + "/";
const std::string kData = kBase + "data/";
}  // namespace

TEST(ShippedData, FilesUseCrLfLineEnds)
{
    for (const char* name : {"sites.tlx", "custeng.tlx", "categories.tlx", "tlversion.tlx", "hosts.tlx"}) {
        const std::string bytes = readFile(kData + name);
        ASSERT_FALSE(bytes.empty()) << name;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] == '\n') {
                ASSERT_TRUE(i > 0 && bytes[i - 1] == '\r') << name << " has a bare LF at " << i;
            }
        }
    }
}

TEST(ShippedData, CategoriesEqualTheTable)
{
    const LineList lines = readLineList(kData + "categories.tlx");
    ASSERT_EQ(lines.size(), kCategoryTexts.size());
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i], kCategoryTexts[i]) << "row " << i;
}

TEST(ShippedData, EveryEngineHasAUsableDefinition)
{
    LineList engines = readLineList(kData + "sites.tlx");
    const LineList custom = readLineList(kData + "custeng.tlx");
    EXPECT_GE(engines.size(), 40u);
    EXPECT_GE(custom.size(), 1u);
    for (const auto& major : majorEngines())
        EXPECT_TRUE(containsExactly(engines, major)) << major;
    engines.insert(engines.end(), custom.begin(), custom.end());

    int category = 0;
    for (const auto& engine : engines) {
        SCOPED_TRACE(engine);
        ASSERT_FALSE(engine.empty());
        SiteProfile site;
        site.protocol = "http://";
        site.address = "www.site.example/";
        site.category = "Computer => Software";
        const auto r = readEngineDefinition(kBase, engine, site, category);
        ASSERT_EQ(r.status, DefinitionStatus::Ready);
        const EngineDefinition& d = r.definition;
        EXPECT_TRUE(d.method == "POST" || d.method == "GET") << d.method;
        EXPECT_EQ(d.action.rfind("http://", 0), 0u) << d.action;
        EXPECT_NE(d.action.find(".example/"), std::string::npos) << d.action;
        EXPECT_FALSE(d.fieldNames.at("URL").empty());
        EXPECT_NE(d.formBody.find(d.fieldNames.at("URL") + "=http%3A%2F%2Fwww.site.example%2F&"), std::string::npos);
    }
}

TEST(ShippedData, VersionAndRemoteHosts)
{
    EXPECT_EQ(BigIniFile(kData + "tlversion.tlx").ReadString("VERSION", "version", ""), "2.20");

    const RemoteHosts hosts(kBase);
    const LineList index = readLineList(kData + "sites.tlx");
    for (const char* engine : {"Infoseek", "Meta Data", "Lycos UK", "Lycos Germany", "Lycos Sweden", "Lycos",
                               "Intersearch", "Infospace", "HotBot", "Fireball", "Eule", "Scrub The Web",
                               "Northern Light", "Austronaut", "Ariana", "Anzwers", "Euro Seek Links",
                               "Alta Vista"}) {
        EXPECT_TRUE(containsExactly(index, engine)) << engine;
        const std::string host = hosts.engineHost(engine);
        EXPECT_NE(host.find(".example"), std::string::npos) << engine << ": " << host;
    }
    EXPECT_EQ(hosts.value("Engines", "Anzwers Path").size(), 40u);
    for (const char* engine : {"Infoseek", "Yahoo", "AltaVista", "AOL NetFind", "Lycos", "Excite", "Excite Search",
                               "HotBot", "WebCrawler"}) {
        EXPECT_NE(hosts.rankHost(engine).find(".example"), std::string::npos) << engine;
        EXPECT_NE(hosts.searchHost(engine).find(".example"), std::string::npos) << engine;
    }
    EXPECT_EQ(hosts.makerWeb(), "http://www.quendel.example/");
    EXPECT_NE(hosts.makerProduct().find("quendel.example"), std::string::npos);
    EXPECT_NE(hosts.updateHost().find(".example"), std::string::npos);
    EXPECT_NE(hosts.signUpHost().find(".example"), std::string::npos);
}
