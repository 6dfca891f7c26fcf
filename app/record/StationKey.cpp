#include "StationKey.h"

// Standard library
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

// Qt
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>

// Ours
#include "PrivateFiles.h"

namespace {

constexpr qsizetype kKeyBytes = 32;
const QString kOwnName = QStringLiteral("station.key");

QByteArray readKey(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray secret = file.read(kKeyBytes + 1);
    return secret.size() == kKeyBytes ? secret : QByteArray();
}

} // namespace

QString StationKey::idOf(const QByteArray& secret) {
    return QString::fromLatin1(
        QCryptographicHash::hash(secret, QCryptographicHash::Sha256).toHex().left(16));
}

std::optional<StationKey> StationKey::own(const QString& folder, QString* error) {
    const QString path = QDir(folder).filePath(kOwnName);
    StationKey key;
    key.secret_ = readKey(path);
    if (key.secret_.isEmpty()) {
        if (!PrivateFiles::makeFolder(folder, error)) {
            return std::nullopt;
        }
        QByteArray secret(kKeyBytes, '\0');
        QRandomGenerator::system()->generate(reinterpret_cast<quint32*>(secret.data()),
                                             reinterpret_cast<quint32*>(secret.data() + kKeyBytes));
        // Made whole beside it, then linked into place: two programs starting at once agree
        // on the one that got there first.
        const QString temporary = path + QStringLiteral(".new%1").arg(::getpid());
        if (!PrivateFiles::writeWhole(temporary, secret, error)) {
            return std::nullopt;
        }
        const bool linked = ::link(QFile::encodeName(temporary).constData(),
                                   QFile::encodeName(path).constData()) == 0 ||
                            errno == EEXIST;
        const int code = errno;
        QFile::remove(temporary);
        if (!linked) {
            if (error) {
                *error = QStringLiteral("%1: %2").arg(path, PrivateFiles::systemError(code));
            }
            return std::nullopt;
        }
        PrivateFiles::syncFolder(folder, nullptr);
        key.secret_ = readKey(path);
        if (key.secret_.isEmpty()) {
            if (error) {
                *error = QStringLiteral("%1: not a station key").arg(path);
            }
            return std::nullopt;
        }
    }
    key.id_ = idOf(key.secret_);
    return key;
}

std::map<QString, QByteArray> StationKey::all(const QString& folder) {
    std::map<QString, QByteArray> keys;
    const QDir dir(folder);
    for (const QString& name : dir.entryList({QStringLiteral("*.key")}, QDir::Files)) {
        const QByteArray secret = readKey(dir.filePath(name));
        if (!secret.isEmpty()) {
            keys.emplace(idOf(secret), secret);
        }
    }
    return keys;
}
