// Saved profiles and their indexes stay in step under awkward input: NUL bytes,
// a profile moved to a new address, and runs that stamp many profiles.
#include "profiles/BatchImport.h"
#include "profiles/ProfileStore.h"
#include "storage/BigIniFile.h"
#include "storage/LineList.h"
#include "util/Files.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace tolvan;
using tolvan::test::TempDir;
using Names = std::vector<std::string>;

namespace {

SiteProfile site(const std::string& address, const std::string& title)
{
    SiteProfile p;
    p.protocol = "http://";
    p.address = address;
    p.title = title;
    return p;
}

std::string importFile(const std::string& profile, const std::string& url)
{
    return "[Tolvan Profile]\r\nPROFILE=" + profile + "\r\nFORWARD=http://\r\nURL=" + url + "\r\nTITLE=T\r\n";
}

}  // namespace

TEST(ProfileIntegrity, NulBytesNeitherCutTheIndexesNorVanishOnTheNextSave)
{
    TempDir dir;
    dir.write("batch/1", importFile(std::string("Na\0me", 5), std::string("a\0.example/", 11)));
    dir.write("batch/2", importFile("Second", "b.example/"));
    const BatchImport import(dir.path());
    import.importFiles({"1", "2"});

    const ProfileStore store(dir.path());
    EXPECT_EQ(store.readNames(), (Names{"Na me", "Second"}));
    EXPECT_EQ(store.readAddresses(), (Names{"http://a .example/", "http://b.example/"}));
    EXPECT_EQ(store.loadProfile("Na me").address, "a .example/");
    EXPECT_EQ(store.profileForAddress("http://a .example/"), "Na me");

    // An index written by an older version with a NUL inside keeps every entry.
    dir.write("sites/tlxplist.tlx", std::string("Old\0one\r\nSecond\r\nThird\r\n", 24));
    EXPECT_EQ(readLineList(store.namesPath()), (Names{std::string("Old\0one", 7), "Second", "Third"}));
    Names names = store.readNames(), addresses = store.readAddresses();
    store.saveProfile("Fourth", site("d.example/", "D"), names, addresses);
    EXPECT_EQ(store.readNames().size(), 4u);
}

TEST(ProfileIntegrity, SavingWithANewAddressDropsOnlyItsOwnOldReverseEntry)
{
    TempDir dir;
    const ProfileStore store(dir.path());
    Names names, addresses;
    store.saveProfile("Shop", site("old.example/", "Shop"), names, addresses);
    store.saveProfile("Shop", site("new.example/", "Shop"), names, addresses);
    EXPECT_EQ(store.profileForAddress("http://old.example/"), "");
    EXPECT_EQ(store.profileForAddress("http://new.example/"), "Shop");
    EXPECT_EQ(addresses, (Names{"http://old.example/", "http://new.example/"}));

    // The old address now belongs to another profile: moving Shop again leaves it.
    store.saveProfile("Other", site("new.example/", "Other"), names, addresses);
    store.saveProfile("SHOP", site("third.example/", "Shop"), names, addresses);
    EXPECT_EQ(store.profileForAddress("http://new.example/"), "Other");
    EXPECT_EQ(store.profileForAddress("http://third.example/"), "SHOP");

    // A change of letter case only is the same reverse section: it stays.
    store.saveProfile("Case", site("case.example/", "C"), names, addresses);
    store.saveProfile("Case", site("CASE.example/", "C"), names, addresses);
    EXPECT_EQ(store.profileForAddress("http://CASE.example/"), "Case");

    // Two import files with one PROFILE: the first address is no longer claimed.
    dir.write("batch/a", importFile("Twin", "first.example/"));
    dir.write("batch/b", importFile("Twin", "second.example/"));
    BatchImport(dir.path()).importFiles({"a", "b"});
    EXPECT_EQ(store.profileForAddress("http://first.example/"), "");
    EXPECT_EQ(store.profileForAddress("http://second.example/"), "Twin");

    const SiteProfile twin = store.loadProfile("Twin");
    EXPECT_TRUE(ProfileStore::isProfileOf(twin, "http://second.example/"));
    EXPECT_FALSE(ProfileStore::isProfileOf(twin, "http://first.example/"));
    EXPECT_FALSE(ProfileStore::isProfileOf(twin, "https://second.example/"));
    SiteProfile longOne = site(std::string(300, 'x'), "L");
    store.saveProfile("Long", longOne, names, addresses);
    EXPECT_TRUE(ProfileStore::isProfileOf(store.loadProfile("Long"), longOne.fullAddress()));
}

// Stamps queued by a run reach the profiles file with one rewrite, are seen by
// loads before that, and survive a run killed before its end.
TEST(ProfileIntegrity, QueuedStampsSurviveAKillAndLandWithTheNextRewrite)
{
    TempDir dir;
    const ProfileStore store(dir.path());
    Names names, addresses;
    store.saveProfile("A", site("a.example/", "A"), names, addresses);
    store.saveProfile("B", site("b.example/", "B"), names, addresses);
    const FileIdentity before = fileIdentity(store.profilesPath());

    store.queueLastRun("a", "Last Submission: 01/02/2026");
    store.queueLastRun("Gone", "Last Submission: 01/02/2026");
    EXPECT_EQ(fileIdentity(store.profilesPath()), before);  // not rewritten per site
    EXPECT_EQ(store.loadProfile("A").lastRun, "Last Submission: 01/02/2026");
    EXPECT_EQ(store.loadProfile("B").lastRun, "Last Submission: Unknown");

    // A record cut short by a kill is ignored; the whole ones before it count.
    {
        std::string pending = dir.read("sites/tolvan-stamps.pending");
        dir.write("sites/tolvan-stamps.pending", pending + "B\r\nLast Sub");
    }
    EXPECT_EQ(store.loadProfile("B").lastRun, "Last Submission: Unknown");

    // The next save carries the pending stamps into the file in the same rewrite.
    store.saveProfile("C", site("c.example/", "C"), names, addresses);
    EXPECT_FALSE(fileExists(store.pendingStampsPath()));
    const BigIniFile profiles(store.profilesPath());
    EXPECT_EQ(profiles.ReadString("A", "LASTRUN", ""), "Last Submission: 01/02/2026");
    EXPECT_EQ(profiles.ReadString("B", "LASTRUN", "none"), "none");
    EXPECT_FALSE(profiles.SectionExists("Gone"));

    store.queueLastRun("B", "Last Submission: 03/04/2026");
    store.applyPendingStamps();
    EXPECT_EQ(BigIniFile(store.profilesPath()).ReadString("B", "LASTRUN", ""), "Last Submission: 03/04/2026");
    EXPECT_FALSE(fileExists(store.pendingStampsPath()));
}
