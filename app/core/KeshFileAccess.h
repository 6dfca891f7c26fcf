#pragma once

// Qt
#include <QString>

class KeshImage;

// Reads and writes bitmap files. Every read or write sets errorCode(): 0 on success,
// a negative code naming the failure otherwise. A failed read leaves the image as it
// was; a failed write leaves any existing file untouched.
class KeshFileAccess {
public:
    enum ErrorCode : int {
        Ok = 0,
        FileNotFound = -1,
        PermissionDenied = -2,
        NotBitmap = -3, // not a BMP, or a corrupt one
        UnsupportedVariant = -4,
        TooLarge = -5,
        WriteFailed = -6,
    };

    // Named after the file control's dispatch members: ids 1 (put), 112, 111, 101.
    void setFileName(const QString& path);
    void read(KeshImage& image);
    void write(const KeshImage& image);
    int errorCode() const { return errorCode_; }

private:
    int readFile(KeshImage& image) const;
    int writeFile(const KeshImage& image) const;

    QString fileName_;
    int errorCode_ = Ok;
};
