#include "storage/BigIniFile.h"

#include "util/Files.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace tolvan;
using tolvan::test::TempDir;

// A base directory deep enough that the profile path is longer than 255
// characters must still read and write that very file, not a cut-off name.
TEST(BigIniFileReview, LongPathIsWrittenAndReadInPlace)
{
    TempDir dir;
    const std::string deep = dir.file(std::string(150, 'a')) + "/" + std::string(150, 'b');
    ensureDirectory(deep);
    const std::string path = deep + "/tlxprofiles.tlx";
    ASSERT_GT(path.size(), 255u);
    {
        BigIniFile ini(path);
        ini.WriteString("Site", "URL", "example.org");
        ini.UpdateFile();
    }
    ASSERT_TRUE(fileExists(path));
    EXPECT_EQ(readFile(path), "[Site]\r\nURL=example.org\r\n\r\n");
    EXPECT_EQ(BigIniFile(path).ReadString("Site", "URL", ""), "example.org");
}

// The end-of-file byte ends the text on loading; written inside a value it
// would cut off every section after it at the next load and the rewrite after that.
TEST(BigIniFileReview, EndOfFileByteInAValueCannotTruncateTheFile)
{
    TempDir dir;
    const std::string path = dir.file("p.tlx");
    {
        BigIniFile ini(path);
        ini.WriteString("First", "desc", "before\x1A" "after");
        ini.WriteString("Second", "URL", "kept.example");
        ini.UpdateFile();
    }
    {
        BigIniFile ini(path);
        EXPECT_EQ(ini.ReadString("First", "desc", ""), "before after");
        ini.WriteString("Third", "URL", "new.example");
        ini.UpdateFile();
    }
    const BigIniFile ini(path);
    EXPECT_EQ(ini.ReadString("Second", "URL", ""), "kept.example");
    EXPECT_EQ(ini.ReadString("Third", "URL", ""), "new.example");
}
