#pragma once

// Helpers shared by the test programs.

// Standard library
#include <cstdint>
#include <vector>

// Qt
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

namespace testutils {

// A temporary folder removed with everything in it when the sandbox goes.
class Sandbox {
public:
    Sandbox() : dir_(QDir::tempPath() + QStringLiteral("/gavrel-test-XXXXXX")) {}
    bool isValid() const { return dir_.isValid(); }
    QString path() const { return dir_.path(); }
    QString filePath(const QString& name) const { return dir_.filePath(name); }

    // Writes `bytes` to `name` (folders created as needed) and returns the full path.
    QString write(const QString& name, const QByteArray& bytes) const {
        const QString full = filePath(name);
        QDir().mkpath(QFileInfo(full).absolutePath());
        QFile file(full);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(bytes);
        }
        return full;
    }

    QString mkdir(const QString& name) const {
        QDir().mkpath(filePath(name));
        return filePath(name);
    }

private:
    QTemporaryDir dir_;
};

inline QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline QString dataPath(const QString& name) {
    return QStringLiteral(GAVREL_TEST_DATA_DIR "/") + name;
}

} // namespace testutils
