#include "storage/BigIniFile.h"

#include "util/Errors.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace tolvan;
using tolvan::test::TempDir;

namespace {

std::string lines(const BigIniFile& ini, const std::string& section)
{
    for (const auto& s : ini.sections())
        if (s.name == section) {
            std::string all;
            for (const auto& l : s.lines)
                all += l + "|";
            return all;
        }
    return "<none>";
}

}  // namespace

TEST(BigIniFile, LoadKeepsVerbatimLinesAndDropsWhatPrecedesTheFirstHeader)
{
    TempDir dir;
    dir.write("a.tlx",
              "orphan=1\r\n"
              "[Site]\r\n"
              "; a comment\r\n"
              "no equals sign\r\n"
              "\r\n"
              "key = spaced \r\n"
              "url=http://x/?a=b\r\n"
              "[Site] \r\n"                 // blank after "]": not a header
              " [Other]\r\n"                // blank before "[": not a header
              "[ Padded ]\r"                // lone CR ends a line too
              "k=v\n"                       // and so does a lone LF
              "[Last]\r\nx=1\r\n\x1A[Ignored]\r\ny=2\r\n");
    BigIniFile ini(dir.file("a.tlx"));
    ASSERT_EQ(ini.sections().size(), 3u);
    EXPECT_EQ(lines(ini, "Site"), "; a comment|no equals sign|key = spaced |url=http://x/?a=b|[Site] | [Other]|");
    EXPECT_EQ(ini.ReadString("site", "url", "?"), "http://x/?a=b");
    EXPECT_EQ(ini.ReadString("Site", "key ", "?"), " spaced ");
    EXPECT_EQ(ini.ReadString("Site", "key", "?"), "?");  // the blank belongs to the key
    EXPECT_EQ(ini.ReadString(" padded ", "K", "?"), "v");
    EXPECT_EQ(ini.ReadString("Last", "x", "?"), "1");
    EXPECT_FALSE(ini.SectionExists("Ignored"));
    EXPECT_EQ(ini.ReadString("Nowhere", "x", "dflt"), "dflt");
    EXPECT_FALSE(ini.modified());
}

TEST(BigIniFile, DuplicateSectionsReduceToTheFirstAndVanishOnlyAtTheNextRewrite)
{
    TempDir dir;
    const std::string original = "[Prof]\r\na=1\r\n[PROF]\r\na=2\r\nb=3\r\n[Z]\r\nz=1\r\n";
    dir.write("p.tlx", original);
    {
        BigIniFile ini(dir.file("p.tlx"));
        EXPECT_EQ(ini.ReadString("prof", "a", ""), "1");
        EXPECT_EQ(ini.ReadString("prof", "b", "none"), "none");
        ini.UpdateFile();
    }
    EXPECT_EQ(dir.read("p.tlx"), original);  // nothing changed, nothing written

    BigIniFile ini(dir.file("p.tlx"));
    ini.WriteString("Z", "z", "2");
    ini.UpdateFile();
    EXPECT_EQ(dir.read("p.tlx"), "[Prof]\r\na=1\r\n\r\n[Z]\r\nz=2\r\n\r\n");
}

TEST(BigIniFile, WriteMarksModifiedOnlyOnARealChangeAndTakesTheWritersCase)
{
    TempDir dir;
    dir.write("last.tlx", "[LastSaved]\r\nDESC=hello\r\n");
    const auto before = dir.read("last.tlx");

    BigIniFile ini(dir.file("last.tlx"));
    EXPECT_EQ(ini.ReadString("LastSaved", "desc", ""), "hello");
    ini.WriteString("LastSaved", "DESC", "hello");
    EXPECT_FALSE(ini.modified());
    ini.WriteString("LastSaved", "desc", "hello");
    EXPECT_TRUE(ini.modified());
    ini.UpdateFile();
    EXPECT_FALSE(ini.modified());
    EXPECT_EQ(dir.read("last.tlx"), "[LastSaved]\r\ndesc=hello\r\n\r\n");

    ini.WriteString("lastsaved", "desc", "hello");
    EXPECT_FALSE(ini.modified());
    ini.WriteString("LastSaved", "", "ignored");  // an empty key writes nothing
    EXPECT_FALSE(ini.modified());
}

TEST(BigIniFile, NewSectionsAndKeysAppendAndEmptySectionsAreNotWritten)
{
    TempDir dir;
    BigIniFile ini(dir.file("new.tlx"));
    EXPECT_TRUE(ini.sections().empty());
    ini.WriteString("A", "one", "1");
    ini.WriteString("B", "x", "");
    ini.WriteString("a", "two", "2=3");
    ini.EraseSection("B");
    ini.WriteString("C", "c", "c");
    ini.EraseSection("C");
    ini.UpdateFile();
    EXPECT_EQ(dir.read("new.tlx"), "[A]\r\none=1\r\ntwo=2=3\r\n\r\n");
    EXPECT_EQ(BigIniFile(dir.file("new.tlx")).ReadString("A", "TWO", ""), "2=3");
}

TEST(BigIniFile, EraseSectionRewritesOnlyWhenItExisted)
{
    TempDir dir;
    dir.write("e.tlx", "[Keep]\r\nk=1\r\n[Gone]\r\ng=1\r\n");
    {
        BigIniFile ini(dir.file("e.tlx"));
        ini.EraseSection("missing");
        EXPECT_FALSE(ini.modified());
    }
    BigIniFile ini(dir.file("e.tlx"));
    ini.EraseSection("GONE");
    EXPECT_FALSE(ini.SectionExists("Gone"));
    EXPECT_EQ(ini.ReadString("Keep", "k", ""), "1");  // search position stays valid
    ini.UpdateFile();
    EXPECT_EQ(dir.read("e.tlx"), "[Keep]\r\nk=1\r\n\r\n");
}

TEST(BigIniFile, TwoHundredFiftyFiveCharacterLimits)
{
    TempDir dir;
    {
        BigIniFile ini(dir.file("l.tlx"));
        ini.WriteString("S", "KEY1", std::string(300, 'v'));
        std::string wide;  // 300 two-byte characters
        for (int i = 0; i < 300; ++i)
            wide += "\xC3\xA9";
        ini.WriteString("S", "k", wide);
        ini.WriteString(std::string(300, 'n'), "x", "1");
        ini.UpdateFile();
    }
    BigIniFile ini(dir.file("l.tlx"));
    EXPECT_EQ(ini.ReadString("S", "KEY1", ""), std::string(250, 'v'));
    const std::string wide = ini.ReadString("S", "k", "");
    EXPECT_EQ(wide.size(), 253u * 2);  // 255 characters minus "k="
    // A long section name still comes back as a header of its own.
    EXPECT_EQ(ini.ReadString(std::string(300, 'n'), "x", ""), "1");
    EXPECT_EQ(ini.sections().size(), 2u);

    dir.write("long.tlx", "[S]\r\nk=" + std::string(400, 'z') + "\r\nnext=ok\r\n");
    BigIniFile longLine(dir.file("long.tlx"));
    EXPECT_EQ(longLine.ReadString("S", "k", ""), std::string(253, 'z'));
    EXPECT_EQ(longLine.ReadString("S", "next", ""), "ok");
}

TEST(BigIniFile, LineBreaksInValuesCannotForgeLinesOrSections)
{
    TempDir dir;
    {
        BigIniFile ini(dir.file("x.tlx"));
        ini.WriteString("S", "title", "one\r\n[Evil]\r\nprofile=x");
        ini.UpdateFile();
    }
    BigIniFile ini(dir.file("x.tlx"));
    EXPECT_FALSE(ini.SectionExists("Evil"));
    EXPECT_EQ(ini.ReadString("S", "title", ""), "one  [Evil]  profile=x");
}

TEST(BigIniFile, Windows1252FileIsReadAsUtf8AndWrittenBackAsUtf8)
{
    TempDir dir;
    dir.write("w.tlx", "[Caf\xE9]\r\ncity=M\xFCnchen\r\n");
    BigIniFile ini(dir.file("w.tlx"));
    EXPECT_EQ(ini.ReadString("CAF\xC3\x89", "city", ""), "M\xC3\xBCnchen");
    ini.WriteString("Caf\xC3\xA9", "zip", "1");
    ini.UpdateFile();
    EXPECT_EQ(dir.read("w.tlx"), "[Caf\xC3\xA9]\r\ncity=M\xC3\xBCnchen\r\nzip=1\r\n\r\n");
}

TEST(BigIniFile, FailedFlushKeepsTheFileAndTheModifiedFlag)
{
    TempDir dir;
    dir.write("blocker", "");
    BigIniFile ini(dir.file("blocker/p.tlx"));
    ini.WriteString("S", "k", "v");
    EXPECT_THROW(ini.UpdateFile(), FileError);
    EXPECT_TRUE(ini.modified());
}

TEST(BigIniFile, LfOnlyFilesLoadLineByLineAndAreRewrittenWithCrLf)
{
    TempDir dir;
    dir.write("lf.tlx", "[One]\nurl=a\n\n[Two]\nurl=b\n");
    BigIniFile ini(dir.file("lf.tlx"));
    EXPECT_EQ(ini.sections().size(), 2u);
    EXPECT_EQ(ini.ReadString("One", "url", ""), "a");
    EXPECT_EQ(ini.ReadString("Two", "url", ""), "b");
    ini.WriteString("Two", "url", "c");
    ini.UpdateFile();
    EXPECT_EQ(dir.read("lf.tlx"), "[One]\r\nurl=a\r\n\r\n[Two]\r\nurl=c\r\n\r\n");
}
