#include "RecordSettings.h"

// Qt
#include <QFile>
#include <QSettings>

// Ours
#include "RecordLocations.h"

namespace {

const QString kUrlKey = QStringLiteral("record/databaseUrl");
const QString kStationKey = QStringLiteral("record/station");
const QString kKeepOkKey = QStringLiteral("record/keepOkImages");

} // namespace

RecordSettings::RecordSettings(QSettings& settings) : settings_(settings) {}

QString RecordSettings::databaseUrlText() const {
    return settings_.value(kUrlKey).toString();
}

void RecordSettings::setDatabaseUrlText(const QString& url) {
    settings_.setValue(kUrlKey, url.trimmed());
    const auto parsed = DatabaseUrl::parse(url);
    if (parsed && !parsed->password().isEmpty()) {
        // A file that holds a password is its owner's alone.
        settings_.sync();
        QFile::setPermissions(settings_.fileName(), QFile::ReadOwner | QFile::WriteOwner);
    }
}

QString RecordSettings::stationOverride() const {
    return settings_.value(kStationKey).toString();
}

void RecordSettings::setStationOverride(const QString& station) {
    settings_.setValue(kStationKey, station.trimmed());
}

bool RecordSettings::keepOkImages() const {
    return settings_.value(kKeepOkKey, false).toBool();
}

void RecordSettings::setKeepOkImages(bool keep) {
    settings_.setValue(kKeepOkKey, keep);
}

RecordConfig RecordSettings::config(QString* error) const {
    RecordConfig config;
    config.url = RecordLocations::defaultDatabaseUrl();
    const QString text = databaseUrlText();
    if (!text.isEmpty()) {
        if (auto url = DatabaseUrl::parse(text, error)) {
            config.url = *url;
        }
    }
    config.spoolFolder = RecordLocations::spoolFolder();
    config.archiveFolder = RecordLocations::archiveFolderFor(config.url);
    const QString station = stationOverride();
    config.station = station.isEmpty() ? RecordLocations::hostName() : station;
    config.operatorName = RecordLocations::loginName();
    config.keepOkImages = keepOkImages();
    return config;
}
