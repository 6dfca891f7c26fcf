#pragma once

// Standard library
#include <map>
#include <optional>

// Qt
#include <QByteArray>
#include <QString>

// The secret that seals a station's records: 32 random bytes in a file of mode 0600 outside
// the database, in a folder of mode 0700 of the user that records. Whoever can edit the
// database but not read this file cannot make an edited record verify. An auditor checks
// another station's records by putting a copy of that station's key file in the folder.
class StationKey {
public:
    // The station's own key from `folder`, made on first use; empty with `error` set when
    // it can be neither read nor made.
    static std::optional<StationKey> own(const QString& folder, QString* error);
    // Every key in `folder`, by id.
    static std::map<QString, QByteArray> all(const QString& folder);

    // The first 16 hex digits of the key's SHA-256: names the key in each record it seals.
    static QString idOf(const QByteArray& secret);

    QString id() const { return id_; }
    const QByteArray& secret() const { return secret_; }

private:
    QString id_;
    QByteArray secret_;
};
