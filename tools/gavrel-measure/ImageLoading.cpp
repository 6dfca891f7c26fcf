#include "ImageLoading.h"

// Standard library
#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

// POSIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Qt
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QImageReader>

// Ours
#include "BitmapLayout.h"
#include "BmpReader.h"
#include "InspectionFormat.h"
#include "KeshFileAccess.h"
#include "RuntimeError.h"

namespace {

// Rows of `image` packed one after another, `bytesPerRow` each.
std::vector<std::uint8_t> packedRows(const QImage& image, qsizetype bytesPerRow) {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(bytesPerRow * image.height()));
    for (int y = 0; y < image.height(); ++y) {
        std::memcpy(pixels.data() + y * bytesPerRow, image.constScanLine(y),
                    static_cast<std::size_t>(bytesPerRow));
    }
    return pixels;
}

// Holds a decoded picture in the image as the window's image holds a bitmap of the same kind:
// grey stays grey, an 8-bit palette stays a palette, everything else becomes 24-bit colour.
// Returns whether the picture had to lose depth to be held.
bool assignPicture(QImage picture, KeshImage& image) {
    const int width = picture.width();
    const int height = picture.height();
    switch (picture.format()) {
    case QImage::Format_Grayscale8:
        image.assign(width, height, 8, KeshImage::Grey, packedRows(picture, width));
        return false;
    case QImage::Format_Indexed8:
        // Grey PNG and TIFF files often carry a palette whose index is the grey level.
        if (picture.colorTable() == BitmapLayout::greyRamp()) {
            image.assign(width, height, 8, KeshImage::Grey, packedRows(picture, width));
            return false;
        }
        if (!picture.colorTable().isEmpty()) {
            image.assign(width, height, 8, KeshImage::Palette, packedRows(picture, width),
                         picture.colorTable());
            return false;
        }
        break;
    case QImage::Format_Grayscale16:
        picture.convertTo(QImage::Format_Grayscale8);
        image.assign(width, height, 8, KeshImage::Grey, packedRows(picture, width));
        return true;
    default:
        break;
    }
    picture.convertTo(QImage::Format_BGR888); // the byte order of a 24-bit bitmap
    image.assign(width, height, 24, KeshImage::Rgb,
                 packedRows(picture, KeshImage::bytesPerLine(width, 24)));
    return false;
}

// PNG and TIFF through Qt's image plugins, with the size bounds of the window's image.
int readPicture(QIODevice& device, KeshImage& image, bool& lostDepth) {
    QImageReader reader(&device);
    const QByteArray format = reader.format();
    if (format != "png" && format != "tif" && format != "tiff") {
        return KeshFileAccess::NotBitmap;
    }
    const QSize size = reader.size();
    if (size.isValid() &&
        (size.width() > KeshImage::kMaxDimension || size.height() > KeshImage::kMaxDimension ||
         qsizetype(size.width()) * size.height() * 4 > KeshImage::kMaxBufferBytes)) {
        return KeshFileAccess::TooLarge;
    }
    QImage picture;
    if (!reader.read(&picture) || picture.isNull()) {
        return reader.error() == QImageReader::UnsupportedFormatError
                   ? KeshFileAccess::UnsupportedVariant
                   : KeshFileAccess::NotBitmap;
    }
    if (!KeshImage::isValidSize(picture.width(), picture.height(), 24)) {
        return KeshFileAccess::TooLarge;
    }
    lostDepth = assignPicture(std::move(picture), image);
    return KeshFileAccess::Ok;
}

} // namespace

namespace ImageLoading {

LoadedImage readFile(const QByteArray& name) {
    LoadedImage loaded;
    const auto failure = [&loaded](int error) {
        loaded.errorCode = error == EACCES || error == EPERM ? KeshFileAccess::PermissionDenied
                                                             : KeshFileAccess::FileNotFound;
        return loaded;
    };
    if (name.isEmpty()) {
        return failure(ENOENT);
    }
    // Folders, pipes and devices are no images: they are not opened at all, and the open does
    // not wait, so a pipe put in the file's place meanwhile cannot block the read either.
    struct stat status {};
    if (::stat(name.constData(), &status) != 0) {
        return failure(errno);
    }
    if (!S_ISREG(status.st_mode)) {
        loaded.errorCode = KeshFileAccess::NotBitmap;
        return loaded;
    }
    const int descriptor = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (descriptor < 0) {
        return failure(errno);
    }
    QFile file;
    if (!file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        loaded.errorCode = KeshFileAccess::NotBitmap;
        return loaded;
    }
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        loaded.errorCode = KeshFileAccess::NotBitmap;
        return loaded;
    }
    // Read from the file as the formats need it: a bitmap's reader takes only what its header
    // describes, so a huge or damaged file costs no more memory than a good one.
    // The image refuses a format it cannot hold by throwing; such a file is not supported.
    try {
        bool lostDepth = false;
        if (file.peek(2) == "BM") {
            loaded.errorCode = BmpReader::read(file, loaded.image);
        } else {
            loaded.errorCode = readPicture(file, loaded.image, lostDepth);
        }
        if (loaded.errorCode == KeshFileAccess::Ok) {
            // The window's rule, and the window's message turned into a column.
            loaded.converted = lostDepth || !InspectionFormat::matches(loaded.image);
            if (!InspectionFormat::matches(loaded.image)) {
                InspectionFormat::conform(loaded.image);
            }
        }
    } catch (const RuntimeError&) {
        loaded.errorCode = KeshFileAccess::UnsupportedVariant;
    }
    return loaded;
}

bool isImageName(const QString& fileName) {
    static const char* const kExtensions[] = {".bmp", ".png", ".tif", ".tiff"};
    for (const char* extension : kExtensions) {
        if (fileName.endsWith(QLatin1String(extension), Qt::CaseInsensitive)) {
            return true;
        }
    }
    return false;
}

QString errorText(int errorCode) {
    switch (errorCode) {
    case KeshFileAccess::FileNotFound:
        return QStringLiteral("file not found");
    case KeshFileAccess::PermissionDenied:
        return QStringLiteral("permission denied");
    case KeshFileAccess::NotBitmap:
        return QStringLiteral("not a BMP, PNG or TIFF image, or a damaged one");
    case KeshFileAccess::UnsupportedVariant:
        return QStringLiteral("an image variant that is not supported");
    case KeshFileAccess::TooLarge:
        return QStringLiteral("too large");
    default:
        return QStringLiteral("could not be read");
    }
}

} // namespace ImageLoading
