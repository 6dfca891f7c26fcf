#include "KeshFileAccess.h"

// Standard library
#include <cerrno>

// Qt
#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

// Ours
#include "BmpReader.h"
#include "BmpWriter.h"
#include "KeshImage.h"
#include "SaveTarget.h"

#ifdef Q_OS_UNIX
// System
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// Whether the user may not replace `path`: the file is read-only, or its folder cannot be
// written or searched.
bool isRefused(const QString& path) {
    const QFileInfo target(path);
#ifdef Q_OS_UNIX
    const QByteArray folder = QFile::encodeName(target.absolutePath());
    if (::faccessat(AT_FDCWD, folder.constData(), W_OK | X_OK, AT_EACCESS) != 0) {
        return errno == EACCES;
    }
#else
    const QFileInfo folder(target.absolutePath());
    if (folder.isDir() && !folder.isWritable()) {
        return true;
    }
#endif
    return target.exists() && !target.isWritable();
}

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

int KeshFileAccess::readFile(KeshImage& image) const {
    if (fileName_.isEmpty()) {
        return FileNotFound;
    }
#ifdef Q_OS_UNIX
    struct stat entry {};
    if (::stat(QFile::encodeName(fileName_).constData(), &entry) != 0) {
        // A folder on the way that may not be searched hides whether the file exists.
        return errno == EACCES ? PermissionDenied : FileNotFound;
    }
    const bool regular = S_ISREG(entry.st_mode);
#else
    const QFileInfo info(fileName_);
    if (!info.exists()) {
        return FileNotFound;
    }
    const bool regular = info.isFile();
#endif
    // Folders, pipes and devices are no bitmaps, and a pipe could block the read forever.
    if (!regular) {
        return NotBitmap;
    }
    QFile file(fileName_);
    if (!file.open(QIODevice::ReadOnly)) {
        return file.exists() ? PermissionDenied : FileNotFound;
    }
    return BmpReader::read(file, image);
}

int KeshFileAccess::writeFile(const KeshImage& image) const {
    if (fileName_.isEmpty()) {
        return WriteFailed;
    }
    const SaveTarget::Resolution target = SaveTarget::resolve(fileName_);
    if (target.code != Ok) {
        return target.code;
    }
    const QByteArray bytes = BmpWriter::encode(image);

    // Written beside the target and renamed over it only when every byte is on disk, so a
    // failure at any point leaves the old file as it was and no temporary behind.
    QSaveFile file(target.path);
    if (!file.open(QIODevice::WriteOnly)) {
        return isRefused(target.path) ? PermissionDenied : WriteFailed;
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
