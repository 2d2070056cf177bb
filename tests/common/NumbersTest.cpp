#include "common/Numbers.h"
#include "common/ScriptError.h"

#include <gtest/gtest.h>

TEST(ParseNumeric, AcceptsTheRuntimesNumericTexts) {
    EXPECT_EQ(ParseNumeric("10.5"), 10.5);
    EXPECT_EQ(ParseNumeric("  -3 "), -3);
    EXPECT_EQ(ParseNumeric("+.5"), 0.5);
    EXPECT_EQ(ParseNumeric("1e3"), 1000);
    EXPECT_EQ(ParseNumeric("2D2"), 200);
    EXPECT_EQ(ParseNumeric("&H1F"), 31);
    EXPECT_EQ(ParseNumeric("&o17"), 15);
    EXPECT_EQ(ParseNumeric("1,024"), 1024);
}

TEST(ParseNumeric, RejectsEverythingElse) {
    for (const char* text :
         {"", " ", "abc", "1a", "e5", "1e", "--1", ".", "&H", "&HG", "12 px", ",5", "1.2.3"})
        EXPECT_FALSE(ParseNumeric(text).has_value()) << text;
}

TEST(RoundToInt32, RoundsHalvesToEven) {
    EXPECT_EQ(RoundToInt32(10.5), 10);
    EXPECT_EQ(RoundToInt32(11.5), 12);
    EXPECT_EQ(RoundToInt32(-2.5), -2);
    EXPECT_EQ(RoundToInt32(2.4999), 2);
    EXPECT_EQ(RoundToInt32(2147483647.4), 2147483647);
    EXPECT_EQ(RoundToInt32(-2147483648.0), -2147483647 - 1);
}

TEST(RoundToInt32, OverflowIsErrorSix) {
    for (double value : {99999999999.0, 2147483647.5, -2147483649.0}) {
        try {
            RoundToInt32(value);
            FAIL() << value;
        } catch (const ScriptError& error) {
            EXPECT_EQ(error.number(), 6);
        }
    }
    EXPECT_THROW(RoundToInt16(32767.5), ScriptError);
    EXPECT_EQ(RoundToInt16(-32768), -32768);
}

TEST(FormatNumber, WritesLikeTheRuntime) {
    EXPECT_EQ(FormatNumber(28.35), "28.35");
    EXPECT_EQ(FormatNumber(2 * 28.35), "56.7");
    EXPECT_EQ(FormatNumber(21 * 28.35), "595.35");
    EXPECT_EQ(FormatNumber(0.1 + 0.2), "0.3");
    EXPECT_EQ(FormatNumber(-12), "-12");
    EXPECT_EQ(FormatNumber(0), "0");
    EXPECT_EQ(FormatNumber(123456789012345.0), "123456789012345");
    EXPECT_EQ(FormatNumber(1e15), "1E+15");
    EXPECT_EQ(FormatNumber(0.0001), "0.0001");
    EXPECT_EQ(FormatNumber(0.00001), "1E-05");
    EXPECT_EQ(FormatNumber(1.5e-7), "1.5E-07");
}
