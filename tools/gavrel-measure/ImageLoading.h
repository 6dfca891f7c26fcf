#pragma once

// Qt
#include <QByteArray>
#include <QString>

// Ours
#include "KeshImage.h"

// An image file as the measurer sees it: already in the working format.
struct LoadedImage {
    KeshImage image;
    bool converted = false; // the file was not 512 x 480 at 8 bits grey
    int errorCode = 0;      // a KeshFileAccess code; 0 when the image was read
};

// Reading BMP (exactly as the window does), PNG and TIFF files.
namespace ImageLoading {

// `file` is the name as the file system has it, which need not be valid UTF-8.
LoadedImage readFile(const QByteArray& file);

// Whether a folder entry of this name is measured.
bool isImageName(const QString& fileName);

// What a read error code means, for people.
QString errorText(int errorCode);

} // namespace ImageLoading
