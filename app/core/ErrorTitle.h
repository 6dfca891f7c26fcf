#pragma once

// Qt
#include <QString>

// The title of the boxes and the text of the readout that report an error.
namespace ErrorTitle {

inline QString text() {
    return QStringLiteral("エラー");
}

} // namespace ErrorTitle
