#pragma once

// The sample images and video configurations the program ships: read by the tests that check
// them, and by the tests that want the files an operator starts with.

// Qt
#include <QString>

namespace shipped {

inline QString image(const QString& name) {
    return QStringLiteral(GAVREL_SOURCE_DIR "/samples/images/") + name;
}

inline QString video(const QString& name) {
    return QStringLiteral(GAVREL_SOURCE_DIR "/samples/video/") + name;
}

} // namespace shipped
