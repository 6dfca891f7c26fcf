#include "LenientNumber.h"

// Standard library
#include <cerrno>
#include <cstdlib>
#include <string>

namespace {

bool isSkipped(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n');
}

// The text without the characters Val skips, so "1 28" reads as "128".
QString compacted(const QString& text) {
    QString kept;
    kept.reserve(text.size());
    for (const QChar c : text) {
        if (!isSkipped(c)) {
            kept.append(c);
        }
    }
    return kept;
}

bool isAsciiDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isSign(QChar c) {
    return c == QLatin1Char('+') || c == QLatin1Char('-');
}

int digitValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') {
        return u - u'0';
    }
    if (u >= u'a' && u <= u'f') {
        return u - u'a' + 10;
    }
    if (u >= u'A' && u <= u'F') {
        return u - u'A' + 10;
    }
    return -1;
}

double readRadix(const QString& digits, int radix) {
    double value = 0.0;
    for (const QChar c : digits) {
        const int digit = digitValue(c);
        if (digit < 0 || digit >= radix) {
            break;
        }
        value = value * radix + digit;
    }
    return value;
}

// Appends the ASCII digits starting at `i` to `out`; returns how many there were.
qsizetype takeDigits(const QString& s, qsizetype& i, std::string& out) {
    const qsizetype first = i;
    while (i < s.size() && isAsciiDigit(s[i])) {
        out += static_cast<char>(s[i].unicode());
        ++i;
    }
    return i - first;
}

} // namespace

double LenientNumber::read(const QString& text) {
    const QString s = compacted(text);

    if (s.size() >= 2 && s[0] == QLatin1Char('&')) {
        const QChar prefix = s[1].toUpper();
        if (prefix == QLatin1Char('H')) {
            return readRadix(s.mid(2), 16);
        }
        if (prefix == QLatin1Char('O')) {
            return readRadix(s.mid(2), 8);
        }
        return 0.0;
    }

    qsizetype i = 0;
    std::string sign;
    if (i < s.size() && isSign(s[i])) {
        sign = static_cast<char>(s[i].unicode());
        ++i;
    }
    std::string digits;
    qsizetype digitCount = takeDigits(s, i, digits);
    qsizetype fractionDigits = 0;
    if (i < s.size() && s[i] == QLatin1Char('.')) {
        ++i;
        fractionDigits = takeDigits(s, i, digits);
        digitCount += fractionDigits;
    }
    if (digitCount == 0) {
        return 0.0;
    }

    long long exponent = 0;
    if (i < s.size() &&
        (s[i].toUpper() == QLatin1Char('E') || s[i].toUpper() == QLatin1Char('D'))) {
        qsizetype j = i + 1;
        std::string exponentText;
        if (j < s.size() && isSign(s[j])) {
            exponentText = static_cast<char>(s[j].unicode());
            ++j;
        }
        if (takeDigits(s, j, exponentText) > 0) {
            errno = 0;
            exponent = std::strtoll(exponentText.c_str(), nullptr, 10);
            // Far beyond any double either way; keeps the sum below from overflowing.
            constexpr long long kBeyondAnyDouble = 100000;
            if (errno == ERANGE || exponent > kBeyondAnyDouble || exponent < -kBeyondAnyDouble) {
                exponent = exponent < 0 ? -kBeyondAnyDouble : kBeyondAnyDouble;
            }
        }
    }

    // strtod gets the digits without a decimal point ("12.5e3" as "125e2") so that the
    // locale's decimal point never matters; out of range it gives an infinity or zero.
    const std::string plain = sign + digits + "e" + std::to_string(exponent - fractionDigits);
    return std::strtod(plain.c_str(), nullptr);
}
