// Standard library
#include <cmath>

// Ours
#include "LenientNumber.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const char* text;
    double expected;
};

TEST(LenientNumberTest, ReadsTheLeadingNumberSkippingBlanksAnywhere) {
    const Case cases[] = {
        {"128", 128},     {"abc", 0},     {"12abc", 12},    {"1 28", 128},      {"\t1\n2 8 ", 128},
        {"", 0},          {"  -20", -20}, {"+ 7", 7},       {"-", 0},           {".", 0},
        {".5", 0.5},      {"5.", 5},      {"1.25.7", 1.25}, {"108.04", 108.04}, {"1e3", 1000},
        {"2.5E-1", 0.25}, {"1d2", 100},   {"1e", 1},        {"1e+", 1},         {"3e2x", 300},
        {"1,5", 1},       {"&H1F", 31},   {"&hff", 255},    {"&O17", 15},       {"&o78", 7},
        {"&H", 0},        {"&X12", 0},    {"&HG", 0},       {"--5", 0},         {"1 e 2", 100},
        {"００", 0},      {"1\r28", 1},   {"\r12", 0},      {"12\r\n", 12},     {"1\n\r2", 1},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(LenientNumber::read(QString::fromUtf8(c.text)), c.expected) << c.text;
    }
}

TEST(LenientNumberTest, NumbersBeyondTheDoubleRangeSaturate) {
    EXPECT_EQ(LenientNumber::read(QStringLiteral("1e400")), HUGE_VAL);
    EXPECT_EQ(LenientNumber::read(QStringLiteral("-1e99999999999999999999")), -HUGE_VAL);
    EXPECT_EQ(LenientNumber::read(QStringLiteral("1e-99999999999999999999")), 0.0);
    EXPECT_EQ(LenientNumber::read(QString(400, QLatin1Char('9'))), HUGE_VAL);
    // A long fraction is no overflow.
    EXPECT_DOUBLE_EQ(LenientNumber::read(QStringLiteral("0.") + QString(500, QLatin1Char('3'))),
                     1.0 / 3.0);
}

} // namespace
