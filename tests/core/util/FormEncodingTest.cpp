#include "util/FormEncoding.h"

#include <gtest/gtest.h>

using tolvan::formEncode;

TEST(FormEncoding, SeparatorsAndBlanksCannotSplitOrBreakAField)
{
    EXPECT_EQ(formEncode("Tom & Jerry=best?"), "Tom+%26+Jerry%3Dbest%3F");
    EXPECT_EQ(formEncode("a+b%c/d"), "a%2Bb%25c%2Fd");
    EXPECT_EQ(formEncode("line\r\nbreak"), "line%0D%0Abreak");
}

TEST(FormEncoding, UnreservedTextStaysAndUtf8IsEncodedBytewise)
{
    EXPECT_EQ(formEncode("Az09-_.*"), "Az09-_.*");
    EXPECT_EQ(formEncode("~user"), "%7Euser");
    EXPECT_EQ(formEncode("Grüße"), "Gr%C3%BC%C3%9Fe");
    EXPECT_EQ(formEncode(""), "");
}
