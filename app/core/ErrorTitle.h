#pragma once

// Qt
#include <QCoreApplication>
#include <QString>

// The title of the boxes and the text of the readout that report an error.
namespace ErrorTitle {

inline QString text() {
    return QCoreApplication::translate("ErrorTitle", "エラー");
}

} // namespace ErrorTitle
