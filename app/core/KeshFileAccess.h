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

    void setFileName(const QString& path);       // dispid 1 (put)
    void read(KeshImage& image);                 // dispid 112
    void write(const KeshImage& image);          // dispid 111
    int errorCode() const { return errorCode_; } // dispid 101

private:
    int readFile(KeshImage& image) const;
    int writeFile(const KeshImage& image) const;

    QString fileName_;
    int errorCode_ = Ok;
};
