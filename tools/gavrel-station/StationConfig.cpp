#include "StationConfig.h"

// Qt
#include <QFileInfo>
#include <QSettings>

// Ours
#include "LineSettingsRules.h"

namespace {

class Reader {
public:
    explicit Reader(QSettings& settings) : settings_(settings) {}

    // Unquoted commas make a list in QSettings' INI; a value is taken whole.
    QString text(const char* key, const QString& fallback = QString()) const {
        const QVariant value = settings_.value(QLatin1String(key));
        if (!value.isValid()) {
            return fallback;
        }
        if (value.userType() == QMetaType::QStringList) {
            return value.toStringList().join(QLatin1Char(','));
        }
        return value.toString().trimmed();
    }
    int number(const char* key, int fallback, int lowest, int highest) {
        const QString value = text(key);
        if (value.isEmpty()) {
            return fallback;
        }
        bool ok = false;
        const int n = value.toInt(&ok);
        if (!ok || n < lowest || n > highest) {
            fail(key, QStringLiteral("expected a whole number from %1 to %2, not \"%3\"")
                          .arg(lowest)
                          .arg(highest)
                          .arg(value));
            return fallback;
        }
        return n;
    }
    bool flag(const char* key, bool fallback) {
        const QString value = text(key).toLower();
        if (value.isEmpty()) {
            return fallback;
        }
        if (value == QLatin1String("true") || value == QLatin1String("yes") ||
            value == QLatin1String("on") || value == QLatin1String("1")) {
            return true;
        }
        if (value == QLatin1String("false") || value == QLatin1String("no") ||
            value == QLatin1String("off") || value == QLatin1String("0")) {
            return false;
        }
        fail(key, QStringLiteral("expected true or false, not \"%1\"").arg(value));
        return fallback;
    }
    QString existing(const char* key, bool folder) {
        const QString path = text(key);
        if (path.isEmpty()) {
            return path;
        }
        check(key, LineSettingsRules::readablePathError(path, folder));
        return QFileInfo(path).absoluteFilePath();
    }
    // Names the key before a rule's complaint, if there is one.
    void check(const char* key, const QString& wrong) {
        if (!wrong.isEmpty()) {
            fail(key, wrong);
        }
    }
    void fail(const char* key, const QString& why) {
        if (error_.isEmpty()) {
            error_ = QStringLiteral("%1: %2").arg(QLatin1String(key), why);
        }
    }
    const QString& error() const { return error_; }

private:
    QSettings& settings_;
    QString error_;
};

} // namespace

StationConfig::ReadResult StationConfig::read(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable()) {
        return {std::nullopt, QStringLiteral("configuration %1 cannot be read").arg(path)};
    }
    QSettings settings(path, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError) {
        return {std::nullopt, QStringLiteral("configuration %1 is not a valid INI file").arg(path)};
    }
    Reader read(settings);
    StationConfig config;
    LineSettings& line = config.line;

    line.station = read.text("station/name");
    read.check("station/name", LineSettingsRules::stationNameError(line.station));
    const QString mode = read.text("station/mode", QStringLiteral("continuous"));
    if (mode == QLatin1String("continuous")) {
        line.mode = TriggerGate::Mode::Continuous;
    } else if (mode == QLatin1String("triggered")) {
        line.mode = TriggerGate::Mode::Triggered;
    } else {
        read.fail("station/mode",
                  QStringLiteral("expected continuous or triggered, not \"%1\"").arg(mode));
    }
    config.recipe = read.existing("station/recipe", false);
    config.recipeFolder = read.existing("station/recipes", true);
    if (config.recipe.isEmpty() == config.recipeFolder.isEmpty()) {
        read.fail("station/recipe", QStringLiteral("give either recipe or recipes"));
    }
    config.slot = read.number("station/slot", 0, 0, 65535);
    config.camera = read.existing("station/camera", false);
    config.recordUrl = read.text("station/record");
    config.stateFolder = read.text("station/state", qEnvironmentVariable("STATE_DIRECTORY"));

    line.modbusEnabled = read.flag("modbus/enabled", false);
    line.modbus.address = read.text("modbus/address", QStringLiteral("127.0.0.1"));
    line.modbus.port = read.number("modbus/port", 502, 0, 65535);
    line.modbus.unitId = read.number("modbus/unit", 1, 0, 255);
    line.modbus.maxClients = read.number("modbus/max_clients", 8, 1, 1000);
    const QString allowed = read.text("modbus/allow");
    if (!allowed.isEmpty()) {
        for (const QString& address : allowed.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            line.modbus.allowedClients.append(address.trimmed());
            read.check("modbus/allow", LineSettingsRules::allowedClientError(address.trimmed()));
        }
    }

    line.mqttEnabled = read.flag("mqtt/enabled", false);
    line.mqtt.url = read.text("mqtt/url", QStringLiteral("mqtt://127.0.0.1:1883"));
    line.mqtt.caFile = read.text("mqtt/ca_file");
    line.mqtt.certFile = read.text("mqtt/cert_file");
    line.mqtt.keyFile = read.text("mqtt/key_file");
    line.mqtt.credentialsFile = read.text("mqtt/credentials_file");
    line.mqtt.topicPrefix =
        LineSettingsRules::normalizedTopicPrefix(read.text("mqtt/topic_prefix"));
    read.check("mqtt/topic_prefix", LineSettingsRules::topicPrefixError(line.mqtt.topicPrefix));
    line.mqtt.queueLimit =
        read.number("mqtt/queue", MqttPublisher::kDefaultQueueLimit, 1, 10000000);

    // The broker's address is checked only when it is used.
    if (line.mqttEnabled) {
        read.check("mqtt/url", LineSettingsRules::brokerUrlError(line.mqtt.url));
        read.check("mqtt/ca_file",
                   LineSettingsRules::brokerTlsError(line.mqtt.url, line.mqtt.caFile));
    }

    if (!read.error().isEmpty()) {
        return {std::nullopt, read.error()};
    }
    return {config, QString()};
}
