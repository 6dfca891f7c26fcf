#include "frmLineSettings.h"

// Qt
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

// Ours
#include "LineSettingsRules.h"
#include "MqttPublisher.h"

namespace {

QLineEdit* lineEdit(const char* name, const QString& text, QWidget* parent) {
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(QLatin1String(name));
    return edit;
}

QSpinBox* spinBox(const char* name, int lowest, int highest, int value, QWidget* parent) {
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(QLatin1String(name));
    spin->setRange(lowest, highest);
    spin->setValue(value);
    return spin;
}

// The label a form of `dialog` shows for `field`.
QString labelOf(const QDialog& dialog, QWidget* field) {
    for (const QFormLayout* form : dialog.findChildren<QFormLayout*>()) {
        if (auto* label = qobject_cast<QLabel*>(form->labelForField(field))) {
            return label->text();
        }
    }
    return {};
}

} // namespace

frmLineSettings::frmLineSettings(const LineSettings& line, const QString& recipeFolder,
                                 QWidget* parent)
    : QDialog(parent), given_(line) {
    setWindowTitle(tr("ライン連携の設定"));
    setMinimumWidth(460); // room for a file path
    auto* layout = new QVBoxLayout(this);

    auto* general = new QFormLayout;
    txtStation_ = lineEdit("txtStation", line.station, this);
    cboMode_ = new QComboBox(this);
    cboMode_->setObjectName(QStringLiteral("cboMode"));
    cboMode_->addItems({tr("連続"), tr("トリガ")});
    cboMode_->setCurrentIndex(line.mode == TriggerGate::Mode::Triggered ? 1 : 0);
    txtRecipeFolder_ = lineEdit("txtRecipeFolder", recipeFolder, this);
    txtRecipeFolder_->setPlaceholderText(tr("なし（PLC はレシピを選べません）"));
    general->addRow(tr("ステーション名"), txtStation_);
    general->addRow(tr("判定"), cboMode_);
    general->addRow(tr("レシピフォルダ"), txtRecipeFolder_);
    layout->addLayout(general);

    fraModbus_ = new QGroupBox(tr("Modbus TCP サーバ"), this);
    fraModbus_->setObjectName(QStringLiteral("fraModbus"));
    fraModbus_->setCheckable(true);
    fraModbus_->setChecked(line.modbusEnabled);
    auto* modbus = new QFormLayout(fraModbus_);
    txtModbusAddress_ = lineEdit("txtModbusAddress", line.modbus.address, fraModbus_);
    spnModbusPort_ = spinBox("spnModbusPort", 1, 65535, line.modbus.port, fraModbus_);
    spnModbusUnit_ = spinBox("spnModbusUnit", 0, 255, line.modbus.unitId, fraModbus_);
    spnModbusClients_ = spinBox("spnModbusClients", 1, 1000, line.modbus.maxClients, fraModbus_);
    txtModbusAllow_ = lineEdit("txtModbusAllow",
                               line.modbus.allowedClients.join(QStringLiteral(", ")), fraModbus_);
    txtModbusAllow_->setPlaceholderText(tr("すべて（IP アドレスをカンマ区切りで）"));
    modbus->addRow(tr("アドレス"), txtModbusAddress_);
    modbus->addRow(tr("ポート"), spnModbusPort_);
    modbus->addRow(tr("ユニットID"), spnModbusUnit_);
    modbus->addRow(tr("最大クライアント数"), spnModbusClients_);
    modbus->addRow(tr("許可するクライアント"), txtModbusAllow_);
    layout->addWidget(fraModbus_);

    fraMqtt_ = new QGroupBox(tr("MQTT ブローカ"), this);
    fraMqtt_->setObjectName(QStringLiteral("fraMqtt"));
    fraMqtt_->setCheckable(true);
    fraMqtt_->setChecked(line.mqttEnabled);
    auto* mqtt = new QFormLayout(fraMqtt_);
    txtMqttUrl_ = lineEdit("txtMqttUrl", line.mqtt.url, fraMqtt_);
    txtMqttUrl_->setPlaceholderText(QStringLiteral("mqtt://host:1883, mqtts://host:8883"));
    txtCaFile_ = lineEdit("txtCaFile", line.mqtt.caFile, fraMqtt_);
    txtCertFile_ = lineEdit("txtCertFile", line.mqtt.certFile, fraMqtt_);
    txtKeyFile_ = lineEdit("txtKeyFile", line.mqtt.keyFile, fraMqtt_);
    txtCredentialsFile_ = lineEdit("txtCredentialsFile", line.mqtt.credentialsFile, fraMqtt_);
    txtTopicPrefix_ = lineEdit("txtTopicPrefix", line.mqtt.topicPrefix, fraMqtt_);
    // Empty: the link's own prefix for the station as typed.
    const auto showDefaultPrefix = [this] {
        txtTopicPrefix_->setPlaceholderText(
            LineSettingsRules::defaultTopicPrefix(txtStation_->text().trimmed()));
    };
    showDefaultPrefix();
    connect(txtStation_, &QLineEdit::textChanged, this, showDefaultPrefix);
    spnQueue_ = spinBox("spnQueue", 1, 10000000, line.mqtt.queueLimit, fraMqtt_);
    auto* queue = new QHBoxLayout;
    queue->addWidget(spnQueue_);
    queue->addWidget(
        new QLabel(tr("件（既定 %1 件）").arg(MqttPublisher::kDefaultQueueLimit), fraMqtt_));
    queue->addStretch();
    mqtt->addRow(tr("URL"), txtMqttUrl_);
    mqtt->addRow(tr("CA ファイル"), txtCaFile_);
    mqtt->addRow(tr("クライアント証明書"), txtCertFile_);
    mqtt->addRow(tr("クライアント鍵"), txtKeyFile_);
    mqtt->addRow(tr("認証情報ファイル"), txtCredentialsFile_);
    mqtt->addRow(tr("トピックの接頭辞"), txtTopicPrefix_);
    mqtt->addRow(tr("送信待ちの上限"), queue);
    layout->addWidget(fraMqtt_);

    lblError_ = new QLabel(this);
    lblError_->setObjectName(QStringLiteral("lblError"));
    lblError_->setWordWrap(true);
    lblError_->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0);"));
    layout->addWidget(lblError_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* cmdOK = new QPushButton(tr("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    auto* cmdCancel = new QPushButton(tr("キャンセル"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    layout->addLayout(buttons);
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

QStringList frmLineSettings::allowedClients() const {
    QStringList addresses;
    for (const QString& address :
         txtModbusAllow_->text().split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        if (!address.trimmed().isEmpty()) {
            addresses.append(address.trimmed());
        }
    }
    return addresses;
}

LineSettings frmLineSettings::settings() const {
    LineSettings line = given_;
    line.station = txtStation_->text().trimmed();
    line.mode = cboMode_->currentIndex() == 1 ? TriggerGate::Mode::Triggered
                                              : TriggerGate::Mode::Continuous;
    line.modbusEnabled = fraModbus_->isChecked();
    line.modbus.address = txtModbusAddress_->text().trimmed();
    line.modbus.port = spnModbusPort_->value();
    line.modbus.unitId = spnModbusUnit_->value();
    line.modbus.maxClients = spnModbusClients_->value();
    line.modbus.allowedClients = allowedClients();
    line.mqttEnabled = fraMqtt_->isChecked();
    line.mqtt.url = txtMqttUrl_->text().trimmed();
    line.mqtt.caFile = txtCaFile_->text().trimmed();
    line.mqtt.certFile = txtCertFile_->text().trimmed();
    line.mqtt.keyFile = txtKeyFile_->text().trimmed();
    line.mqtt.credentialsFile = txtCredentialsFile_->text().trimmed();
    line.mqtt.topicPrefix =
        LineSettingsRules::normalizedTopicPrefix(txtTopicPrefix_->text().trimmed());
    line.mqtt.queueLimit = spnQueue_->value();
    return line;
}

QString frmLineSettings::recipeFolder() const {
    return txtRecipeFolder_->text().trimmed();
}

QString frmLineSettings::problem(QWidget** field) const {
    const LineSettings line = settings();
    // The first complaint wins; each is said with the field's label.
    QString wrong;
    const auto check = [&](QWidget* at, const QString& complaint) {
        if (wrong.isEmpty() && !complaint.isEmpty()) {
            wrong = complaint;
            *field = at;
        }
    };
    check(txtStation_, LineSettingsRules::stationNameError(line.station));
    if (!recipeFolder().isEmpty()) {
        check(txtRecipeFolder_, LineSettingsRules::readablePathError(recipeFolder(), true));
    }
    if (line.modbusEnabled) {
        for (const QString& address : line.modbus.allowedClients) {
            check(txtModbusAllow_, LineSettingsRules::allowedClientError(address));
        }
    }
    if (line.mqttEnabled) {
        check(txtMqttUrl_, LineSettingsRules::brokerUrlError(line.mqtt.url));
        check(txtCaFile_, LineSettingsRules::brokerTlsError(line.mqtt.url, line.mqtt.caFile));
        const std::pair<QLineEdit*, QString> files[] = {{txtCaFile_, line.mqtt.caFile},
                                                        {txtCertFile_, line.mqtt.certFile},
                                                        {txtKeyFile_, line.mqtt.keyFile}};
        for (const auto& [edit, path] : files) {
            if (!path.isEmpty()) {
                check(edit, LineSettingsRules::readablePathError(path, false));
            }
        }
        if (line.mqtt.certFile.isEmpty() != line.mqtt.keyFile.isEmpty()) {
            check(line.mqtt.certFile.isEmpty() ? txtCertFile_ : txtKeyFile_,
                  tr("クライアント証明書と鍵は両方とも指定してください"));
        }
        if (!line.mqtt.credentialsFile.isEmpty()) {
            QString refused;
            // Read only to be checked: what it holds is dropped here.
            if (!MqttPublisher::readCredentials(line.mqtt.credentialsFile, &refused)) {
                check(txtCredentialsFile_, refused);
            }
        }
        check(txtTopicPrefix_, LineSettingsRules::topicPrefixError(line.mqtt.topicPrefix));
    }
    if (wrong.isEmpty()) {
        return {};
    }
    return tr("%1: %2").arg(labelOf(*this, *field), wrong);
}

void frmLineSettings::cmdOK_Click() {
    QWidget* field = nullptr;
    if (const QString wrong = problem(&field); !wrong.isEmpty()) {
        lblError_->setText(wrong);
        field->setFocus();
        return;
    }
    lblError_->clear();
    accept();
}
