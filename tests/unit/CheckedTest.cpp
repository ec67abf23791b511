#include "base/Checked.h"

#include <gtest/gtest.h>

#include <limits>

namespace quillet {
namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

TEST(Checked, ArithmeticAtTheEdgesOf32Bits) {
    EXPECT_EQ(CheckedAdd(kMax - 1, 1), kMax);
    EXPECT_THROW(CheckedAdd(kMax, 1), EIntOverflow);
    EXPECT_THROW(CheckedAdd(kMin, -1), EIntOverflow);
    EXPECT_EQ(CheckedSub(0, kMax), kMin + 1);
    EXPECT_THROW(CheckedSub(kMin, 1), EIntOverflow);
    EXPECT_EQ(CheckedMul(268435455, 8), 2147483640);
    EXPECT_THROW(CheckedMul(268435456, 8), EIntOverflow);
    EXPECT_THROW(CheckedMul(kMin, -1), EIntOverflow);
    EXPECT_EQ(CheckedDiv(-7, 2), -3);
    EXPECT_THROW(CheckedDiv(1, 0), EDivByZero);
    EXPECT_THROW(CheckedDiv(kMin, -1), EIntOverflow);
}

TEST(Checked, RangeChecks) {
    EXPECT_EQ(RangeChecked<std::uint8_t>(255), 255);
    EXPECT_THROW(RangeChecked<std::uint8_t>(256), ERangeError);
    EXPECT_THROW(RangeChecked<std::uint8_t>(-1), ERangeError);
    EXPECT_THROW(RangeChecked<std::uint16_t>(70000), ERangeError);
    EXPECT_EQ(RangeChecked(100, 0, 100), 100);
    EXPECT_THROW(RangeChecked(101, 0, 100), ERangeError);
}

TEST(Exceptions, CarryTheClassLibraryMessages) {
    EXPECT_EQ(EIntOverflow().Message(), "Integer overflow");
    EXPECT_EQ(ERangeError().Message(), "Range check error");
    EXPECT_EQ(EDivByZero().Message(), "Division by zero");
    EXPECT_EQ(EReadError().Message(), "Stream read error");
    EXPECT_EQ(EWriteError().Message(), "Stream write error");
    EXPECT_STREQ(EFOpenError("x.ini").what(), "Cannot open file x.ini");
}

} // namespace
} // namespace quillet
