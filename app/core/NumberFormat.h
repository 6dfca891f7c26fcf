#pragma once

// Qt
#include <QString>

// The desktop runtime's number formatting, as far as the program uses it.
namespace NumberFormat {

// General number format: up to 15 significant digits, no trailing zeros, so a whole
// number shows without a decimal point (100 shows as 100).
QString general(double value);

// A fixed number of decimals, like the patterns "0.0" and "0.00". The value is taken to
// 15 significant digits first and the last kept digit is then rounded half away from
// zero (2.675 shows as 2.68 with two decimals, -0.05 as -0.1 with one). Not-a-number
// shows as "NaN", infinities as "Infinity" and "-Infinity".
QString fixed(double value, int decimals);

} // namespace NumberFormat
