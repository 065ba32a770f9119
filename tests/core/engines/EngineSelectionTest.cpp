#include "engines/EngineSelection.h"

#include <gtest/gtest.h>

using namespace tolvan;

TEST(EngineSelectionOrder, IgnoresCaseButKeepsEqualEntriesInArrivalOrder)
{
    NameList list{"yahoo", "Alta Vista", "excite", "Yahoo", "AOL NetFind", "[x]", "_u"};
    sortListEntries(list);
    // "[" and "_" sort between upper- and lower-case letters by byte value, but
    // letters fold to lower case first, so both come before every letter.
    EXPECT_EQ(list, (NameList{"[x]", "_u", "Alta Vista", "AOL NetFind", "excite", "yahoo", "Yahoo"}));

    EXPECT_EQ(compareListEntries("abc", "ABC"), 0);
    EXPECT_LT(compareListEntries("ab", "abc"), 0);
    EXPECT_GT(compareListEntries("b", "Abc"), 0);

    NameList sorted{"Alpha", "beta", "Gamma"};
    EXPECT_EQ(insertSorted(sorted, "BETA"), 2u);  // after its equal
    EXPECT_EQ(insertSorted(sorted, "a"), 0u);
    EXPECT_EQ(sorted, (NameList{"a", "Alpha", "beta", "BETA", "Gamma"}));
}

TEST(EngineSelection, AddsOnlyNamesNotExactlyPresent)
{
    EngineSelection sel;
    EXPECT_EQ(sel.addMissing({"Lycos", "Excite", "Lycos"}), 2u);
    EXPECT_EQ(sel.addMissing({"Lycos", "lycos"}), 1u);  // case-different names both stand
    EXPECT_EQ(sel.engines(), (NameList{"Excite", "Lycos", "lycos"}));
    EXPECT_TRUE(containsExactly(sel.engines(), "lycos"));
    EXPECT_FALSE(containsExactly(sel.engines(), "LYCOS"));

    EXPECT_TRUE(sel.removeAt(0));
    EXPECT_FALSE(sel.removeAt(5));
    EXPECT_EQ(sel.engines(), (NameList{"Lycos", "lycos"}));
}

TEST(EngineSelection, MajorEnginesReplaceTheListSorted)
{
    EngineSelection sel;
    sel.addMissing({"Zeta"});
    sel.selectMajor();
    EXPECT_EQ(sel.engines(), (NameList{"Alta Vista", "AOL NetFind", "Excite", "HotBot", "Infoseek", "Lycos",
                                       "Tolvan Search", "Webcrawler", "Yahoo"}));
    // Same spelling from the index adds nothing; another spelling stands beside it.
    EXPECT_EQ(sel.addMissing({"Yahoo"}), 0u);
    EXPECT_EQ(sel.addMissing({"YAHOO"}), 1u);
    EXPECT_EQ(sel.size(), 10u);
}

TEST(EngineSelection, ReplaceKeepsDuplicatesAndSorts)
{
    EngineSelection sel;
    sel.replace({"b", "A", "b"});
    EXPECT_EQ(sel.engines(), (NameList{"A", "b", "b"}));
    EXPECT_EQ(engineCountCaption(3), "3 Engines to be submitted");
    EXPECT_EQ(availableEnginesCaption(0), "0 Search Engines Available");
    EXPECT_EQ(selectionCountCaption(2, 10), "2 of 10 items are selected");
}

// Adding many names at once puts every new name where adding them one at a
// time would have: after the entries that compare equal, in arrival order.
TEST(EngineSelection, BulkAddMatchesOneByOneInsertion)
{
    const NameList pool{"alpha", "Alpha", "ALPHA", "beta", "Beta", "gamma", "Gamma ", "[x]", "_u", "zeta", "Zeta"};
    unsigned seed = 7;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    for (int round = 0; round < 200; ++round) {
        NameList start, added;
        for (unsigned n = next() % 6; n > 0; --n)
            start.push_back(pool[next() % pool.size()]);
        for (unsigned n = next() % 12; n > 0; --n)
            added.push_back(pool[next() % pool.size()]);

        EngineSelection sel;
        sel.replace(start);  // a loaded list may hold duplicates
        NameList expected = sel.engines();
        std::size_t expectedCount = 0;
        for (const auto& name : added)
            if (!containsExactly(expected, name)) {
                insertSorted(expected, name);
                ++expectedCount;
            }
        EXPECT_EQ(sel.addMissing(added), expectedCount);
        EXPECT_EQ(sel.engines(), expected) << "round " << round;
    }
}
