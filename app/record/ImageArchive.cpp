#include "ImageArchive.h"

// Qt
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QSaveFile>

// Ours
#include "BitmapLayout.h"

ImageArchive::ImageArchive(QString folder) : folder_(std::move(folder)) {}

QString ImageArchive::pixelHash(const QByteArray& pixels) {
    return QString::fromLatin1(
        QCryptographicHash::hash(pixels, QCryptographicHash::Sha256).toHex());
}

QString ImageArchive::pathOf(const QString& fileName) const {
    return QDir(folder_).filePath(fileName);
}

QString ImageArchive::store(const QByteArray& pixels, int width, int height, const QString& sha256,
                            QString* error) {
    const QString fileName = sha256 + QStringLiteral(".bmp");
    const QString path = pathOf(fileName);
    if (QFileInfo::exists(path)) {
        return fileName;
    }
    auto failed = [&](const QString& text) {
        if (error) {
            *error = QStringLiteral("Image archive %1: %2").arg(path, text);
        }
        return QString();
    };
    if (width <= 0 || height <= 0 || pixels.size() != qsizetype(width) * height) {
        return failed(QStringLiteral("not a whole %1 x %2 image").arg(width).arg(height));
    }
    if (!QDir().mkpath(folder_)) {
        return failed(QStringLiteral("cannot create the folder"));
    }
    // An indexed image with a grey ramp is written as an 8-bit bitmap whose index is the level.
    QImage image(reinterpret_cast<const uchar*>(pixels.constData()), width, height, width,
                 QImage::Format_Indexed8);
    image.setColorTable(BitmapLayout::greyRamp());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return failed(file.errorString());
    }
    QImageWriter writer(&file, "bmp");
    if (!writer.write(image)) {
        file.cancelWriting();
        return failed(writer.errorString());
    }
    if (!file.commit()) {
        return failed(file.errorString());
    }
    return fileName;
}
