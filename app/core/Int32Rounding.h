#pragma once

// Standard library
#include <cstdint>

// Conversion of a double to a 32-bit integer as the desktop runtime does it for the
// circle's values: to nearest, halves to even (2.5 gives 2, 3.5 gives 4).
namespace Int32Rounding {

// Throws RuntimeError(Overflow) when the rounded value lies outside the 32-bit range
// or the value is not a number.
std::int32_t toNearestEven(double value);

} // namespace Int32Rounding
