// Standard library
#include <cmath>
#include <functional>
#include <optional>
#include <random>

// Ours
#include "DriftAlarm.h"
#include "JudgementRules.h"

#include <gtest/gtest.h>

namespace {

Judgement judged(double mean, double standard = 128, double tolerance = 20) {
    Judgement judgement;
    CircleJudgement circle;
    circle.name = QStringLiteral("1");
    circle.mean = mean;
    circle.standard = standard;
    circle.tolerance = tolerance;
    circle.verdict = JudgementRules::verdictOf(standard, tolerance, mean);
    judgement.circles.push_back(circle);
    return judgement;
}

// Runs `count` results after a noisy baseline around 128; the index of the first alarm and of
// the first NG, if any.
struct Outcome {
    std::optional<int> firstAlarm;
    std::optional<int> firstNg;
};
Outcome drift(const std::function<double(int)>& afterBaseline, int count) {
    DriftAlarm alarm;
    std::mt19937 noise(7);
    std::uniform_real_distribution<double> jitter(-1.0, 1.0);
    for (int i = 0; i < DriftAlarm::kBaselineResults; ++i) {
        EXPECT_TRUE(alarm.feed(judged(128 + jitter(noise))).empty());
    }
    EXPECT_TRUE(alarm.watching());
    Outcome result;
    for (int i = 0; i < count; ++i) {
        const Judgement judgement = judged(afterBaseline(i) + jitter(noise));
        if (!alarm.feed(judgement).empty() && !result.firstAlarm) {
            result.firstAlarm = i;
        }
        if (judgement.partVerdict() == Verdict::NG && !result.firstNg) {
            result.firstNg = i;
        }
    }
    return result;
}

TEST(DriftAlarmTest, ADriftAlarmsLongBeforeItsFirstNg) {
    const struct {
        const char* what;
        std::function<double(int)> value;
        bool alarms;
    } cases[] = {
        {"steady", [](int) { return 128.0; }, false},
        {"a slow drift upward", [](int i) { return 128.0 + 0.25 * i; }, true},
        {"a slow drift downward", [](int i) { return 128.0 - 0.25 * i; }, true},
        {"a step that stays OK", [](int i) { return i < 10 ? 128.0 : 136.0; }, true},
    };
    for (const auto& c : cases) {
        const Outcome result = drift(c.value, 200);
        EXPECT_EQ(result.firstAlarm.has_value(), c.alarms) << c.what;
        if (result.firstNg) {
            ASSERT_TRUE(result.firstAlarm) << c.what;
            EXPECT_LT(*result.firstAlarm + 10, *result.firstNg) << c.what;
        }
    }
}

TEST(DriftAlarmTest, EachCircleAndEachPairOfLimitsHasItsOwnBaseline) {
    DriftAlarm alarm;
    for (int i = 0; i < DriftAlarm::kBaselineResults; ++i) {
        alarm.feed(judged(128 + (i % 2)));
    }
    EXPECT_TRUE(alarm.watching());
    // New limits: a new process, its baseline taken afresh and no alarm meanwhile.
    EXPECT_TRUE(alarm.feed(judged(60, 60, 5)).empty());
    EXPECT_FALSE(alarm.watching());
    // The first process, far beyond its limits: rule 1.
    const std::vector<DriftAlarm::Alarm> alarms = alarm.feed(judged(140));
    ASSERT_EQ(alarms.size(), 1u);
    EXPECT_EQ(alarms[0].circle, QStringLiteral("1"));
    EXPECT_EQ(ControlChartRules::number(alarms[0].rules.front()), 1);
}

TEST(DriftAlarmTest, AStillImageNeverFreezesABaselineWithoutSpread) {
    DriftAlarm alarm;
    for (int i = 0; i < 10 * DriftAlarm::kBaselineResults; ++i) {
        EXPECT_TRUE(alarm.feed(judged(128)).empty());
    }
    EXPECT_FALSE(alarm.watching());
    // Once the results vary, the newest ones make the baseline.
    for (int i = 0; i < DriftAlarm::kBaselineResults; ++i) {
        alarm.feed(judged(128 + (i % 3)));
    }
    EXPECT_TRUE(alarm.watching());
}

} // namespace
