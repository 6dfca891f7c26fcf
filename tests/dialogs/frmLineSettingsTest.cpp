// ライン連携の設定: every wrong field keeps the dialog open and is named with what is wrong;
// what the dialog does not show survives it.

// Standard library
#include <functional>

// System
#include <sys/stat.h>

// Qt
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

// Ours
#include "frmLineSettings.h"
#include "testutils.h"

#include <gtest/gtest.h>

namespace {

template <typename Widget> Widget* field(frmLineSettings& dialog, const char* name) {
    auto* widget = dialog.findChild<Widget*>(QLatin1String(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

void type(frmLineSettings& dialog, const char* name, const QString& text) {
    field<QLineEdit>(dialog, name)->setText(text);
}

// Both links on, every setting right.
LineSettings valid() {
    LineSettings line;
    line.station = QStringLiteral("line-1");
    line.modbusEnabled = true;
    line.mqttEnabled = true;
    line.mqtt.url = QStringLiteral("mqtt://127.0.0.1:1883");
    return line;
}

} // namespace

TEST(frmLineSettingsTest, AWrongFieldIsNamedAndTheDialogStaysOpen) {
    testutils::Sandbox sandbox;
    const QString credentials =
        sandbox.write(QStringLiteral("credentials"), "username=plant\npassword=s3cret\n");
    ::chmod(QFile::encodeName(credentials).constData(), 0644);
    const QString ca = sandbox.write(QStringLiteral("ca.crt"), "x");

    struct Case {
        const char* what;
        std::function<void(frmLineSettings&)> change;
        QString message; // the field's label, then what is wrong
    };
    const Case cases[] = {
        {"not an MQTT URL",
         [](frmLineSettings& d) { type(d, "txtMqttUrl", QStringLiteral("http://broker")); },
         QStringLiteral("URL: broker URL http://broker: expected mqtt://")},
        {"no host", [](frmLineSettings& d) { type(d, "txtMqttUrl", QStringLiteral("mqtt://")); },
         QStringLiteral("URL: broker URL mqtt://: expected")},
        {"TLS without a CA file",
         [](frmLineSettings& d) { type(d, "txtMqttUrl", QStringLiteral("mqtts://plant:8883")); },
         QStringLiteral("CA ファイル: broker URL mqtts://plant:8883 uses TLS but no CA file")},
        {"a CA file that is not there",
         [&](frmLineSettings& d) { type(d, "txtCaFile", sandbox.filePath("none.crt")); },
         QStringLiteral("CA ファイル: file \"%1\" cannot be read")
             .arg(sandbox.filePath("none.crt"))},
        {"a certificate without its key", [&](frmLineSettings& d) { type(d, "txtCertFile", ca); },
         QStringLiteral("クライアント鍵: ")},
        {"credentials others can read",
         [&](frmLineSettings& d) { type(d, "txtCredentialsFile", credentials); },
         QStringLiteral("認証情報ファイル: credentials file %1 is accessible by others (mode 0644)")
             .arg(credentials)},
        {"a wildcard in the topic prefix",
         [](frmLineSettings& d) { type(d, "txtTopicPrefix", QStringLiteral("plant/#")); },
         QStringLiteral("トピックの接頭辞: topic prefix plant/#/ must not hold")},
        {"an allowed client that is not an address",
         [](frmLineSettings& d) {
             type(d, "txtModbusAllow", QStringLiteral("192.168.0.10, plc-1"));
         },
         QStringLiteral("許可するクライアント: \"plc-1\" is not an IP address")},
        {"an allowed client out of range",
         [](frmLineSettings& d) { type(d, "txtModbusAllow", QStringLiteral("192.168.0.300")); },
         QStringLiteral("許可するクライアント: \"192.168.0.300\" is not an IP address")},
        {"a recipe folder that does not exist",
         [&](frmLineSettings& d) { type(d, "txtRecipeFolder", sandbox.filePath("recipes")); },
         QStringLiteral("レシピフォルダ: folder \"%1\" cannot be read")
             .arg(sandbox.filePath("recipes"))},
        {"a station name with a space",
         [](frmLineSettings& d) { type(d, "txtStation", QStringLiteral("line 1")); },
         QStringLiteral("ステーション名: must not hold spaces")},
        {"no station name", [](frmLineSettings& d) { type(d, "txtStation", QString()); },
         QStringLiteral("ステーション名: missing")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        frmLineSettings dialog(valid(), QString());
        dialog.show();
        c.change(dialog);
        field<QPushButton>(dialog, "cmdOK")->click();
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_NE(dialog.result(), QDialog::Accepted);
        const QString shown = field<QLabel>(dialog, "lblError")->text();
        EXPECT_TRUE(shown.startsWith(c.message)) << shown.toStdString();
        EXPECT_FALSE(shown.contains(QStringLiteral("s3cret")));
    }
}

TEST(frmLineSettingsTest, RightSettingsCloseItAndALinkSwitchedOffIsNotChecked) {
    testutils::Sandbox sandbox;
    const QString credentials =
        sandbox.write(QStringLiteral("credentials"), "username=plant\npassword=s3cret\n");
    ::chmod(QFile::encodeName(credentials).constData(), 0600);
    const QString ca = sandbox.write(QStringLiteral("ca.crt"), "x");

    frmLineSettings dialog(valid(), sandbox.mkdir(QStringLiteral("recipes")));
    dialog.show();
    type(dialog, "txtMqttUrl", QStringLiteral("mqtts://plant:8883"));
    type(dialog, "txtCaFile", ca);
    type(dialog, "txtCredentialsFile", credentials);
    type(dialog, "txtModbusAllow", QStringLiteral("192.168.0.10, ::1"));
    field<QPushButton>(dialog, "cmdOK")->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted)
        << field<QLabel>(dialog, "lblError")->text().toStdString();
    EXPECT_EQ(dialog.settings().modbus.allowedClients,
              QStringList({QStringLiteral("192.168.0.10"), QStringLiteral("::1")}));

    // Switched off, the broker's and the PLC's settings may wait to be put right.
    frmLineSettings off(valid(), QString());
    off.show();
    type(off, "txtMqttUrl", QStringLiteral("http://broker"));
    type(off, "txtModbusAllow", QStringLiteral("plc-1"));
    field<QGroupBox>(off, "fraMqtt")->setChecked(false);
    field<QGroupBox>(off, "fraModbus")->setChecked(false);
    field<QPushButton>(off, "cmdOK")->click();
    EXPECT_EQ(off.result(), QDialog::Accepted);
    EXPECT_FALSE(off.settings().mqttEnabled);
    EXPECT_EQ(off.settings().mqtt.url, QStringLiteral("http://broker"));
}

TEST(frmLineSettingsTest, ShowsTheDefaultsItLeavesEmptyAndKeepsWhatItDoesNotShow) {
    LineSettings line = valid();
    line.mqtt.clientId = QStringLiteral("kept");
    line.modbus.frameTimeout = std::chrono::milliseconds(250);
    frmLineSettings dialog(line, QString());
    EXPECT_EQ(field<QLineEdit>(dialog, "txtTopicPrefix")->placeholderText(),
              QStringLiteral("gavrel/line-1/"));
    type(dialog, "txtStation", QStringLiteral("line-2"));
    EXPECT_EQ(field<QLineEdit>(dialog, "txtTopicPrefix")->placeholderText(),
              QStringLiteral("gavrel/line-2/"));
    EXPECT_EQ(field<QSpinBox>(dialog, "spnQueue")->value(), MqttPublisher::kDefaultQueueLimit);
    type(dialog, "txtTopicPrefix", QStringLiteral("plant/north"));
    EXPECT_EQ(dialog.settings().mqtt.topicPrefix, QStringLiteral("plant/north/"));
    EXPECT_EQ(dialog.settings().mqtt.clientId, QStringLiteral("kept"));
    EXPECT_EQ(dialog.settings().modbus.frameTimeout, std::chrono::milliseconds(250));
}
