#include "util/TextCodec.h"

#include <gtest/gtest.h>

using namespace tolvan;

TEST(TextCodec, Utf8ValidationRejectsMalformedSequences)
{
    EXPECT_TRUE(isValidUtf8("plain ascii"));
    EXPECT_TRUE(isValidUtf8("Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC \xF0\x9F\x98\x80"));
    EXPECT_FALSE(isValidUtf8("caf\xE9"));              // Latin-1 byte
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));             // overlong "/"
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));         // surrogate
    EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80"));     // above U+10FFFF
    EXPECT_FALSE(isValidUtf8("abcdefgh\xE2\x82"));     // truncated at the end, after the fast path
}

TEST(TextCodec, NonUtf8FilesAreReadAsWindows1252)
{
    EXPECT_EQ(decodeFileText("caf\xE9 \x80 \x93x\x94"), "caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9Cx\xE2\x80\x9D");
    EXPECT_EQ(decodeFileText("\x81"), "\xC2\x81");  // unassigned byte keeps its number
    const std::string utf8 = "Gr\xC3\xBC\xC3\x9F" "e";
    EXPECT_EQ(decodeFileText(utf8), utf8);
}

TEST(TextCodec, CutCountsCharactersAndNeverSplitsASequence)
{
    std::string s;
    for (int i = 0; i < 300; ++i)
        s += "\xC3\xA9";  // 300 characters, 600 bytes
    const std::string cut = cutChars(s);
    EXPECT_EQ(charCount(cut), 255u);
    EXPECT_EQ(cut.size(), 510u);
    EXPECT_TRUE(isValidUtf8(cut));

    EXPECT_EQ(cutChars("a\xE2\x82\xAC" "b", 2), "a\xE2\x82\xAC");
    EXPECT_EQ(cutChars("short", 255), "short");
    // Byte limits back off to the start of a character that would be split.
    EXPECT_EQ(cutBytes("a\xE2\x82\xAC" "b", 3), "a");
    EXPECT_EQ(cutBytes("a\xE2\x82\xAC" "b", 4), "a\xE2\x82\xAC");
    EXPECT_EQ(charCount("a\xF0\x9F\x98\x80z"), 3u);
}

TEST(TextCodec, CaseFoldingCoversAsciiAndLatinLetters)
{
    EXPECT_TRUE(equalsIgnoreCase("LastSaved", "lastsaved"));
    EXPECT_TRUE(equalsIgnoreCase("\xC3\x84RGER", "\xC3\xA4rger"));        // Ä / ä
    EXPECT_TRUE(equalsIgnoreCase("\xC5\xA0KODA", "\xC5\xA1koda"));        // Š / š
    EXPECT_FALSE(equalsIgnoreCase("\xC3\x97", "\xC3\xB7"));              // × and ÷ are not a pair
    EXPECT_FALSE(equalsIgnoreCase("abc", "abcd"));
    EXPECT_FALSE(equalsIgnoreCase("a b", "a  b"));
    EXPECT_EQ(compareIgnoreCase("Alpha", "alpha"), 0);
    EXPECT_LT(compareIgnoreCase("alpha", "BETA"), 0);
    EXPECT_GT(compareIgnoreCase("b", "A"), 0);
    EXPECT_EQ(foldCase("\xC3\x84" "Bc"), "\xC3\xA4" "bc");
    EXPECT_EQ(foldCase("x\xE9y"), "x\xE9y");  // a stray byte stays
}
