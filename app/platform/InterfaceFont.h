#pragma once

// Qt
#include <QFont>

// The font the fixed layouts were drawn for: a compact proportional face at 11 pixels.
namespace InterfaceFont {

// Liberation Sans, which the package declares and which has the metrics of the classic
// Windows interface faces, then other proportional faces; CJK text falls back per glyph.
QFont compact(QFont base);

} // namespace InterfaceFont
