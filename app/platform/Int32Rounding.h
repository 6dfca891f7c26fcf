#pragma once

// Standard library
#include <cstdint>

// Conversion of a double to a 32-bit integer as the desktop runtime does it for the
// circle's values: to nearest, halves to even (2.5 gives 2, 3.5 gives 4).
class Int32Rounding {
public:
    // Throws RuntimeError(Overflow) when the rounded value lies outside the 32-bit range
    // or the value is not a number.
    static std::int32_t toNearestEven(double value);
};
