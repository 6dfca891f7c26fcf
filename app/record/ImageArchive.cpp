#include "ImageArchive.h"

// Qt
#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>

// Ours
#include "BitmapLayout.h"
#include "PrivateFiles.h"

ImageArchive::ImageArchive(QString folder) : folder_(std::move(folder)) {}

QString ImageArchive::pixelHash(const QByteArray& pixels) {
    return QString::fromLatin1(
        QCryptographicHash::hash(pixels, QCryptographicHash::Sha256).toHex());
}

QString ImageArchive::pathOf(const QString& fileName) const {
    return QDir(folder_).filePath(fileName);
}

QString ImageArchive::fileNameFor(const QString& sha256) {
    return sha256 + QStringLiteral(".bmp");
}

QString ImageArchive::hashOfFile(const QString& fileName, QString* error) const {
    const QString path = pathOf(fileName);
    QImageReader reader(path, "bmp");
    QImage image = reader.read();
    if (image.isNull()) {
        if (error) {
            *error = QStringLiteral("%1: %2").arg(
                path, QFileInfo::exists(path) ? reader.errorString() : QStringLiteral("missing"));
        }
        return {};
    }
    if (image.format() != QImage::Format_Indexed8) {
        image = image.convertToFormat(QImage::Format_Grayscale8);
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (int y = 0; y < image.height(); ++y) {
        if (image.format() == QImage::Format_Indexed8) {
            // The index is the level with the archive's grey ramp.
            QByteArray row(image.width(), '\0');
            for (int x = 0; x < image.width(); ++x) {
                row[x] = static_cast<char>(qGray(image.color(image.constScanLine(y)[x])));
            }
            hash.addData(row);
        } else {
            hash.addData(QByteArrayView(reinterpret_cast<const char*>(image.constScanLine(y)),
                                        image.width()));
        }
    }
    return QString::fromLatin1(hash.result().toHex());
}

QString ImageArchive::store(const QByteArray& pixels, int width, int height, const QString& sha256,
                            QString* error) {
    const QString fileName = fileNameFor(sha256);
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
    // An indexed image with a grey ramp is written as an 8-bit bitmap whose index is the level.
    QImage image(reinterpret_cast<const uchar*>(pixels.constData()), width, height, width,
                 QImage::Format_Indexed8);
    image.setColorTable(BitmapLayout::greyRamp());
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "bmp");
    if (!writer.write(image)) {
        return failed(writer.errorString());
    }
    QString reason;
    if (!PrivateFiles::writeWhole(path, encoded, &reason)) {
        if (error) {
            *error = QStringLiteral("Image archive ") + reason;
        }
        return {};
    }
    return fileName;
}
