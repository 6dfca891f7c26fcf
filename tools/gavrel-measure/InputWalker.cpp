#include "InputWalker.h"

// Standard library
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <limits>

// POSIX
#include <dirent.h>
#include <sys/stat.h>

// Qt
#include <QFile>
#include <QFileInfo>

// Ours
#include "ImageLoading.h"
#include "KeshFileAccess.h"

namespace {

QByteArray joined(const QByteArray& folder, const char* name) {
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

QString joined(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

// The entry's kind with links followed for files only: a link to a folder is not walked, so
// a link cannot lead the walk round in a loop.
unsigned char resolvedType(const QByteArray& path, unsigned char type) {
    struct stat status {};
    if (type == DT_UNKNOWN) {
        if (::lstat(path.constData(), &status) != 0) {
            return DT_UNKNOWN;
        }
        type = S_ISDIR(status.st_mode)   ? DT_DIR
               : S_ISREG(status.st_mode) ? DT_REG
               : S_ISLNK(status.st_mode) ? DT_LNK
                                         : DT_UNKNOWN;
    }
    if (type == DT_LNK) {
        return ::stat(path.constData(), &status) == 0 && S_ISREG(status.st_mode) ? DT_REG
                                                                                 : DT_UNKNOWN;
    }
    return type;
}

MeasureInput folderFailure(const QString& shownPath, int error) {
    MeasureInput input;
    input.source = shownPath;
    input.errorCode = error == EACCES || error == EPERM ? KeshFileAccess::PermissionDenied
                      : error == ENOENT                 ? KeshFileAccess::FileNotFound
                                                        : KeshFileAccess::NotBitmap;
    input.errorText = QStringLiteral("folder cannot be read: %1").arg(qt_error_string(error));
    return input;
}

} // namespace

InputWalker::InputWalker(QStringList paths, bool recursive)
    : paths_(std::move(paths)), recursive_(recursive) {}

std::optional<MeasureInput> InputWalker::next() {
    while (true) {
        if (!folders_.empty()) {
            Folder& folder = folders_.back();
            if (folder.position == folder.starts.size()) {
                folders_.pop_back();
                continue;
            }
            const char* name = folder.entries.data() + folder.starts[folder.position++];
            const QByteArray path = joined(folder.path, name);
            const QString shownPath = joined(folder.shownPath, QFile::decodeName(name));
            const unsigned char type = resolvedType(path, static_cast<unsigned char>(name[-1]));
            if (type == DT_DIR && recursive_) {
                // `folder` is not used again: opening the next one may move it.
                if (std::optional<MeasureInput> failure = openFolder(shownPath, path)) {
                    return failure;
                }
            } else if (type == DT_REG && ImageLoading::isImageName(shownPath)) {
                return MeasureInput{shownPath, shownPath, path, nullptr, 0, {}, {}};
            }
            continue;
        }
        if (nextPath_ == paths_.size()) {
            return std::nullopt;
        }
        if (std::optional<MeasureInput> input = enter(paths_[nextPath_++])) {
            return input;
        }
    }
}

std::optional<std::int64_t> InputWalker::count(const QStringList& paths, bool recursive,
                                               const std::atomic<bool>& stop) {
    InputWalker walker(paths, recursive);
    std::int64_t inputs = 0;
    while (walker.next()) {
        if (stop.load(std::memory_order_relaxed)) {
            return std::nullopt;
        }
        ++inputs;
    }
    return inputs;
}

std::optional<MeasureInput> InputWalker::enter(const QString& path) {
    if (QFileInfo(path).isDir()) {
        return openFolder(path, QFile::encodeName(path));
    }
    // Named files are measured whatever their name; the reader reports what is wrong.
    return MeasureInput{path, path, QFile::encodeName(path), nullptr, 0, {}, {}};
}

std::optional<MeasureInput> InputWalker::openFolder(const QString& shownPath,
                                                    const QByteArray& path) {
    DIR* stream = ::opendir(path.constData());
    if (stream == nullptr) {
        return folderFailure(shownPath, errno);
    }
    Folder folder;
    folder.path = path;
    folder.shownPath = shownPath;
    errno = 0;
    while (const dirent* entry = ::readdir(stream)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) {
            continue;
        }
        if (folder.entries.size() >= std::numeric_limits<std::uint32_t>::max() - NAME_MAX - 2) {
            errno = EOVERFLOW;
            break;
        }
        folder.entries.push_back(static_cast<char>(entry->d_type));
        folder.starts.push_back(static_cast<std::uint32_t>(folder.entries.size()));
        folder.entries.append(entry->d_name);
        folder.entries.push_back('\0');
    }
    const int error = errno;
    ::closedir(stream);
    if (error != 0) {
        return folderFailure(shownPath, error);
    }
    const char* entries = folder.entries.data();
    std::sort(folder.starts.begin(), folder.starts.end(),
              [entries](std::uint32_t left, std::uint32_t right) {
                  return std::strcmp(entries + left, entries + right) < 0;
              });
    folder.starts.shrink_to_fit();
    folders_.push_back(std::move(folder));
    return std::nullopt;
}
