// Ours
#include "LiveRecordRule.h"

#include <gtest/gtest.h>

namespace {

using LiveRecordRule::Clock;
using Verdict = DensityJudge::Verdict;
using namespace std::chrono_literals;

TEST(LiveRecordRuleTest, RecordsVerdictChangesAndNgFramesAtMostOnceASecond) {
    const Clock::time_point t0{};
    struct Case {
        const char* what;
        std::optional<Verdict> previous;
        Verdict verdict;
        Clock::duration sinceLastNg; // negative: no NG recorded yet
        bool recorded;
    };
    const Case cases[] = {
        {"first frame OK", std::nullopt, Verdict::OK, -1s, true},
        {"first frame NG", std::nullopt, Verdict::NG, -1s, true},
        {"OK stays OK", Verdict::OK, Verdict::OK, 5s, false},
        {"OK stays OK, no NG ever", Verdict::OK, Verdict::OK, -1s, false},
        {"OK turns NG just after an NG record", Verdict::OK, Verdict::NG, 10ms, true},
        {"NG turns OK", Verdict::NG, Verdict::OK, 10ms, true},
        {"NG stays NG within the second", Verdict::NG, Verdict::NG, 999ms, false},
        {"NG stays NG a second later", Verdict::NG, Verdict::NG, 1s, true},
        {"NG stays NG long after", Verdict::NG, Verdict::NG, 60s, true},
        {"NG stays NG, none recorded", Verdict::NG, Verdict::NG, -1s, true},
    };
    for (const Case& c : cases) {
        const Clock::time_point now = t0 + 100s;
        const std::optional<Clock::time_point> lastNg =
            c.sinceLastNg < 0s ? std::nullopt : std::optional(now - c.sinceLastNg);
        EXPECT_EQ(LiveRecordRule::shouldRecord(c.previous, c.verdict, now, lastNg), c.recorded)
            << c.what;
    }
}

} // namespace
