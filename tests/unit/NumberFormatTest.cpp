#include "base/NumberFormat.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(FormatReal, FixedNotationDropsTrailingZeros) {
    EXPECT_EQ(FormatReal(0), "0");
    EXPECT_EQ(FormatReal(8), "8");
    EXPECT_EQ(FormatReal(1.5), "1.5");
    EXPECT_EQ(FormatReal(0.12), "0.12");
    EXPECT_EQ(FormatReal(-2.5), "-2.5");
    EXPECT_EQ(FormatReal(1234.5678), "1234.5678");
    EXPECT_EQ(FormatReal(0.0001), "0.0001");
    EXPECT_EQ(FormatReal(100.0 * 0.01), "1");
}

TEST(FormatReal, RoundsTo15SignificantDigits) {
    EXPECT_EQ(FormatReal(0.1 + 0.2), "0.3");
    EXPECT_EQ(FormatReal(1.0 / 3), "0.333333333333333");
    EXPECT_EQ(FormatReal(2.0 / 3), "0.666666666666667");
    EXPECT_EQ(FormatReal(123456789012345.0), "123456789012345");
    EXPECT_EQ(FormatReal(0.99999999999999989), "1");
    EXPECT_EQ(FormatReal(99999.999999999999e-20), "1E-15");
}

TEST(FormatReal, ScientificOutsideTheFixedRange) {
    EXPECT_EQ(FormatReal(1e15), "1E15");
    EXPECT_EQ(FormatReal(1234567890123456.0), "1.23456789012346E15");
    EXPECT_EQ(FormatReal(0.00001), "1E-5");
    EXPECT_EQ(FormatReal(0.000015), "1.5E-5");
    EXPECT_EQ(FormatReal(-2.5e-300), "-2.5E-300");
}

TEST(FormatReal, UsesTheGivenDecimalSeparator) {
    EXPECT_EQ(FormatReal(1.5, ','), "1,5");
    EXPECT_EQ(FormatReal(0.000015, ','), "1,5E-5");
    EXPECT_EQ(FormatReal(3, ','), "3");
}

TEST(FormatIntegers, DecimalAndHex) {
    EXPECT_EQ(FormatDecimal(-2147483648LL), "-2147483648");
    EXPECT_EQ(FormatDecimal(0), "0");
    EXPECT_EQ(FormatHex(0x0E, 2), "0E");
    EXPECT_EQ(FormatHex(0xAB, 2), "AB");
    EXPECT_EQ(FormatHex(0x1234, 2), "1234");
    EXPECT_EQ(FormatHex(0xBEEF, 4), "BEEF");
}

} // namespace
} // namespace quillet
