// Standard library
#include <limits>

// Ours
#include "DensityJudge.h"

#include <gtest/gtest.h>

namespace {

TEST(DensityJudgeTest, OkStrictlyInsideTheLimitsOnTheUnroundedAverage) {
    struct Case {
        const char* standard;
        const char* tolerance;
        double average;
        bool ok;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {"128", "20", 108.0, false},     {"128", "20", 148.0, false},
        {"128", "20", 108.1, true},      {"128", "20", 147.9, true},
        {"128", "20", 107.96, false},    {"128", "20", 108.04, true},
        {"128", "20", nan, false},       {"128", "-20", 128.0, false},
        {"128", "0", 128.0, false},      {"abc", "20", 19.9, true},
        {"abc", "20", 20.0, false},      {"12abc", "1", 12.5, true},
        {"1 28", "1", 128.5, true},      {"&H80", "1", 128.0, true},
        {"1e400", "20", 1e300, false},   {"0", "1e400", 255.0, true},
        {"1e400", "1e400", 0, false},    {"0", "1e400", infinity, false},
        {"-1e400", "20", -1e300, false}, {"", "", 0.0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.standard << " ± " << c.tolerance << " : " << c.average);
        const DensityJudge::Verdict verdict = DensityJudge::judge(
            QString::fromLatin1(c.standard), QString::fromLatin1(c.tolerance), c.average);
        EXPECT_EQ(verdict, c.ok ? DensityJudge::Verdict::OK : DensityJudge::Verdict::NG);
    }
}

} // namespace
