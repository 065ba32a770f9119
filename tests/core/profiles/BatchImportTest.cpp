#include "profiles/BatchImport.h"

#include "profiles/ProfileStore.h"
#include "util/Errors.h"
#include "util/Files.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace tolvan;
using tolvan::test::TempDir;
using Names = std::vector<std::string>;

namespace {

const char* kFull =
    "[Tolvan Profile]\r\n"
    "profile=Shoes\r\n"
    "FORWARD=https://\r\n"
    "URL=shoes.example/\r\n"
    "TITLE=Fine Shoes\r\n"
    "DESC=Shoes for everyone\r\n"
    "CATEGORY=Shopping\r\n"
    "KEY1=shoes\r\n"
    "KEY18=boots\r\n"
    "NAME=Ann\r\n"
    "COMPANY=Ann Ltd\r\n"
    "CITY=Ost\r\n"
    "COUNTRY=Nordland\r\n"
    "email=ann@shoes.example\r\n"
    "ADDRESS=1 Main St\r\n"
    "STATE=OS\r\n"
    "ZIP=12345\r\n"
    "PHONE=555\r\n"
    "FAX=556\r\n";

}  // namespace

TEST(BatchImport, ReadsEveryKeyWithoutRegardToCase)
{
    TempDir base;
    base.write("batch/shoes.txt", kFull);
    SiteProfile working;
    working.lastRun = "Last Submission: 1/2/2026";
    const ImportedSite in = BatchImport(base.path()).read("shoes.txt", working);
    EXPECT_EQ(in.profileName, "Shoes");
    const SiteProfile& p = in.site;
    EXPECT_EQ(p.fullAddress(), "https://shoes.example/");
    EXPECT_EQ(p.title, "Fine Shoes");
    EXPECT_EQ(p.descriptionLines, Names{"Shoes for everyone"});
    EXPECT_EQ(p.category, "Shopping");
    EXPECT_EQ(p.keywords[0], "shoes");
    EXPECT_EQ(p.keywords[1], "");
    EXPECT_EQ(p.keywords[17], "boots");
    EXPECT_EQ(p.name, "Ann");
    EXPECT_EQ(p.company, "Ann Ltd");
    EXPECT_EQ(p.city, "Ost");
    EXPECT_EQ(p.country, "Nordland");
    EXPECT_EQ(p.email, "ann@shoes.example");
    EXPECT_EQ(p.street, "1 Main St");
    EXPECT_EQ(p.state, "OS");
    EXPECT_EQ(p.zip, "12345");
    EXPECT_EQ(p.phone, "555");
    EXPECT_EQ(p.fax, "556");
    EXPECT_EQ(p.lastRun, "Last Submission: 1/2/2026");  // an import file does not hold it
}

TEST(BatchImport, AbsentKeysAndAMissingSectionGiveTheDefaults)
{
    TempDir base;
    base.write("batch/other", "[Something Else]\r\nPROFILE=X\r\nURL=x.example\r\n");
    base.write("batch/empty-values", "[Tolvan Profile]\r\nTITLE=\r\nURL=y.example\r\n");
    const BatchImport import(base.path());
    for (const char* file : {"other", "missing-file"}) {
        const ImportedSite in = import.read(file);
        EXPECT_EQ(in.profileName, "") << file;
        const SiteProfile& p = in.site;
        EXPECT_EQ(p.fullAddress(), "");
        EXPECT_EQ(p.title, "None Entered");
        EXPECT_EQ(p.descriptionLines, Names{"None Entered"});
        EXPECT_EQ(p.category, "Miscellaneous");
        EXPECT_EQ(p.keywords[5], "");
        EXPECT_EQ(p.name, "");
        EXPECT_EQ(p.company, "None Entered");
        EXPECT_EQ(p.city, "None Entered");
        EXPECT_EQ(p.country, "None Entered");
        EXPECT_EQ(p.email, kPlaceholderEmail);
        EXPECT_EQ(p.street, "None Entered");
        EXPECT_EQ(p.state, "NA");
        EXPECT_EQ(p.zip, "00000");
        EXPECT_EQ(p.phone, "000-000-0000");
        EXPECT_EQ(p.fax, "000-000-0000");
    }
    // A key that is present but empty is empty, not the default.
    const ImportedSite e = import.read("empty-values");
    EXPECT_EQ(e.site.title, "");
    EXPECT_EQ(e.site.address, "y.example");
}

TEST(BatchImport, ListsPlainFilesSortedWithoutRegardToCase)
{
    TempDir base;
    EXPECT_TRUE(BatchImport(base.path()).files().empty());  // no batch/ yet
    base.write("batch/b.txt", "");
    base.write("batch/A.txt", "");
    base.write("batch/noextension", "");
    base.write("batch/sub/inner.txt", "");
    EXPECT_EQ(BatchImport(base.path()).files(), (Names{"A.txt", "b.txt", "noextension"}));
}

TEST(BatchImport, ImportSavesNamedSitesAsProfilesAndSkipsUnnamedOnes)
{
    TempDir base;
    base.write("batch/1-shoes", kFull);
    base.write("batch/2-anon", "[Tolvan Profile]\r\nFORWARD=http://\r\nURL=anon.example\r\n");
    base.write("batch/3-hats", "[Tolvan Profile]\r\nPROFILE=Hats\r\nFORWARD=http://\r\nURL=hats.example\r\n");
    // An existing profile of the same name is replaced; other profiles stay.
    const ProfileStore store(base.path());
    Names names, addresses;
    SiteProfile old;
    old.protocol = "http://";
    old.address = "old-hats.example";
    store.saveProfile("Hats", old, names, addresses);
    SiteProfile keep;
    keep.protocol = "http://";
    keep.address = "keep.example";
    store.saveProfile("Keep", keep, names, addresses);

    const auto last = BatchImport(base.path()).importFiles({"1-shoes", "2-anon", "3-hats"});
    ASSERT_TRUE(last.has_value());
    EXPECT_EQ(last->profileName, "Hats");
    EXPECT_EQ(last->site.fullAddress(), "http://hats.example");

    EXPECT_EQ(store.readNames(), (Names{"Hats", "Keep", "Shoes"}));
    EXPECT_EQ(store.readAddresses(),
              (Names{"http://old-hats.example", "http://keep.example", "https://shoes.example/", "http://hats.example"}));
    EXPECT_EQ(store.loadProfile("Hats").address, "hats.example");
    EXPECT_EQ(store.loadProfile("Hats").title, "None Entered");
    EXPECT_EQ(store.loadProfile("Keep").address, "keep.example");
    const SiteProfile shoes = store.loadProfile("Shoes");
    EXPECT_EQ(shoes.title, "Fine Shoes");
    EXPECT_EQ(shoes.descriptionLines, Names{"Shoes for everyone "});  // stored as a memo line
    EXPECT_EQ(shoes.email, "ann@shoes.example");
    EXPECT_EQ(store.profileForAddress("http://hats.example"), "Hats");
    EXPECT_EQ(store.profileForAddress("http://anon.example"), "");
}

TEST(BatchImport, FirstImportWorksWithoutAnySavedProfile)
{
    TempDir base;
    base.write("batch/hats", "[Tolvan Profile]\r\nPROFILE=Hats\r\nFORWARD=http://\r\nURL=hats.example\r\n");
    BatchImport(base.path()).importFiles({"hats"});
    const ProfileStore store(base.path());
    EXPECT_EQ(store.readNames(), Names{"Hats"});
    EXPECT_EQ(store.readAddresses(), Names{"http://hats.example"});
    EXPECT_FALSE(BatchImport(base.path()).importFiles({}).has_value());
}

TEST(BatchImport, AddressesAndDeletion)
{
    TempDir base;
    base.write("batch/a", "[Tolvan Profile]\r\nFORWARD=http://\r\nURL=a.example\r\n");
    base.write("batch/b", "[tolvan profile]\r\nurl=b.example\r\n");
    base.write("keep.txt", "outside");
    const BatchImport import(base.path());
    EXPECT_EQ(import.addresses({"a", "b", "gone"}), (Names{"http://a.example", "b.example", ""}));

    import.deleteFiles({"a", "gone", "../keep.txt"});
    EXPECT_EQ(import.files(), Names{"b"});
    EXPECT_TRUE(fileExists(base.file("keep.txt")));
    EXPECT_THROW(import.read("../keep.txt"), FileError);
}
