#pragma once

// Qt
#include <QColor>
#include <QtGlobal>

// Colours as the desktop runtime gives them: red in the low byte, then green, then blue.
namespace WindowsColor {

inline QColor toQColor(quint32 windowsColor) {
    return QColor(static_cast<int>(windowsColor & 0xFF),
                  static_cast<int>((windowsColor >> 8) & 0xFF),
                  static_cast<int>((windowsColor >> 16) & 0xFF));
}

} // namespace WindowsColor
