// Standard library
#include <random>
#include <vector>

// Qt
#include <QDateTime>
#include <QSet>
#include <QTimeZone>

// Ours
#include "ControlChartRules.h"
#include "TimeAxisFormat.h"

#include <gtest/gtest.h>

namespace {

using ControlChartRules::Break;
using ControlChartRules::Rule;

// Centre 0 and sigma 1, so that the values read in sigmas.
ControlChartRules::Limits unitLimits() {
    ControlChartRules::Limits limits;
    limits.centre = 0;
    limits.sigma = 1;
    limits.movingRange = 1.128;
    return limits;
}

// The four tests for unnatural patterns of the Western Electric "Statistical Quality
// Control Handbook" (1956), each on a sequence built to show it and one built to come just
// short of it. The point marked is the one that completes the pattern.
TEST(ControlChartRulesTest, WesternElectricRules) {
    struct Case {
        const char* name;
        std::vector<double> values;
        std::vector<Break> expected;
    };
    const Case cases[] = {
        {"one beyond 3 sigma, either side",
         {0.5, 3.2, -0.5, -3.1},
         {{1, Rule::BeyondThreeSigma}, {3, Rule::BeyondThreeSigma}}},
        {"exactly 3 sigma is not beyond", {0.5, 3.0, -3.0}, {}},
        {"2 of 3 beyond 2 sigma on one side",
         {0.1, 2.5, 0.3, 2.2},
         {{3, Rule::TwoOfThreeBeyondTwo}}},
        {"2 of 3 beyond 2 sigma on opposite sides", {0.1, 2.5, -2.5, 0.2}, {}},
        {"2 of 4 beyond 2 sigma is not 2 of 3", {2.5, 0.1, 0.2, 2.5}, {}},
        {"4 of 5 beyond 1 sigma on one side",
         {-1.5, -1.2, 0.3, -1.1, -1.8},
         {{4, Rule::FourOfFiveBeyondOne}}},
        {"3 of 5 beyond 1 sigma", {-1.5, -1.2, 0.3, -0.1, -1.8}, {}},
        {"8 in a row on one side",
         {0.2, 0.4, 0.1, 0.9, 0.3, 0.5, 0.2, 0.6, -0.1},
         {{7, Rule::EightOnOneSide}}},
        {"7 in a row and a point on the centre line", {0.2, 0.4, 0.1, 0.9, 0.3, 0.5, 0.2, 0.0}, {}},
        {"one point breaking three rules",
         {1.5, 1.2, 1.4, 1.1, 0.5, 2.4, 0.3, 3.5},
         {{5, Rule::FourOfFiveBeyondOne},
          {7, Rule::BeyondThreeSigma},
          {7, Rule::TwoOfThreeBeyondTwo},
          {7, Rule::EightOnOneSide}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ControlChartRules::breaks(c.values, unitLimits()), c.expected);
    }
}

TEST(ControlChartRulesTest, LimitsFromTheAverageMovingRange) {
    const std::vector<double> x{10, 12, 11, 15, 13};
    QString reason;
    const auto limits = ControlChartRules::limitsFrom(x, &reason);
    ASSERT_TRUE(limits);
    const double mrBar = (2 + 1 + 4 + 2) / 4.0;
    EXPECT_DOUBLE_EQ(limits->centre, 12.2);
    EXPECT_DOUBLE_EQ(limits->movingRange, mrBar);
    EXPECT_DOUBLE_EQ(limits->sigma, mrBar / 1.128);
    EXPECT_DOUBLE_EQ(limits->upper(), 12.2 + 3 * mrBar / 1.128);
    EXPECT_DOUBLE_EQ(limits->movingRangeUpper(), 3.267 * mrBar);
    EXPECT_EQ(ControlChartRules::movingRanges(x), (std::vector<double>{2, 1, 4, 2}));

    EXPECT_FALSE(ControlChartRules::limitsFrom(std::vector<double>{10}, &reason));
    EXPECT_FALSE(reason.isEmpty());
    EXPECT_FALSE(ControlChartRules::limitsFrom(std::vector<double>{10, 10, 10}, &reason));
}

// The early alarm sees a value as the chart of the whole sequence would.
TEST(ControlChartRulesTest, TheNewestValueBreaksWhatTheWholeChartMarksAtIt) {
    std::mt19937 random(26);
    std::normal_distribution<double> noise(0.0, 1.0);
    std::vector<double> x;
    for (int i = 0; i < 3000; ++i) {
        x.push_back(noise(random) + (i > 2000 ? 0.002 * (i - 2000) : 0.0)); // then a drift
    }
    const auto all = ControlChartRules::breaks(x, unitLimits());
    ASSERT_FALSE(all.empty());
    std::size_t next = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        std::vector<Rule> expected;
        for (; next < all.size() && all[next].index == i; ++next) {
            expected.push_back(all[next].rule);
        }
        const std::span<const double> seen(x.data(), i + 1);
        ASSERT_EQ(ControlChartRules::breaksOfNewest(seen, unitLimits()), expected) << i;
    }
    EXPECT_TRUE(ControlChartRules::breaksOfNewest({}, unitLimits()).empty());
}

// A drifting process raises the alarm before its first NG: limits frozen on a settled
// baseline around the standard 128 (band 108 to 148), then a slow drift upwards.
TEST(ControlChartRulesTest, ADriftAlarmsBeforeTheFirstNg) {
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0.0, 1.5);
    std::vector<double> baseline;
    for (int i = 0; i < 100; ++i) {
        baseline.push_back(128 + noise(random));
    }
    const auto limits = ControlChartRules::limitsFrom(baseline);
    ASSERT_TRUE(limits);
    std::vector<double> live;
    int alarm = -1;
    int firstNg = -1;
    for (int i = 0; i < 400 && firstNg < 0; ++i) {
        live.push_back(128 + 0.1 * i + noise(random));
        if (alarm < 0 && !ControlChartRules::breaksOfNewest(live, *limits).empty()) {
            alarm = i;
        }
        if (live.back() >= 148) {
            firstNg = i;
        }
    }
    ASSERT_GE(firstNg, 0);
    ASSERT_GE(alarm, 0);
    EXPECT_LT(alarm, firstNg - 50); // well before: the operator has time to act
}

// Ticks a fine distance apart show the finer parts of the time, so labels never repeat.
TEST(TimeAxisFormatTest, LabelsShowWhatTheSpacingNeeds) {
    struct Case {
        double spacingMs;
        const char* format;
    };
    const Case cases[] = {{250, "HH:mm:ss.zzz"},   {999, "HH:mm:ss.zzz"},  {1000, "HH:mm:ss"},
                          {15000, "HH:mm:ss"},     {60000, "MM-dd HH:mm"}, {3600000, "MM-dd HH:mm"},
                          {86400000, "yyyy-MM-dd"}};
    for (const Case& c : cases) {
        EXPECT_EQ(TimeAxisFormat::forSpacing(c.spacingMs), QString::fromLatin1(c.format))
            << c.spacingMs;
    }
    // Four ticks 15 s apart are four different labels.
    const QDateTime start = QDateTime::fromMSecsSinceEpoch(1767225600000LL, QTimeZone::utc());
    QSet<QString> labels;
    for (int i = 0; i < 4; ++i) {
        labels.insert(start.addSecs(15 * i).toString(TimeAxisFormat::forSpacing(15000)));
    }
    EXPECT_EQ(labels.size(), 4);
}

} // namespace
