#pragma once

// Qt
#include <QString>

// Ours
#include "RecordConfig.h"

class QSettings;

// The record's settings as the operator sets them in 記録の設定; empty means the default.
class RecordSettings {
public:
    explicit RecordSettings(QSettings& settings);

    QString databaseUrlText() const;
    void setDatabaseUrlText(const QString& url);
    QString stationOverride() const;
    void setStationOverride(const QString& station);
    bool keepOkImages() const;
    void setKeepOkImages(bool keep);

    // The settings resolved against the defaults; a URL that cannot be read falls back to
    // the default database with `error` set, so that no record is lost for a typing slip.
    RecordConfig config(QString* error = nullptr) const;

private:
    QSettings& settings_;
};
