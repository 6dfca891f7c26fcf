#include "TimeAxisFormat.h"

namespace TimeAxisFormat {

QString forSpacing(double spacingMs) {
    constexpr double kSecond = 1000;
    constexpr double kMinute = 60 * kSecond;
    constexpr double kDay = 24 * 60 * kMinute;
    if (spacingMs < kSecond) {
        return QStringLiteral("HH:mm:ss.zzz");
    }
    if (spacingMs < kMinute) {
        return QStringLiteral("HH:mm:ss");
    }
    if (spacingMs < kDay) {
        return QStringLiteral("MM-dd HH:mm");
    }
    return QStringLiteral("yyyy-MM-dd");
}

} // namespace TimeAxisFormat
