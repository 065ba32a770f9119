#include "profiles/BatchLists.h"

#include "util/Errors.h"
#include "util/Files.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace tolvan;
using tolvan::test::TempDir;

TEST(BatchLists, SaveTwiceKeepsOneNameAndReplacesTheList)
{
    TempDir base;
    const BatchListFiles files(base.path());
    EXPECT_FALSE(files.indexExists());
    EXPECT_TRUE(files.readNames().empty());

    LineList names;
    EXPECT_EQ(files.save("Shops", names, {"http://a.example", "http://b.example"}), "");
    EXPECT_EQ(base.read("sites/Shops.tlb"), "http://a.example\r\nhttp://b.example\r\n");
    EXPECT_EQ(base.read("sites/tlxbatch.tlx"), "Shops\r\n");

    names = files.readNames();
    EXPECT_EQ(files.save("Shops", names, {"https://c.example"}), "");
    EXPECT_EQ(files.save("shops", names, {"x"}), "");  // names compare with case
    EXPECT_EQ(base.read("sites/Shops.tlb"), "https://c.example\r\n");
    EXPECT_EQ(base.read("sites/tlxbatch.tlx"), "Shops\r\nshops\r\n");
    EXPECT_EQ(files.load("Shops"), LineList{"https://c.example"});
}

TEST(BatchLists, EmptyNameWritesDotTlbAndNoName)
{
    TempDir base;
    const BatchListFiles files(base.path());
    LineList names{"Old"};
    EXPECT_EQ(files.save("", names, {"http://a.example"}), "");
    EXPECT_EQ(base.read("sites/.tlb"), "http://a.example\r\n");
    EXPECT_EQ(base.read("sites/tlxbatch.tlx"), "Old\r\n");
    EXPECT_EQ(files.load(""), LineList{"http://a.example"});
}

TEST(BatchLists, LoadKeepsEntriesAsStored)
{
    TempDir base;
    base.write("sites/dup.tlb", "http://b\r\nhttp://a\r\nhttp://a\r\n");
    EXPECT_EQ(BatchListFiles(base.path()).load("dup"), (LineList{"http://b", "http://a", "http://a"}));
}

TEST(BatchLists, MissingListIsAFileError)
{
    TempDir base;
    base.write("sites/tlxbatch.tlx", "Gone\r\n");
    EXPECT_THROW(BatchListFiles(base.path()).load("Gone"), FileError);
}

// A typed name becomes a file name: nothing may leave sites/ or touch the
// program's own files, and a refused save leaves the index as it was.
TEST(BatchLists, UnsafeNamesAreRefusedBeforeAnythingIsWritten)
{
    TempDir base;
    base.write("sites/tlxbatch.tlx", "Keep\r\n");
    base.write("outside.tlb", "precious\r\n");
    const BatchListFiles files(base.path());
    for (const std::string bad : {"../outside", "a/b", "a\\b", "..", "tlxbatch", "TLXPROFILES", "x\ny"}) {
        LineList names{"Keep"};
        EXPECT_NE(files.save(bad, names, {"http://a"}), "") << bad;
        EXPECT_EQ(names, LineList{"Keep"}) << bad;
        EXPECT_NE(files.remove(bad, names), "") << bad;
        EXPECT_THROW(files.load(bad), TolvanError) << bad;
    }
    EXPECT_EQ(base.read("sites/tlxbatch.tlx"), "Keep\r\n");
    EXPECT_EQ(base.read("outside.tlb"), "precious\r\n");
    EXPECT_FALSE(fileExists(base.file("sites/tlxbatch.tlb")));
}

TEST(BatchLists, AListThatCannotBeWrittenAddsNoName)
{
    TempDir base;
    base.write("sites/tlxbatch.tlx", "Keep\r\n");
    ensureDirectory(base.file("sites/Blocked.tlb"));  // a directory where the list would go
    LineList names{"Keep"};
    EXPECT_THROW(BatchListFiles(base.path()).save("Blocked", names, {"http://a"}), FileError);
    EXPECT_EQ(names, LineList{"Keep"});
    EXPECT_EQ(base.read("sites/tlxbatch.tlx"), "Keep\r\n");
}

TEST(BatchLists, RemoveDeletesTheFileAndItsName)
{
    TempDir base;
    const BatchListFiles files(base.path());
    LineList names;
    files.save("One", names, {"http://1"});
    files.save("Two", names, {"http://2"});

    EXPECT_EQ(files.remove("One", names), "");
    EXPECT_EQ(names, LineList{"Two"});
    EXPECT_FALSE(fileExists(base.file("sites/One.tlb")));
    EXPECT_EQ(base.read("sites/tlxbatch.tlx"), "Two\r\n");

    // A name whose file is already gone still leaves the index; an unknown name
    // changes nothing but is not an error.
    std::remove(base.file("sites/Two.tlb").c_str());
    EXPECT_EQ(files.remove("Two", names), "");
    EXPECT_EQ(files.remove("Nobody", names), "");
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(base.read("sites/tlxbatch.tlx"), "");
}
