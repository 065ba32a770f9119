#include "storage/LineList.h"

#include "util/Errors.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace tolvan;
using tolvan::test::TempDir;

TEST(LineList, SplitsAtEveryLineEndKeepsEmptyLinesAndReadsPastNul)
{
    TempDir dir;
    dir.write("l.tlx", std::string("one\r\ntwo\rthree\n\r\n  five  \r\nsix\0hidden\r\n", 39));
    EXPECT_EQ(readLineList(dir.file("l.tlx")), (LineList{"one", "two", "three", "", "  five  ", std::string("six\0hidden", 10)}));

    dir.write("trail.tlx", "a\r\n\r\n");
    EXPECT_EQ(readLineList(dir.file("trail.tlx")), (LineList{"a", ""}));
    dir.write("empty.tlx", "");
    EXPECT_TRUE(readLineList(dir.file("empty.tlx")).empty());
    dir.write("cp.tlx", "Z\xFCrich\r\n");
    EXPECT_EQ(readLineList(dir.file("cp.tlx")), LineList{"Z\xC3\xBCrich"});
}

TEST(LineList, WriteIsCrLfPerEntryAndRoundTrips)
{
    TempDir dir;
    const LineList list{"AltaVista", "", std::string(400, 'x')};
    writeLineList(dir.file("w.tlx"), list);
    EXPECT_EQ(dir.read("w.tlx"), "AltaVista\r\n\r\n" + std::string(400, 'x') + "\r\n");
    EXPECT_EQ(readLineList(dir.file("w.tlx")), list);

    EXPECT_THROW(readLineList(dir.file("missing.tlx")), FileError);
    EXPECT_THROW(writeLineList(dir.file("no/such/dir.tlx"), list), FileError);
}

// Every mix of line ends, NULs and non-ASCII bytes splits as the plain rule
// says: a line ends at the first CR or LF, and CR LF counts once.
TEST(LineList, SplitsLikeThePlainRuleOnRandomText)
{
    auto reference = [](const std::string& text) {
        LineList lines;
        std::string line;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] != '\r' && text[i] != '\n') {
                line += text[i];
                continue;
            }
            lines.push_back(line);
            line.clear();
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        }
        if (!line.empty())
            lines.push_back(line);
        return lines;
    };
    const char alphabet[] = {'a', 'b', '\r', '\n', '\0', '['};
    unsigned seed = 12345;
    for (int round = 0; round < 5000; ++round) {
        std::string text;
        const int length = round % 23;
        for (int i = 0; i < length; ++i) {
            seed = seed * 1103515245u + 12345u;
            text += alphabet[(seed >> 16) % sizeof alphabet];
        }
        ASSERT_EQ(parseLineList(text), reference(text)) << "round " << round;
    }
}
