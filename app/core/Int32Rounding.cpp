#include "Int32Rounding.h"

// Standard library
#include <cmath>
#include <limits>

// Ours
#include "RuntimeError.h"

std::int32_t Int32Rounding::toNearestEven(double value) {
    // Explicit ties-to-even, independent of the floating-point rounding mode in force.
    double rounded = std::floor(value);
    const double rest = value - rounded;
    if (rest > 0.5 || (rest == 0.5 && std::fmod(rounded, 2.0) != 0.0)) {
        rounded += 1.0;
    }
    constexpr double lowest = std::numeric_limits<std::int32_t>::min();
    constexpr double highest = std::numeric_limits<std::int32_t>::max();
    if (!(rounded >= lowest && rounded <= highest)) {
        throw RuntimeError(RuntimeError::Overflow, QStringLiteral("Overflow"));
    }
    return static_cast<std::int32_t>(rounded);
}
