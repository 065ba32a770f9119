#include "profiles/ProfileStore.h"

#include "storage/BigIniFile.h"
#include "util/Errors.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace tolvan;
using tolvan::test::TempDir;
using Names = std::vector<std::string>;

namespace {

SiteProfile sample(const std::string& address, const std::string& title)
{
    SiteProfile p;
    p.protocol = "http://";
    p.address = address;
    p.title = title;
    p.descriptionLines = {"Fine", "shoes"};
    p.category = "Shopping";
    p.keywords[0] = "shoes";
    p.keywords[17] = "boots";
    p.name = "Ann";
    p.email = "ann@example.org";
    p.zip = "12345";
    return p;
}

}  // namespace

TEST(ProfileStore, SaveWritesKeysInOrderAndAllThreeIndexes)
{
    TempDir dir;
    ProfileStore store(dir.path());
    Names names, addresses;
    store.saveProfile("My Shop", sample("shop.example/", "Shoes"), names, addresses);

    EXPECT_EQ(names, Names{"My Shop"});
    EXPECT_EQ(addresses, Names{"http://shop.example/"});
    EXPECT_EQ(dir.read("sites/tlxplist.tlx"), "My Shop\r\n");
    EXPECT_EQ(dir.read("sites/tlxurls.tlx"), "http://shop.example/\r\n");
    EXPECT_EQ(dir.read("sites/tlxurlsrev.tlx"), "[http://shop.example/]\r\nprofile=My Shop\r\n\r\n");
    EXPECT_EQ(dir.read("sites/tlxprofiles.tlx"),
              "[My Shop]\r\nFORWARD=http://\r\nURL=shop.example/\r\nTITLE=Shoes\r\ndesc=Fine shoes \r\n"
              "CATEGORY=Shopping\r\nKEY1=shoes\r\nKEY2=\r\nKEY3=\r\nKEY4=\r\nKEY5=\r\nKEY6=\r\nKEY7=\r\n"
              "KEY8=\r\nKEY9=\r\nKEY10=\r\nKEY11=\r\nKEY12=\r\nKEY13=\r\nKEY14=\r\nKEY15=\r\nKEY16=\r\n"
              "KEY17=\r\nKEY18=boots\r\nNAME=Ann\r\nCOMPANY=\r\nCITY=\r\nCOUNTRY=\r\nemail=ann@example.org\r\n"
              "address=\r\nstate=\r\nzip=12345\r\nphone=\r\nfax=\r\n\r\n");
    EXPECT_EQ(store.readNames(), names);
    EXPECT_EQ(store.readAddresses(), addresses);
}

TEST(ProfileStore, NamesDifferingInCaseShareOneSectionAndAnAddressIsListedOnce)
{
    TempDir dir;
    ProfileStore store(dir.path());
    Names names, addresses;
    store.saveProfile("Shop", sample("shop.example/", "First"), names, addresses);
    store.saveProfile("SHOP", sample("shop.example/", "Second"), names, addresses);

    EXPECT_EQ(names, (Names{"Shop", "SHOP"}));
    EXPECT_EQ(addresses, Names{"http://shop.example/"});
    const std::string file = dir.read("sites/tlxprofiles.tlx");
    EXPECT_EQ(file.find("[SHOP]"), std::string::npos);
    EXPECT_EQ(file.rfind("[Shop]"), 0u);
    EXPECT_EQ(store.loadProfile("shop").title, "Second");
    // The reverse map names the profile saved last with that address.
    EXPECT_EQ(store.profileForAddress("http://shop.example/"), "SHOP");
    EXPECT_EQ(store.profileForAddress("http://other.example/"), "");
}

TEST(ProfileStore, DescriptionComesBackAsOneLineAndGrowsABlankPerRoundTrip)
{
    TempDir dir;
    ProfileStore store(dir.path());
    Names names, addresses;
    store.saveProfile("P", sample("p.example/", "T"), names, addresses);
    SiteProfile loaded = store.loadProfile("P");
    EXPECT_EQ(loaded.descriptionLines, Names{"Fine shoes "});
    store.saveProfile("P", loaded, names, addresses);
    EXPECT_EQ(store.loadProfile("P").descriptionLines, Names{"Fine shoes  "});
}

TEST(ProfileStore, LoadUsesSavedProfileDefaultsAndTheRunsStamp)
{
    TempDir dir;
    ProfileStore store(dir.path());
    const SiteProfile unknown = store.loadProfile("nobody");
    EXPECT_EQ(unknown.lastRun, "Last Submission: Unknown");
    EXPECT_EQ(unknown.title, "None Entered");
    EXPECT_EQ(unknown.descriptionLines, Names{"None Entered"});
    EXPECT_EQ(unknown.category, "Miscellaneous");
    EXPECT_EQ(unknown.email, "none@example.com");
    EXPECT_EQ(unknown.street, "None Entered");
    EXPECT_EQ(unknown.state, "NA");
    EXPECT_EQ(unknown.zip, "00000");
    EXPECT_EQ(unknown.phone, "000-000-0000");
    EXPECT_EQ(unknown.protocol, "");
    EXPECT_EQ(unknown.keywords[5], "");

    dir.write("sites/tlxprofiles.tlx", "[Old]\r\nURL=old.example/\r\nCategory=Odd one\r\nEMAIL=o@x\r\n");
    SiteProfile old = store.loadProfile("OLD");
    EXPECT_EQ(old.lastRun, "Last Submission: Unknown");
    EXPECT_EQ(old.address, "old.example/");
    EXPECT_EQ(old.category, "Odd one");
    EXPECT_EQ(old.email, "o@x");

    store.stampLastRun("old", "Last Submission: 08/12/2026");
    EXPECT_EQ(store.loadProfile("Old").lastRun, "Last Submission: 08/12/2026");
    store.stampLastRun("Deleted", "Last Submission: 08/12/2026");
    EXPECT_FALSE(BigIniFile(dir.file("sites/tlxprofiles.tlx")).SectionExists("Deleted"));

    // Saving again keeps the LASTRUN line where it stands.
    Names names, addresses;
    store.saveProfile("Old", old, names, addresses);
    const std::string file = dir.read("sites/tlxprofiles.tlx");
    EXPECT_EQ(file.substr(0, 62), "[Old]\r\nURL=old.example/\r\nCATEGORY=Odd one\r\nemail=o@x\r\nLASTRUN=");
}

TEST(ProfileStore, DeleteRemovesProfileReverseEntryAndLastListEntries)
{
    TempDir dir;
    ProfileStore store(dir.path());
    Names names, addresses;
    store.saveProfile("A", sample("a.example/", "A"), names, addresses);
    store.saveProfile("B", sample("b.example/", "B"), names, addresses);
    Names dialogNames{"A", "B", "A"};
    Names dialogAddresses{"http://a.example/", "http://b.example/", "http://a.example/"};
    store.deleteProfile("A", dialogNames, dialogAddresses);

    EXPECT_EQ(dialogNames, (Names{"A", "B"}));
    EXPECT_EQ(dialogAddresses, (Names{"http://a.example/", "http://b.example/"}));
    EXPECT_EQ(dir.read("sites/tlxplist.tlx"), "A\r\nB\r\n");
    EXPECT_EQ(store.profileForAddress("http://a.example/"), "");
    EXPECT_EQ(store.profileForAddress("http://b.example/"), "B");
    EXPECT_EQ(store.loadProfile("A").title, "None Entered");
    EXPECT_EQ(store.loadProfile("B").title, "B");

    Names other{"X"}, otherAddresses{"http://x/"};
    store.deleteProfile("nobody", other, otherAddresses);
    EXPECT_EQ(other, Names{"X"});
    EXPECT_EQ(otherAddresses, Names{"http://x/"});
}

TEST(ProfileStore, LastFieldsRoundTripWithEmptyDefaultsAndNoLastRun)
{
    TempDir dir;
    ProfileStore store(dir.path());
    const SiteProfile empty = store.readLastFields();
    EXPECT_EQ(empty.title, "");
    EXPECT_EQ(empty.state, "");
    EXPECT_TRUE(empty.descriptionLines.empty());
    EXPECT_EQ(empty.lastRun, "Last Submission: Unknown");

    SiteProfile p = sample("last.example/", "Last");
    p.lastRun = "Last Submission: 01/02/2026";
    store.writeLastFields(p);  // creates sites/
    const std::string file = dir.read("sites/last.tlx");
    EXPECT_EQ(file.rfind("[LastSaved]\r\nFORWARD=http://\r\nURL=last.example/\r\n", 0), 0u);
    EXPECT_EQ(file.find("LASTRUN"), std::string::npos);
    const SiteProfile back = store.readLastFields();
    EXPECT_EQ(back.fullAddress(), "http://last.example/");
    EXPECT_EQ(back.keywords[17], "boots");
    EXPECT_EQ(back.descriptionLines, Names{"Fine shoes "});
    EXPECT_EQ(back.lastRun, "Last Submission: Unknown");
}

TEST(ProfileStore, ClearFieldsKeepsOnlyTheLastRunText)
{
    SiteProfile p = sample("c.example/", "C");
    p.lastRun = "Last Submission: 03/03/2026";
    clearFields(p);
    EXPECT_EQ(p.fullAddress(), "");
    EXPECT_EQ(p.title, "");
    EXPECT_TRUE(p.descriptionLines.empty());
    EXPECT_EQ(p.category, "SELECT A CATEGORY");
    EXPECT_EQ(p.keywords[0], "");
    EXPECT_EQ(p.lastRun, "Last Submission: 03/03/2026");
}

TEST(ProfileStore, SaveIntoUnwritableBaseReportsTheFile)
{
    TempDir dir;
    dir.write("base", "a regular file");
    ProfileStore store(dir.file("base"));
    Names names, addresses;
    EXPECT_THROW(store.saveProfile("X", sample("x/", "X"), names, addresses), FileError);
}
