#include <gtest/gtest.h>

#include "TestSupport.h"
#include "engines/EngineLists.h"
#include "util/Files.h"

using namespace tolvan;
using tolvan::test::TempDir;

TEST(EngineListOrder, SortsWithoutRegardToCaseAndComparesMembershipExactly)
{
    std::vector<std::string> list = {"yahoo", "Alta Vista", "excite", "AOL NetFind", "Yahoo"};
    sortListEntries(list);
    EXPECT_EQ(list, (std::vector<std::string>{"Alta Vista", "AOL NetFind", "excite", "yahoo", "Yahoo"}));
    EXPECT_TRUE(containsExactly(list, "Yahoo"));
    EXPECT_FALSE(containsExactly(list, "YAHOO"));

    EXPECT_EQ(insertSorted(list, "Lycos"), 3u);
    EXPECT_EQ(insertSorted(list, "ALTA VISTA"), 1u);  // after its equal
    EXPECT_EQ(list.front(), "Alta Vista");
}

TEST(EngineListOrder, MajorEnginesThenMovingFromTheIndex)
{
    EngineSelection toSubmit;
    toSubmit.selectMajor();
    ASSERT_EQ(toSubmit.size(), 9u);
    EXPECT_EQ(toSubmit.engines().front(), "Alta Vista");
    EXPECT_EQ(toSubmit.engines().back(), "Yahoo");
    EXPECT_EQ(toSubmit.addMissing({"Yahoo", "Yahoo"}), 0u);
    EXPECT_EQ(toSubmit.addMissing({"yahoo", "Eule"}), 2u);
    EXPECT_EQ(toSubmit.size(), 11u);
}

TEST(EngineListFilesTest, SaveLoadAndDelete)
{
    TempDir dir;
    const EngineListFiles files(dir.path());
    EXPECT_FALSE(files.indexExists());
    EXPECT_TRUE(files.readNames().empty());

    LineList names;
    EXPECT_EQ(files.save("Mine", names, {"Alta Vista", "Yahoo"}), "");
    EXPECT_EQ(files.save("Other", names, {"Eule"}), "");
    EXPECT_EQ(files.save("Mine", names, {"Lycos"}), "");  // saved again: replaced, named once
    EXPECT_EQ(names, (LineList{"Mine", "Other"}));
    EXPECT_EQ(dir.read("sites/englist.tlx"), "Mine\r\nOther\r\n");
    EXPECT_EQ(dir.read("sites/Mine.tlx"), "Lycos\r\n");
    EXPECT_EQ(files.load("Other"), (LineList{"Eule"}));
    EXPECT_EQ(files.load("mine"), std::nullopt);  // names are exact
    EXPECT_EQ(files.load("Gone"), std::nullopt);

    names = files.readNames();
    EXPECT_EQ(files.remove("Mine", names), "");
    EXPECT_EQ(names, (LineList{"Other"}));
    EXPECT_FALSE(fileExists(dir.file("sites/Mine.tlx")));
    EXPECT_EQ(dir.read("sites/englist.tlx"), "Other\r\n");
    // A name that is in the list but has no file: the name still goes.
    names.push_back("Ghost");
    EXPECT_EQ(files.remove("Ghost", names), "");
    EXPECT_EQ(names, (LineList{"Other"}));
}

TEST(EngineListFilesTest, EmptyNameWritesTheListButNoName)
{
    TempDir dir;
    const EngineListFiles files(dir.path());
    LineList names = {"Kept"};
    EXPECT_EQ(files.save("", names, {"Eule"}), "");
    EXPECT_EQ(names, (LineList{"Kept"}));
    EXPECT_EQ(dir.read("sites/.tlx"), "Eule\r\n");
    EXPECT_EQ(files.load(""), (LineList{"Eule"}));
}

TEST(EngineListFilesTest, NamesOfTheProgramsOwnFilesAndPathsAreRefused)
{
    TempDir dir;
    dir.write("sites/tlxprofiles.tlx", "[Site]\r\nURL=keep\r\n");
    dir.write("sites/englist.tlx", "Kept\r\n");
    dir.write("data/sites.tlx", "Eule\r\n");
    const EngineListFiles files(dir.path());
    for (const std::string bad : {"tlxprofiles", "TLXPROFILES", "englist", "last", "custmsg", "tlxplist", "tlxurls",
                                  "tlxurlsrev", "tlxbatch", ".", "..", "../data/sites", "a/b", "a\\b"}) {
        SCOPED_TRACE(bad);
        LineList names = {"Kept"};
        EXPECT_NE(files.save(bad, names, {"Yahoo"}), "");
        EXPECT_NE(files.remove(bad, names), "");
        EXPECT_EQ(files.load(bad), std::nullopt);
        EXPECT_EQ(names, (LineList{"Kept"}));
    }
    EXPECT_EQ(dir.read("sites/tlxprofiles.tlx"), "[Site]\r\nURL=keep\r\n");
    EXPECT_EQ(dir.read("sites/englist.tlx"), "Kept\r\n");
    EXPECT_EQ(dir.read("data/sites.tlx"), "Eule\r\n");
}
