// Standard library
#include <cmath>
#include <limits>

// Ours
#include "NumberFormat.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    double value;
    int decimals;
    const char* expected;
};

TEST(NumberFormatTest, FixedRoundsHalvesAwayFromZero) {
    const Case cases[] = {
        {108.0, 1, "108.0"},
        {107.96, 1, "108.0"},
        {108.04, 1, "108.0"},
        {0.25, 1, "0.3"},
        {0.35, 1, "0.4"},
        {-0.25, 1, "-0.3"},
        {2.675, 2, "2.68"},
        {0.125, 2, "0.13"},
        {0.42, 2, "0.42"},
        {0.004, 2, "0.00"},
        {-0.004, 2, "0.00"},
        {9.96, 1, "10.0"},
        {99.995, 2, "100.00"},
        {255.0, 1, "255.0"},
        {0.0, 2, "0.00"},
        {1234567.891, 2, "1234567.89"},
        {1e-9, 2, "0.00"},
        {0.5, 0, "1"},
        {1e20, 1, "100000000000000000000.0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NumberFormat::fixed(c.value, c.decimals), QString::fromLatin1(c.expected))
            << c.value;
    }
}

TEST(NumberFormatTest, GeneralShowsWholeNumbersWithoutAPoint) {
    EXPECT_EQ(NumberFormat::general(100.0), QStringLiteral("100"));
    EXPECT_EQ(NumberFormat::general(-3.0), QStringLiteral("-3"));
    EXPECT_EQ(NumberFormat::general(0.0), QStringLiteral("0"));
    EXPECT_EQ(NumberFormat::general(-0.0), QStringLiteral("0"));
    EXPECT_EQ(NumberFormat::general(2.5), QStringLiteral("2.5"));
    EXPECT_EQ(NumberFormat::general(2147483648.0), QStringLiteral("2147483648"));
    EXPECT_EQ(NumberFormat::general(1e20), QStringLiteral("1E+20"));
    // Either side of the largest whole number shown with all its digits.
    EXPECT_EQ(NumberFormat::general(999999999999999.0), QStringLiteral("999999999999999"));
    EXPECT_EQ(NumberFormat::general(-999999999999999.0), QStringLiteral("-999999999999999"));
    EXPECT_EQ(NumberFormat::general(1e15), QStringLiteral("1E+15"));
    EXPECT_EQ(NumberFormat::general(123456789012345.5), QStringLiteral("123456789012346"));
}

TEST(NumberFormatTest, NonFiniteValuesAreNamed) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(NumberFormat::fixed(nan, 1), QStringLiteral("NaN"));
    EXPECT_EQ(NumberFormat::fixed(inf, 2), QStringLiteral("Infinity"));
    EXPECT_EQ(NumberFormat::fixed(-inf, 2), QStringLiteral("-Infinity"));
    EXPECT_EQ(NumberFormat::general(nan), QStringLiteral("NaN"));
    EXPECT_EQ(NumberFormat::general(-inf), QStringLiteral("-Infinity"));
    // The largest doubles still format in full.
    EXPECT_EQ(NumberFormat::fixed(std::numeric_limits<double>::max(), 1).size(), 311);
}

} // namespace
