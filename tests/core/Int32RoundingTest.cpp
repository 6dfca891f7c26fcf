// Standard library
#include <limits>

// Ours
#include "Int32Rounding.h"
#include "RuntimeError.h"

#include <gtest/gtest.h>

namespace {

TEST(Int32RoundingTest, RoundsToNearestWithHalvesToEven) {
    const std::pair<double, std::int32_t> cases[] = {
        {100.0, 100},
        {2.5, 2},
        {3.5, 4},
        {-2.5, -2},
        {-3.5, -4},
        {2.4999, 2},
        {2.5001, 3},
        {-0.5, 0},
        {2147483647.4, 2147483647},
        {-2147483648.5, std::numeric_limits<std::int32_t>::min()},
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(Int32Rounding::toNearestEven(value), expected) << value;
    }
}

TEST(Int32RoundingTest, OutsideTheRangeIsAnOverflowError) {
    for (const double value :
         {2147483647.5, 2147483648.0, -2147483648.6, 1e300, std::numeric_limits<double>::infinity(),
          std::numeric_limits<double>::quiet_NaN()}) {
        try {
            Int32Rounding::toNearestEven(value);
            ADD_FAILURE() << value << " converted";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), RuntimeError::Overflow);
            EXPECT_EQ(e.description(), QStringLiteral("Overflow"));
        }
    }
}

} // namespace
