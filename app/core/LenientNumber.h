#pragma once

// Qt
#include <QString>

// Reads a number from a text the way the desktop runtime's Val does: blanks, tabs and line
// feeds are skipped wherever they occur, an optional sign, digits, a full stop (whatever the
// locale) and an exponent are read up to the first character that cannot continue the
// number; "&H" and "&O" read a hexadecimal or octal whole number. A text without a leading
// number reads 0. A number beyond the double range reads as an infinity of its sign.
namespace LenientNumber {

double read(const QString& text);

} // namespace LenientNumber
