// A file already laid out as a rewrite writes it keeps its untouched sections'
// bytes; these tests hold that path to the bytes of the full load (every
// section read into lines first) for edits at the start, middle and end, and
// make sure files that a full load would change never take it.
#include "storage/BigIniFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

using namespace tolvan;
using tolvan::test::TempDir;

namespace {

const std::string kLaidOut = "[First]\r\nURL=a\r\nTITLE=Första\r\n\r\n"
                             "[Middle]\r\nURL=b\r\n; note\r\n[x] \r\n\r\n"
                             "[Last]\r\nURL=c\r\n\r\n";

using Edit = std::function<void(BigIniFile&)>;

const std::vector<std::pair<const char*, Edit>>& edits()
{
    static const std::vector<std::pair<const char*, Edit>> all = {
        {"none", [](BigIniFile&) {}},
        {"change first", [](BigIniFile& f) { f.WriteString("first", "url", "A"); }},
        {"change middle", [](BigIniFile& f) { f.WriteString("Middle", "TITLE", "new"); }},
        {"change last", [](BigIniFile& f) { f.WriteString("LAST", "URL", "C"); }},
        {"same value", [](BigIniFile& f) { f.WriteString("Middle", "url", "b"); }},
        {"add section", [](BigIniFile& f) { f.WriteString("Added", "URL", "d"); }},
        {"erase first", [](BigIniFile& f) { f.EraseSection("First"); }},
        {"erase middle", [](BigIniFile& f) { f.EraseSection("middle"); }},
        {"erase last", [](BigIniFile& f) { f.EraseSection("Last"); }},
        {"read then erase and re-add",
         [](BigIniFile& f) {
             (void)f.ReadString("Middle", "URL", "");
             f.EraseSection("Middle");
             f.WriteString("Middle", "URL", "again");
         }},
    };
    return all;
}

// The text as a file loaded, edited and serialized, either way.
std::string rewritten(const std::string& file, const Edit& edit, bool readAllFirst)
{
    BigIniFile ini(file);
    if (readAllFirst)
        (void)ini.sections();
    edit(ini);
    return ini.serialize();
}

}  // namespace

TEST(BigIniFileRewrite, UntouchedSectionsKeepTheirBytesAndEditsMatchTheFullLoad)
{
    TempDir dir;
    dir.write("a.tlx", kLaidOut);
    for (const auto& [name, edit] : edits())
        EXPECT_EQ(rewritten(dir.file("a.tlx"), edit, false), rewritten(dir.file("a.tlx"), edit, true)) << name;

    EXPECT_EQ(rewritten(dir.file("a.tlx"), edits()[0].second, false), kLaidOut);
    BigIniFile ini(dir.file("a.tlx"));
    ini.WriteString("Middle", "url", "B");
    ini.EraseSection("Last");
    ini.WriteString("New", "k", "v");
    ini.UpdateFile();
    EXPECT_EQ(dir.read("a.tlx"), "[First]\r\nURL=a\r\nTITLE=Första\r\n\r\n"
                                 "[Middle]\r\nurl=B\r\n; note\r\n[x] \r\n\r\n"
                                 "[New]\r\nk=v\r\n\r\n");
    // Written back, the object still copies its untouched sections right.
    ini.WriteString("First", "TITLE", "Again");
    ini.UpdateFile();
    EXPECT_EQ(BigIniFile(dir.file("a.tlx")).serialize(), dir.read("a.tlx"));
    EXPECT_EQ(BigIniFile(dir.file("a.tlx")).ReadString("first", "title", ""), "Again");
}

TEST(BigIniFileRewrite, FilesALoadWouldChangeAreReadInFull)
{
    const std::string longLine = "k=" + std::string(260, 'x');
    const std::string longButFewChars = "k=" + std::string(120, '\xC3') + std::string(120, '\xA9');
    ASSERT_EQ(longButFewChars.size(), 242u);
    const std::string manyBytes = "k=" + [] {
        std::string s;
        for (int i = 0; i < 200; ++i)
            s += "é";  // 400 bytes, 200 characters: kept whole
        return s;
    }();
    const std::vector<std::pair<const char*, std::string>> texts = {
        {"laid out", kLaidOut},
        {"empty", ""},
        {"long line of few characters", "[A]\r\n" + manyBytes + "\r\n\r\n[B]\r\nk=1\r\n\r\n"},
        {"lf only", "[A]\nk=1\n\n[B]\nk=2\n\n"},
        {"lone cr", "[A]\r\nk=1\rj=2\r\n\r\n[B]\r\nk=2\r\n\r\n"},
        {"byte-order mark", "\xEF\xBB\xBF[A]\r\nk=1\r\n\r\n[B]\r\nk=2\r\n\r\n"},
        {"byte-order marks opening lines", "[A]\r\n\xEF\xBB\xBFk=1\r\n\r\n[B]\r\n\xEF\xBB\xBF\r\n\r\n"},
        {"end-of-file mark", "[A]\r\nk=1\r\n\r\n[B]\r\nk=2\r\n\r\n\x1A[C]\r\nk=3\r\n\r\n"},
        {"duplicate name", "[A]\r\nk=1\r\n\r\n[B]\r\nk=2\r\n\r\n[a]\r\nk=3\r\n\r\n"},
        {"empty section", "[A]\r\n\r\n[B]\r\nk=2\r\n\r\n[C]\r\nk=3\r\n\r\n"},
        {"no blank line", "[A]\r\nk=1\r\n[B]\r\nk=2\r\n\r\n"},
        {"two blank lines", "[A]\r\nk=1\r\n\r\n\r\n[B]\r\nk=2\r\n\r\n"},
        {"blank line inside", "[A]\r\nk=1\r\n\r\nj=2\r\n\r\n[B]\r\nk=2\r\n\r\n"},
        {"no final blank line", "[A]\r\nk=1\r\n\r\n[B]\r\nk=2\r\n"},
        {"no final line end", "[A]\r\nk=1\r\n\r\n[B]\r\nk=2"},
        {"line before header", "k=0\r\n[A]\r\nk=1\r\n\r\n[B]\r\nk=2\r\n\r\n"},
        {"blank first line", "\r\n[A]\r\nk=1\r\n\r\n[B]\r\nk=2\r\n\r\n"},
        {"long line", "[A]\r\n" + longLine + "\r\n\r\n[B]\r\nk=2\r\n\r\n"},
        {"windows-1252", "[A]\r\nk=caf\xE9\r\n\r\n[B]\r\nk=2\r\n\r\n"},
        {"windows-1252, long in bytes", "[A]\r\n" + longButFewChars + "\r\n\r\n[B]\r\nk=2\r\n\r\n"},
    };
    TempDir dir;
    for (const auto& [label, text] : texts) {
        dir.write("t.tlx", text);
        for (const auto& [name, edit] : edits())
            EXPECT_EQ(rewritten(dir.file("t.tlx"), edit, false), rewritten(dir.file("t.tlx"), edit, true))
                << label << ", " << name;
    }
}
