#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "TestSupport.h"
#include "engines/Categories.h"
#include "engines/EngineDefinition.h"
#include "profiles/SiteProfile.h"
#include "util/Errors.h"

using namespace tolvan;
using tolvan::test::TempDir;
using tolvan::test::testData;

namespace {

std::string crlf(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

SiteProfile completeSite()
{
    SiteProfile s;
    s.protocol = "http://";
    s.address = "www.site.example/";
    s.title = "Title";
    s.descriptionLines = {"Good", "site"};
    s.category = "Computer => Software";
    s.keywords[0] = "alpha";
    s.keywords[1] = "beta";
    s.name = "Name";
    s.company = "Company";
    s.city = "City";
    s.country = "Country";
    s.email = "me@site.example";
    s.street = "Street";
    s.state = "ST";
    s.zip = "12345";
    s.phone = "1";
    s.fax = "2";
    return s;
}

class EngineDefinitionTest : public ::testing::Test {
protected:
    // Writes data/<name>.tlx (LF in the text becomes CR LF) and builds the definition.
    DefinitionResult build(const std::string& name, const std::string& ini, SiteProfile& site)
    {
        dir.write("data/" + name + ".tlx", crlf(ini));
        return readEngineDefinition(dir.path(), name, site, category);
    }
    std::string body(const std::string& ini, SiteProfile site)
    {
        const auto r = build("Engine", ini, site);
        EXPECT_EQ(r.status, DefinitionStatus::Ready);
        return r.definition.formBody;
    }

    TempDir dir;
    int category = 0;
};

}  // namespace

TEST_F(EngineDefinitionTest, GoldenBodies)
{
    struct Case {
        const char* folder;
        const char* engine;
        SiteProfile site;
    };
    SiteProfile example;
    example.address = "U";
    example.title = "A";
    example.email = "E";
    example.category = "Computer => Software";
    SiteProfile bare;
    bare.protocol = "http://";
    bare.address = "www.site.example/a b";
    bare.category = "SELECT A CATEGORY ";
    SiteProfile extras = completeSite();
    extras.title = "R&D = +1 #top Caf\xC3\xA9";

    for (Case c : {Case{"example", "Example", example}, Case{"all-fields", "Full", bare},
                   Case{"extras", "Extras", extras}}) {
        SCOPED_TRACE(c.folder);
        const std::string folder = std::string("engines/") + c.folder + "/";
        dir.write(std::string("data/") + c.engine + ".tlx", testData(folder + c.engine + ".tlx"));
        category = 0;
        const auto r = readEngineDefinition(dir.path(), c.engine, c.site, category);
        ASSERT_EQ(r.status, DefinitionStatus::Ready);
        EXPECT_EQ(r.definition.formBody, testData(folder + "expected-body.txt"));
    }
}

TEST_F(EngineDefinitionTest, ExampleDefinitionFields)
{
    dir.write("data/Example.tlx", testData("engines/example/Example.tlx"));
    SiteProfile site = completeSite();
    const auto r = readEngineDefinition(dir.path(), "Example", site, category);
    ASSERT_EQ(r.status, DefinitionStatus::Ready);
    const EngineDefinition& d = r.definition;
    EXPECT_EQ(d.engineName, "Example");
    EXPECT_EQ(d.fieldNames.at("URL"), "url");
    EXPECT_EQ(d.fieldNames.at("NAME"), "");
    EXPECT_EQ(d.categoryField, "cat");
    EXPECT_EQ(d.categoryValue, "software");
    EXPECT_EQ(category, 41);
    ASSERT_EQ(d.extraFields.size(), 1u);
    EXPECT_EQ(d.extraFields[0], (std::pair<std::string, std::string>("lang", "en")));
    EXPECT_EQ(d.action, "http://www.example-engine.example/add");
    EXPECT_EQ(d.method, "POST");
    EXPECT_EQ(d.siteUrl, "http://www.example-engine.example/");
}

TEST_F(EngineDefinitionTest, DefaultsAreWrittenBackIntoTheProfile)
{
    SiteProfile site;
    site.protocol = "https://";
    site.address = "x.example";
    // The engine names no field at all: the defaults still land in the profile.
    const auto r = build("Bare", "[SITE]\nACTION=http://bare.example/\nMETHOD=POST\n", site);
    ASSERT_EQ(r.status, DefinitionStatus::Ready);
    EXPECT_EQ(r.definition.formBody, "");
    EXPECT_EQ(r.definition.method, "POST");
    EXPECT_EQ(site.title, "None Entered");
    EXPECT_EQ(site.name, "None Entered");
    EXPECT_EQ(site.email, "None@Entered");
    EXPECT_EQ(site.company, "None Entered");
    EXPECT_EQ(site.street, "None Entered");
    EXPECT_EQ(site.city, "None Entered");
    EXPECT_EQ(site.state, "NA");
    EXPECT_EQ(site.zip, "00000");
    EXPECT_EQ(site.country, "NA");
    EXPECT_EQ(site.phone, "000-000-0000");
    EXPECT_EQ(site.fax, "000-000-0000");
    EXPECT_EQ(site.keywords[0], "https://x.example");
    // The description default goes into the body only; the memo stays empty.
    EXPECT_TRUE(site.descriptionLines.empty());

    // Filled fields are left alone.
    SiteProfile full = completeSite();
    const SiteProfile before = full;
    build("Bare", "[SITE]\nMETHOD=GET\n", full);
    EXPECT_EQ(full.title, before.title);
    EXPECT_EQ(full.state, before.state);
    EXPECT_EQ(full.keywords, before.keywords);
}

TEST_F(EngineDefinitionTest, MissingFileAndMissingAddressChangeNothing)
{
    SiteProfile site;
    site.address = "x.example";
    const auto missing = readEngineDefinition(dir.path(), "Nowhere", site, category);
    EXPECT_EQ(missing.status, DefinitionStatus::Missing);
    EXPECT_EQ(missing.definition.engineName, "Nowhere");
    EXPECT_EQ(site.title, "");

    SiteProfile noUrl;
    const auto r = build("Engine", "[Fields]\nURL=url\n[SITE]\nMETHOD=POST\n", noUrl);
    EXPECT_EQ(r.status, DefinitionStatus::NoSiteUrl);
    EXPECT_EQ(noUrl.title, "");
    EXPECT_EQ(noUrl.state, "");
}

TEST_F(EngineDefinitionTest, EngineNameIsUsedUnchangedAsFileName)
{
    SiteProfile site = completeSite();
    dir.write("data/Lycos UK.tlx", crlf("[Fields]\nURL=q\n[SITE]\nMETHOD=GET\n"));
    dir.write("data/lycos uk.tlx", crlf("[Fields]\nURL=wrong\n"));
    const auto r = readEngineDefinition(dir.path(), "Lycos UK", site, category);
    ASSERT_EQ(r.status, DefinitionStatus::Ready);
    EXPECT_EQ(r.definition.formBody, "q=http%3A%2F%2Fwww.site.example%2F&");
    EXPECT_EQ(engineDefinitionPath("/base/", "Lycos UK"), "/base/data/Lycos UK.tlx");
}

TEST_F(EngineDefinitionTest, KeywordsAlwaysCarrySeventeenSeparators)
{
    const std::string ini = "[Fields]\nKEYWORDS=kw\n";
    SiteProfile site = completeSite();
    std::string expected = "kw=alpha%2C+beta";
    for (int i = 0; i < 16; ++i)
        expected += "%2C+";
    EXPECT_EQ(body(ini, site), expected + "&");

    site.keywords = {};
    site.keywords[0] = "only";
    expected = "kw=only";
    for (int i = 0; i < 17; ++i)
        expected += "%2C+";
    EXPECT_EQ(body(ini, site), expected + "&");

    site.keywords = {};
    site.keywords[17] = "last";
    expected = "kw=http%3A%2F%2Fwww.site.example%2F";
    for (int i = 0; i < 16; ++i)
        expected += "%2C+";
    EXPECT_EQ(body(ini, site), expected + "%2C+last&");
}

TEST_F(EngineDefinitionTest, DescriptionIsTheMemoLinesEachFollowedByABlank)
{
    const std::string ini = "[Fields]\nDESC=d\n";
    SiteProfile site = completeSite();
    EXPECT_EQ(body(ini, site), "d=Good+site+&");
    site.descriptionLines = {};
    EXPECT_EQ(body(ini, site), "d=No+Description+Entered&");
}

TEST_F(EngineDefinitionTest, CategoryNumberCarriesOverUnmatchedTexts)
{
    const std::string ini =
        "[Fields]\ncategory=cat\n[Categories]\n0=zero\n41=software\n117=transport\n138=agents\n";
    SiteProfile site = completeSite();

    site.category = "SELECT A CATEGORY ";
    EXPECT_EQ(body(ini, site), "cat=zero&");  // unmatched at the start of a run: row 0
    site.category = "Travel => Agents";
    EXPECT_EQ(body(ini, site), "cat=agents&");
    EXPECT_EQ(category, 138);
    site.category = "Transportation => General";  // not the table's spelling
    EXPECT_EQ(body(ini, site), "cat=agents&");
    site.category = "Transportation = General";
    EXPECT_EQ(body(ini, site), "cat=transport&");
    site.category = "computer => software";  // exact comparison, case included
    EXPECT_EQ(body(ini, site), "cat=transport&");
    site.category = "Business => Law";  // a row the engine has no value for
    EXPECT_EQ(body(ini, site), "cat=&");

    // No category field: nothing sent, though the number still moves.
    site.category = "Computer => Software";
    EXPECT_EQ(body("[Categories]\n41=software\n", site), "");
    EXPECT_EQ(category, 41);
}

TEST(CategoryTable, RowsAndBoundaries)
{
    EXPECT_EQ(kCategoryTexts.size(), 139u);
    const std::pair<const char*, int> rows[] = {
        {"Arts & Entertainment => General", 0}, {"Automotive => General", 11},
        {"Business => General", 18},            {"Communications => General", 29},
        {"Computer => Consultants", 36},        {"Computer => Software", 41},
        {"Consumer => General", 46},            {"Education => General", 63},
        {"Government => General", 71},          {"Manufacturing => General", 72},
        {"Medical => General", 88},             {"Military => General", 98},
        {"Miscellaneous", 99},                  {"Personal", 100},
        {"Real Estate => General", 101},        {"Technology => General", 111},
        {"Transportation = General", 117},      {"Transportation => Helecopter", 123},
        {"Travel => General", 131},             {"Travel => Agents", 138},
    };
    for (const auto& [text, number] : rows)
        EXPECT_EQ(categoryNumber(text, -7), number) << text;
    EXPECT_EQ(categoryNumber("Miscellaneous ", 5), 5);
    EXPECT_EQ(categoryNumber("", 9), 9);
}

TEST_F(EngineDefinitionTest, ExtraFieldCounts)
{
    SiteProfile site = completeSite();
    const auto extras = [&](const std::string& count) {
        return body("[ExtraFields]\nextrafields=" + count + "\nExtra1=a,1\nExtra2=\nExtra3=c,3,4\nExtra10=j,10\n", site);
    };
    EXPECT_EQ(extras("3"), "a=1&c=3,4&");  // Extra2 empty: skipped
    EXPECT_EQ(extras("10"), "a=1&c=3,4&j=10&");
    EXPECT_EQ(extras("257"), "a=1&");  // low eight bits: 1
    EXPECT_EQ(extras("256"), "");
    EXPECT_EQ(extras(""), "");
    EXPECT_EQ(extras("0"), "");
    EXPECT_EQ(body("[ExtraFields]\nExtra1=a,1\n", site), "");  // no count at all
    // The highest count reaches Extra255, in number order whatever the file's order.
    EXPECT_EQ(body("[ExtraFields]\nextrafields=255\nExtra255=last,z\nExtra100=h,100\nEXTRA25=q,25\n", site),
              "q=25&h=100&last=z&");

    // An entry without a comma is a field with an empty value.
    EXPECT_EQ(body("[ExtraFields]\nextrafields=1\nExtra1=agree\n", site), "agree=&");
}

TEST_F(EngineDefinitionTest, ExtraFieldCountThatIsNotANumberEndsTheRun)
{
    SiteProfile site = completeSite();
    for (const std::string bad : {"two", "3a", " 3", "0x10", "-", "99999999999"}) {
        try {
            body("[ExtraFields]\nextrafields=" + bad + "\n", site);
            ADD_FAILURE() << "no error for '" << bad << "'";
        } catch (const ConvertError& e) {
            EXPECT_EQ(std::string(e.what()), "'" + bad + "' is not a valid integer value");
        }
    }
    EXPECT_EQ(extraFieldCount("-1"), 255);
    EXPECT_EQ(extraFieldCount("+2"), 2);
    EXPECT_EQ(extraFieldCount("2147483647"), 255);
}

TEST_F(EngineDefinitionTest, SiteValuesAreEncodedNamesAndFixedValuesAreNot)
{
    SiteProfile site = completeSite();
    site.title = "a&b=c+d#e f";
    site.name = "J\xC3\xB6rg";
    const std::string ini =
        "[Fields]\nTITLE=site title\nNAME=who[0]\ncategory=c&x\n[Categories]\n41=Computers%2FSoftware\n"
        "[ExtraFields]\nextrafields=1\nExtra1=go,Add URL\n";
    EXPECT_EQ(body(ini, site),
              "site title=a%26b%3Dc%2Bd%23e+f&who[0]=J%C3%B6rg&c&x=Computers%2FSoftware&go=Add URL&");
}

// A run reads engine after engine through one reader, which prepares each
// site's values once: every body must equal the one a fresh read builds, the
// defaults must land in the site, and the next site must send its own values.
TEST_F(EngineDefinitionTest, ReaderKeepsNothingOfOneSiteForTheNext)
{
    dir.write("data/A.tlx", crlf("[Fields]\nURL=u\nTITLE=t\nSTATE=s\nDESC=d\ncategory=c\n[Categories]\n41=soft\n"
                                 "0=general\n[ExtraFields]\nextrafields=2\nExtra2=x,1,2\n[SITE]\nMETHOD=POST\n"));
    dir.write("data/B.tlx", crlf("[fields]\nkeywords=k\nurl=addr\n[SITE]\nMETHOD=GET\nACTION=http://b/\n"));
    SiteProfile first = completeSite();
    first.state.clear();
    SiteProfile second;
    second.protocol = "https://";
    second.address = "other.example/";
    second.category = "no such category";  // keeps the number of the site before

    EngineDefinitionReader reader(dir.path());
    int runCategory = 0;
    for (SiteProfile* site : {&first, &second}) {
        reader.startSite();
        for (const char* engine : {"A", "B", "A"}) {
            SiteProfile fresh = *site;
            int freshCategory = runCategory;
            const auto expected = readEngineDefinition(dir.path(), engine, fresh, freshCategory);
            const auto got = reader.read(engine, *site, runCategory);
            ASSERT_EQ(got.status, DefinitionStatus::Ready);
            EXPECT_EQ(got.definition.formBody, expected.definition.formBody) << engine;
            EXPECT_EQ(got.definition.categoryValue, expected.definition.categoryValue);
            EXPECT_EQ(runCategory, freshCategory);
        }
    }
    EXPECT_EQ(first.state, "NA");
    EXPECT_EQ(second.title, "None Entered");
    EXPECT_EQ(runCategory, 41);
    EXPECT_EQ(reader.read("A", second, runCategory).definition.formBody,
              "u=https%3A%2F%2Fother.example%2F&t=None+Entered&s=NA&d=No+Description+Entered&c=soft&x=1,2&");
    EXPECT_EQ(reader.read("Gone", second, runCategory).status, DefinitionStatus::Missing);
}

// A site's engines are read from the data folder as it stands: a file added or
// replaced during the site is read anew, and a data folder put in place of the
// old one between two sites is the one the next site reads.
TEST_F(EngineDefinitionTest, ReaderFollowsTheDataFolderAsItChanges)
{
    SiteProfile site = completeSite();
    EngineDefinitionReader reader(dir.path());
    int runCategory = 0;
    reader.startSite();
    EXPECT_EQ(reader.read("A", site, runCategory).status, DefinitionStatus::Missing);  // no data folder yet
    dir.write("data/A.tlx", crlf("[Fields]\nURL=one\n"));
    EXPECT_EQ(reader.read("A", site, runCategory).definition.formBody, "one=http%3A%2F%2Fwww.site.example%2F&");
    dir.write("data/A.tlx", crlf("[Fields]\nURL=two\n"));
    EXPECT_EQ(reader.read("A", site, runCategory).definition.formBody, "two=http%3A%2F%2Fwww.site.example%2F&");

    dir.write("fresh/A.tlx", crlf("[Fields]\nURL=three\n"));
    ASSERT_EQ(std::rename(dir.file("data").c_str(), dir.file("old").c_str()), 0);
    ASSERT_EQ(std::rename(dir.file("fresh").c_str(), dir.file("data").c_str()), 0);
    reader.startSite();
    EXPECT_EQ(reader.read("A", site, runCategory).definition.formBody, "three=http%3A%2F%2Fwww.site.example%2F&");
}

// The next engine's file read ahead (while a request waits) is what that
// engine's read uses; the last result stays whole meanwhile, and a read of
// another engine, a new site or a pause drops what was read ahead.
TEST_F(EngineDefinitionTest, ReadAheadIsUsedByTheNextReadOfThatEngineAlone)
{
    SiteProfile site = completeSite();
    dir.write("data/A.tlx", crlf("[Fields]\nURL=a\n[ExtraFields]\nextrafields=1\nExtra1=lang,en\n[SITE]\nACTION=http://a/\n"));
    dir.write("data/B.tlx", crlf("[Fields]\nURL=b1\n"));
    EngineDefinitionReader reader(dir.path());
    int runCategory = 0;
    reader.startSite();
    const DefinitionResult& a = reader.read("A", site, runCategory);
    const std::string aBody = a.definition.formBody;
    reader.readAhead("B");
    EXPECT_EQ(a.definition.formBody, aBody);  // the current engine's result is untouched
    EXPECT_EQ(a.definition.action, "http://a/");
    dir.write("data/B.tlx", crlf("[Fields]\nURL=b2\n"));
    EXPECT_EQ(reader.read("B", site, runCategory).definition.formBody, "b1=http%3A%2F%2Fwww.site.example%2F&");
    EXPECT_EQ(reader.read("B", site, runCategory).definition.formBody, "b2=http%3A%2F%2Fwww.site.example%2F&");

    const auto dropped = [&](const std::function<void()>& between) {
        dir.write("data/B.tlx", crlf("[Fields]\nURL=old\n"));
        reader.readAhead("B");
        dir.write("data/B.tlx", crlf("[Fields]\nURL=new\n"));
        between();
        return reader.read("B", site, runCategory).definition.formBody == "new=http%3A%2F%2Fwww.site.example%2F&";
    };
    EXPECT_TRUE(dropped([&] { reader.read("A", site, runCategory); }));
    EXPECT_TRUE(dropped([&] { reader.startSite(); }));
    EXPECT_TRUE(dropped([&] { reader.forgetReadAhead(); }));
    EXPECT_FALSE(dropped([] {}));  // the check itself: nothing in between keeps what was read ahead

    // A file that is missing when read ahead is missing for its read; a name
    // that is no file name is never looked for.
    reader.readAhead("C");
    dir.write("data/C.tlx", crlf("[Fields]\nURL=c\n"));
    EXPECT_EQ(reader.read("C", site, runCategory).status, DefinitionStatus::Missing);
    reader.readAhead("../A");
    EXPECT_EQ(reader.read("../A", site, runCategory).status, DefinitionStatus::Missing);
}
