#include "util/ServerText.h"

#include <gtest/gtest.h>

using namespace tolvan;

TEST(ServerText, EveryControlByteBecomesABlankAndEverythingElseStays)
{
    std::string all;
    for (int c = 0; c < 256; ++c)
        all += static_cast<char>(c);
    const std::string clean = cleanServerText(all);
    ASSERT_EQ(clean.size(), 256u);
    for (int c = 0; c < 256; ++c) {
        const bool control = c < 0x20 || c == 0x7F;
        EXPECT_EQ(static_cast<unsigned char>(clean[c]), control ? ' ' : c) << c;
    }
    EXPECT_EQ(cleanServerText("404 Nicht gefunden \xC3\xBC"), "404 Nicht gefunden \xC3\xBC");
}
