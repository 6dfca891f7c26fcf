#include "NumberFormat.h"

// Standard library
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace {

constexpr int kSignificantDigits = 15;

QString nonFinite(double value) {
    if (std::isnan(value)) {
        return QStringLiteral("NaN");
    }
    return value < 0 ? QStringLiteral("-Infinity") : QStringLiteral("Infinity");
}

} // namespace

QString NumberFormat::general(double value) {
    if (!std::isfinite(value)) {
        return nonFinite(value);
    }
    if (value == 0.0) {
        return QStringLiteral("0");
    }
    // A whole number below 10^15 shows all its digits; the circle's values always do.
    if (std::fabs(value) < 1e15 && value == std::trunc(value)) {
        return QString::number(static_cast<qint64>(value));
    }
    return QString::number(value, 'g', kSignificantDigits).toUpper();
}

QString NumberFormat::fixed(double value, int decimals) {
    if (!std::isfinite(value)) {
        return nonFinite(value);
    }
    if (decimals < 0) {
        decimals = 0;
    }

    // "d.dddddddddddddde±x": 15 significant decimal digits of the value.
    char buffer[64];
    const std::to_chars_result written =
        std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                      std::chars_format::scientific, kSignificantDigits - 1);
    const std::string scientific(buffer, written.ptr);
    const std::size_t ePos = scientific.find('e');
    std::string digits = scientific.substr(0, 1) + scientific.substr(2, ePos - 2);
    const int exponent = std::atoi(scientific.c_str() + ePos + 1);

    // Position of the decimal point within `digits`, and the number of digits to keep.
    int pointAt = exponent + 1;
    if (pointAt < 0) {
        digits.insert(0, static_cast<std::size_t>(-pointAt), '0');
        pointAt = 0;
    }
    const int keep = pointAt + decimals;
    if (static_cast<int>(digits.size()) < keep + 1) {
        digits.append(static_cast<std::size_t>(keep + 1 - static_cast<int>(digits.size())), '0');
    }
    const bool roundUp = digits[static_cast<std::size_t>(keep)] >= '5';
    digits.resize(static_cast<std::size_t>(keep));
    if (roundUp) {
        int i = keep - 1;
        while (i >= 0 && digits[static_cast<std::size_t>(i)] == '9') {
            digits[static_cast<std::size_t>(i)] = '0';
            --i;
        }
        if (i >= 0) {
            ++digits[static_cast<std::size_t>(i)];
        } else {
            digits.insert(0, 1, '1');
            ++pointAt;
        }
    }

    std::string integerPart = digits.substr(0, static_cast<std::size_t>(pointAt));
    const std::string fractionPart = digits.substr(static_cast<std::size_t>(pointAt));
    const std::size_t firstNonZero = integerPart.find_first_not_of('0');
    integerPart = firstNonZero == std::string::npos ? "0" : integerPart.substr(firstNonZero);

    std::string text = integerPart;
    if (decimals > 0) {
        text += '.' + fractionPart;
    }
    const bool allZero = text.find_first_not_of("0.") == std::string::npos;
    if (value < 0 && !allZero) {
        text.insert(0, 1, '-');
    }
    return QString::fromStdString(text);
}
