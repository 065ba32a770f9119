#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "storage/BigIniFile.h"
#include "storage/IniText.h"
#include "util/Errors.h"

using namespace tolvan;
using tolvan::test::TempDir;

// IniText reads exactly what BigIniFile reads: the same texts, looked up with
// the same names, give the same values.
TEST(IniText, AnswersAsBigIniFileDoes)
{
    const std::string longValue(300, 'v');
    const std::vector<std::string> texts = {
        "[Fields]\r\nURL=url\r\nTitle=t\r\n\r\n[SITE]\r\nACTION=http://a/\r\nMETHOD=POST\r\n",
        "\xEF\xBB\xBFkey=before any header\r\n[fields]\nurl=lf only\n[FIELDS]\nurl=duplicate section\n",
        "[A]\rk=lone CR\r[a]\rk=dropped\r[B]\r\nk=first\r\nK=second\r\nk2=x=y\r\n",
        "[A]\r\nk=cut at the mark\x1A\r\n[B]\r\nk=gone\r\n",
        "[A]\r\nlong=" + longValue + "\r\n[" + std::string(260, 's') + "]\r\nk=long section\r\n",
        "[Caf\xE9]\r\nn\xE9=Windows-1252\r\n",                   // not UTF-8: read as Windows-1252
        "[Caf\xC3\xA9]\r\nN\xC3\x89=UTF-8 \xC3\xA9\r\n[]\r\n=empty key\r\nnoequals\r\n",
    };
    const std::vector<std::pair<std::string, std::string>> queries = {
        {"Fields", "URL"}, {"fields", "title"}, {"SITE", "ACTION"}, {"site", "method"}, {"A", "k"},
        {"B", "k"},        {"B", "k2"},         {"A", "long"},      {std::string(258, 's'), "k"},
        {"CAF\xC3\x89", "n\xC3\xA9"}, {"caf\xC3\xA9", "n\xC3\xA9"}, {"", ""}, {"Missing", "k"}, {"A", "missing"},
    };
    TempDir dir;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        dir.write("f.tlx", texts[i]);
        const BigIniFile big(dir.file("f.tlx"));
        IniText loaded, parsed;
        ASSERT_TRUE(loaded.load(dir.file("f.tlx")));
        parsed.parse(texts[i]);
        for (const auto& [section, key] : queries) {
            const std::string expected = big.ReadString(section, key, "");
            EXPECT_EQ(loaded.value(section, key), expected) << "text " << i << " [" << section << "] " << key;
            EXPECT_EQ(parsed.value(section, key), expected) << "text " << i << " [" << section << "] " << key;
        }
        // All the keys of a section in one pass answer as one look-up each, a key asked twice
        // and a key longer than a line included.
        for (const auto& [section, unused] : queries) {
            std::vector<std::string_view> keys;
            for (const auto& [s, key] : queries)
                keys.push_back(key);
            keys.push_back("k");
            const std::string longKey = "long" + std::string(300, 'x');
            keys.push_back(longKey);
            std::vector<std::string_view> found(keys.size(), "stale");
            loaded.values(section, keys, found);
            for (std::size_t k = 0; k < keys.size(); ++k)
                EXPECT_EQ(found[k], big.ReadString(section, std::string(keys[k]), ""))
                    << "text " << i << " [" << section << "] " << keys[k];
        }
    }
}

// More keys than one pass takes: every one still gets the first line of its name.
TEST(IniText, ManyKeysInOnePass)
{
    std::string text = "[ExtraFields]\r\n";
    std::vector<std::string> names;
    for (int i = 100; i >= 1; --i)
        text += "extra" + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
    text += "Extra7=second\r\nExtra70=\r\n";
    IniText ini;
    ini.parse(text);
    for (int i = 1; i <= 130; ++i)
        names.push_back("Extra" + std::to_string(i));
    const std::vector<std::string_view> keys(names.begin(), names.end());
    std::vector<std::string_view> found(keys.size());
    ini.values("EXTRAFIELDS", keys, found);
    for (int i = 1; i <= 130; ++i)
        EXPECT_EQ(found[i - 1], i <= 100 ? std::to_string(i) : "") << names[i - 1];
}

TEST(IniText, LoadsWholeFilesAndTellsMissingOnesApart)
{
    TempDir dir;
    IniText ini;
    EXPECT_FALSE(ini.load(dir.file("none.tlx")));
    EXPECT_FALSE(ini.load(dir.file("none/deeper.tlx")));
    dir.write("sub/x", "");
    EXPECT_FALSE(ini.load(dir.file("sub")));  // a directory is no file
    EXPECT_EQ(ini.value("A", "k"), "");

    // Bigger than one read, then a small file into the same object.
    std::string big = "[A]\r\n";
    for (int i = 0; i < 3000; ++i)
        big += "key" + std::to_string(i) + "=value " + std::to_string(i) + "\r\n";
    dir.write("big.tlx", big);
    ASSERT_TRUE(ini.load(dir.file("big.tlx")));
    EXPECT_EQ(ini.value("a", "KEY2999"), "value 2999");
    dir.write("small.tlx", "[B]\r\nk=v\r\n");
    ASSERT_TRUE(ini.load(dir.file("small.tlx")));
    EXPECT_EQ(ini.value("B", "k"), "v");
    EXPECT_EQ(ini.value("A", "key1"), "");
}
