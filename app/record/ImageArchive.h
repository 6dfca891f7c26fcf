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

    // The name in the archive of the image whose pixels have that hash.
    static QString fileNameFor(const QString& sha256);

    // Writes the image unless a file of that name is already there, whole and flushed to
    // the disk (0600, folder 0700); returns the file name within the archive, or an empty
    // string with `error` naming what failed.
    QString store(const QByteArray& pixels, int width, int height, const QString& sha256,
                  QString* error);

    QString pathOf(const QString& fileName) const;

    // The hash of the pixels of an archived bitmap; empty with `error` set when the file is
    // missing or not an 8-bit image.
    QString hashOfFile(const QString& fileName, QString* error) const;

private:
    QString folder_;
};
