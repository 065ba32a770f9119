#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "SmtpTestPeers.h"
#include "TestSupport.h"
#include "net/QuotedPrintable.h"

using namespace tolvan;
using namespace tolvan::test;
using Lines = std::vector<std::string>;

namespace {
std::string repeat(const std::string& s, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}
}  // namespace

TEST(QuotedPrintableTest, CutsParagraphsIntoPiecesAtBlanks)
{
    EXPECT_EQ(QuotedPrintable::encode("Hello = world"), Lines{"Hello =3D world"});
    // The last blank within the first 66 characters starts the next piece.
    EXPECT_EQ(QuotedPrintable::encode(repeat("aaaaaaaaa ", 7)),
              (Lines{repeat("aaaaaaaaa ", 5) + "aaaaaaaaa=", " aaaaaaaaa=20"}));
    // Without a blank the piece is 65 characters long.
    EXPECT_EQ(QuotedPrintable::encode(std::string(70, 'x')), (Lines{std::string(65, 'x') + "=", "xxxxx"}));
    EXPECT_EQ(QuotedPrintable::encode(std::string(65, 'x')), (Lines{std::string(65, 'x') + "=", ""}));
    EXPECT_EQ(QuotedPrintable::encode(std::string(64, 'x')), Lines{std::string(64, 'x')});
    // Control characters are encoded; a blank or tab ending a line too.
    EXPECT_EQ(QuotedPrintable::encode("a\tb\x01 end \t"), Lines{"a=09b=01 end =09"});
}

TEST(QuotedPrintableTest, LineBreaksAndEmptyParagraphs)
{
    EXPECT_EQ(QuotedPrintable::encode("a\r\nb\n\nc\rd\n\re\r\n"), (Lines{"a", "b", "", "c", "d", "e", ""}));
    EXPECT_EQ(QuotedPrintable::encode(""), Lines{""});
    EXPECT_EQ(QuotedPrintable::encodeLines({"one", "", "three"}), (Lines{"one", "", "three"}));
    EXPECT_TRUE(QuotedPrintable::encodeLines({}).empty());
}

TEST(QuotedPrintableTest, NonAsciiIsCutByEncodedLengthWithoutSplittingCharacters)
{
    const std::string e = "\xC3\xA9";  // é
    const Lines lines = QuotedPrintable::encode(repeat(e, 40));
    EXPECT_EQ(lines, (Lines{repeat("=C3=A9", 12) + "=", repeat("=C3=A9", 12) + "=", repeat("=C3=A9", 12) + "=",
                            repeat("=C3=A9", 4)}));
    EXPECT_EQ(QuotedPrintable::encode(std::string(30, '=')), (Lines{repeat("=3D", 25) + "=", repeat("=3D", 5)}));
}

TEST(QuotedPrintableTest, ParagraphSizeLimit)
{
    EXPECT_NO_THROW(QuotedPrintable::encode(std::string(QuotedPrintable::kMaxParagraph, 'x')));
    try {
        QuotedPrintable::encode("short\r\n" + std::string(QuotedPrintable::kMaxParagraph + 1, 'x'));
        FAIL();
    } catch (const TolvanError& e) {
        EXPECT_STREQ(e.what(), "Paragraph is too large");
    }
}

// Random paragraphs of every byte value: no encoded line is longer than 76
// characters, and Python's quopri decodes each output back to the input.
TEST(QuotedPrintableTest, RandomTextStaysWithinLinesAndDecodesBack)
{
    std::mt19937 gen(20261208);
    const std::string alphabet = std::string("abc XYZ 019 =.\t") + "\xC3\xA9\xE2\x82\xAC";
    TempDir dir;
    const int cases = 150;
    std::vector<std::string> inputs;
    for (int c = 0; c < cases; ++c) {
        std::vector<std::string> paragraphs(1 + gen() % 4);
        for (auto& p : paragraphs) {
            const std::size_t len = gen() % 400;
            for (std::size_t i = 0; i < len; ++i) {
                if (gen() % 10 == 0) {
                    char b = static_cast<char>(gen() % 256);
                    if (b == '\r' || b == '\n')
                        b = ' ';
                    p += b;
                } else {
                    p += alphabet[gen() % alphabet.size()];
                }
            }
        }
        std::string input;
        std::string joined;
        for (std::size_t i = 0; i < paragraphs.size(); ++i) {
            input += (i ? "\r\n" : "") + paragraphs[i];
            joined += (i ? "\n" : "") + paragraphs[i];
        }
        std::string encoded;
        const Lines lines = QuotedPrintable::encode(input);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_LE(lines[i].size(), QuotedPrintable::kMaxLine) << lines[i];
            const char last = lines[i].empty() ? 'x' : lines[i].back();
            EXPECT_TRUE(last != ' ' && last != '\t') << lines[i];
            encoded += (i ? "\n" : "") + lines[i];
        }
        dir.write(std::to_string(c) + ".qp", encoded);
        inputs.push_back(joined);
    }
    runCapture({"/usr/bin/python3", "-c",
                "import quopri,sys\n"
                "for i in range(int(sys.argv[2])):\n"
                "    p=sys.argv[1]+'/'+str(i)\n"
                "    open(p+'.out','wb').write(quopri.decodestring(open(p+'.qp','rb').read()))\n",
                dir.path(), std::to_string(cases)});
    for (int c = 0; c < cases; ++c)
        EXPECT_EQ(dir.read(std::to_string(c) + ".out"), inputs[static_cast<std::size_t>(c)]) << "case " << c;
}
