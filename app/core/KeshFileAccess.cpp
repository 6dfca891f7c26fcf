#include "KeshFileAccess.h"

// Qt
#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

// Ours
#include "BmpReader.h"
#include "BmpWriter.h"
#include "KeshImage.h"

namespace {

constexpr int kMaxLinkDepth = 40; // as the kernel's own limit for nested links

} // namespace

void KeshFileAccess::setFileName(const QString& path) {
    fileName_ = path;
}

void KeshFileAccess::read(KeshImage& image) {
    errorCode_ = readFile(image);
}

void KeshFileAccess::write(const KeshImage& image) {
    errorCode_ = writeFile(image);
}

QString KeshFileAccess::writeTarget(const QString& path) {
    QString current = QFileInfo(path).absoluteFilePath();
    for (int depth = 0; depth < kMaxLinkDepth; ++depth) {
        const QFileInfo info(current);
        if (!info.isSymLink()) {
            return current;
        }
        const QString target = info.symLinkTarget();
        if (target.isEmpty()) {
            return current;
        }
        current = target;
    }
    return current; // a loop: opening it fails and is reported as such
}

int KeshFileAccess::readFile(KeshImage& image) const {
    if (fileName_.isEmpty()) {
        return FileNotFound;
    }
    const QFileInfo info(fileName_);
    if (!info.exists()) {
        return FileNotFound;
    }
    // Folders, pipes and devices are no bitmaps, and a pipe could block the read forever.
    if (!info.isFile()) {
        return NotBitmap;
    }
    QFile file(fileName_);
    if (!file.open(QIODevice::ReadOnly)) {
        return file.exists() ? PermissionDenied : FileNotFound;
    }
    // The size of the file actually opened bounds the read, even if the file grows meanwhile.
    const qint64 size = file.size();
    if (size > BmpReader::maxFileBytes()) {
        return TooLarge;
    }
    const QByteArray bytes = file.read(size);
    if (bytes.size() != size || file.error() != QFileDevice::NoError) {
        return NotBitmap;
    }
    return BmpReader::read(bytes, image);
}

int KeshFileAccess::writeFile(const KeshImage& image) const {
    if (fileName_.isEmpty()) {
        return WriteFailed;
    }
    const QString target = writeTarget(fileName_);
    const QFileInfo targetInfo(target);
    if (targetInfo.isDir()) {
        return WriteFailed;
    }
    const QByteArray bytes = BmpWriter::encode(image);

    // Written beside the target and renamed over it only when every byte is on disk, so a
    // failure at any point leaves the old file as it was and no temporary behind.
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly)) {
        const QFileInfo folder(targetInfo.absolutePath());
        const bool refused = (targetInfo.exists() && !targetInfo.isWritable()) ||
                             (folder.isDir() && !folder.isWritable());
        return refused ? PermissionDenied : WriteFailed;
    }
    // QSaveFile::commit() can report success after its own final flush failed (a full
    // disk), so the flush is made and checked here first.
    if (file.write(bytes) != bytes.size() || !file.flush() ||
        file.error() != QFileDevice::NoError) {
        file.cancelWriting();
        file.commit(); // refused after the cancel; removes the temporary file
        return WriteFailed;
    }
    return file.commit() ? Ok : WriteFailed;
}
