#pragma once

// Qt
#include <QByteArray>
#include <QString>

// Judged images kept as 8-bit grey bitmaps named by the SHA-256 of their pixels, so an
// image seen again costs nothing and a file once written never changes.
class ImageArchive {
public:
    explicit ImageArchive(QString folder);

    QString folder() const { return folder_; }

    // Hex SHA-256 of the pixels, rows one after another with no padding.
    static QString pixelHash(const QByteArray& pixels);

    // Writes the image unless a file of that name is already there; returns the file name
    // within the archive, or an empty string with `error` set.
    QString store(const QByteArray& pixels, int width, int height, const QString& sha256,
                  QString* error);

    QString pathOf(const QString& fileName) const;

private:
    QString folder_;
};
