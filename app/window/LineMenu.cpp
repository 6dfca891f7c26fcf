#include "LineMenu.h"

// Standard library
#include <utility>

// Qt
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QSettings>
#include <QSpinBox>
#include <QStatusBar>

// Ours
#include "RecordLocations.h"
#include "frmMain.h"

namespace {

// The window's 検査 menu: the one that holds ライブ.
QMenu* inspectionMenu(frmMain& window) {
    for (QObject* object : window.liveAction()->associatedObjects()) {
        if (auto* menu = qobject_cast<QMenu*>(object)) {
            return menu;
        }
    }
    return nullptr;
}

} // namespace

LineMenu::LineMenu(frmMain& window, QSettings& settings)
    : QObject(&window), window_(window), settings_(settings),
      indicator_(new QLabel(window.statusLine())),
      triggerAction_(new QAction(tr("トリガ(&T)"), this)) {
    indicator_->setObjectName(QStringLiteral("lblLineState"));
    window_.statusLine()->addPermanentWidget(indicator_);
    indicator_->hide();
    triggerAction_->setObjectName(QStringLiteral("actTrigger"));
    triggerAction_->setEnabled(false);
    connect(triggerAction_, &QAction::triggered, this, [this] {
        if (link_ && !link_->trigger()) {
            window_.statusLine()->showMessage(tr("トリガ: 判定中のため受け付けませんでした"), 5000);
        }
    });
    if (QMenu* inspection = inspectionMenu(window_)) {
        inspection->addSeparator();
        inspection->addAction(triggerAction_);
    }
    QMenu* menu = window_.addMenu(tr("ライン"));
    menu->addAction(tr("ライン連携の設定…"), this, [this] { editSettings(); });
    // The menu may go before the window.
    window_.setLiveFrameClaim(
        [menu = QPointer<LineMenu>(this)](TriggerGate::Clock::time_point arrived) {
            return menu && menu->claimLiveFrame(arrived);
        });
    connect(&window_, &frmMain::judgementSettled, this, &LineMenu::judged);
    connect(&window_, &frmMain::processAlarm, this,
            [this](const QString& circle, const QList<int>& rules) {
                if (link_) {
                    link_->raiseProcessAlarm(circle, rules);
                }
            });
    applySettings();
}

LineMenu::~LineMenu() = default;

LineSettings LineMenu::readSettings(QSettings& settings) {
    LineSettings line;
    settings.beginGroup(QStringLiteral("Line"));
    line.station =
        settings.value(QStringLiteral("Station"), RecordLocations::hostName()).toString();
    line.mode = settings.value(QStringLiteral("Mode")).toString() == QLatin1String("triggered")
                    ? TriggerGate::Mode::Triggered
                    : TriggerGate::Mode::Continuous;
    line.modbusEnabled = settings.value(QStringLiteral("ModbusEnabled"), false).toBool();
    line.modbus.address =
        settings.value(QStringLiteral("ModbusAddress"), line.modbus.address).toString();
    line.modbus.port = settings.value(QStringLiteral("ModbusPort"), line.modbus.port).toInt();
    line.modbus.unitId = settings.value(QStringLiteral("ModbusUnit"), line.modbus.unitId).toInt();
    line.mqttEnabled = settings.value(QStringLiteral("MqttEnabled"), false).toBool();
    line.mqtt.url =
        settings.value(QStringLiteral("MqttUrl"), QStringLiteral("mqtt://127.0.0.1:1883"))
            .toString();
    line.mqtt.caFile = settings.value(QStringLiteral("MqttCaFile")).toString();
    line.mqtt.credentialsFile = settings.value(QStringLiteral("MqttCredentialsFile")).toString();
    settings.endGroup();
    return line;
}

void LineMenu::writeSettings(QSettings& settings, const LineSettings& line) {
    settings.beginGroup(QStringLiteral("Line"));
    settings.setValue(QStringLiteral("Station"), line.station);
    settings.setValue(QStringLiteral("Mode"), line.mode == TriggerGate::Mode::Triggered
                                                  ? QStringLiteral("triggered")
                                                  : QStringLiteral("continuous"));
    settings.setValue(QStringLiteral("ModbusEnabled"), line.modbusEnabled);
    settings.setValue(QStringLiteral("ModbusAddress"), line.modbus.address);
    settings.setValue(QStringLiteral("ModbusPort"), line.modbus.port);
    settings.setValue(QStringLiteral("ModbusUnit"), line.modbus.unitId);
    settings.setValue(QStringLiteral("MqttEnabled"), line.mqttEnabled);
    settings.setValue(QStringLiteral("MqttUrl"), line.mqtt.url);
    settings.setValue(QStringLiteral("MqttCaFile"), line.mqtt.caFile);
    settings.setValue(QStringLiteral("MqttCredentialsFile"), line.mqtt.credentialsFile);
    settings.endGroup();
}

void LineMenu::applySettings() {
    link_.reset();
    claimPending_ = false;
    const LineSettings line = readSettings(settings_);
    if (line.modbusEnabled || line.mqttEnabled) {
        auto link = std::make_unique<LineLink>(line);
        QString error;
        if (link->start(&error)) {
            link_ = std::move(link);
            connect(link_.get(), &LineLink::linkChanged, this, &LineMenu::showLink);
            link_->setReady(true);
            link_->setCameraOk(true);
        } else {
            window_.statusLine()->showMessage(tr("ライン: %1").arg(error), 15000);
        }
    }
    triggerAction_->setEnabled(link_ && line.mode == TriggerGate::Mode::Triggered);
    indicator_->setVisible(link_ != nullptr);
    showLink();
}

void LineMenu::showLink() {
    if (!link_) {
        return;
    }
    QStringList parts;
    if (link_->settings().modbusEnabled) {
        parts.append(tr("PLC %1").arg(link_->plcClients()));
    }
    if (link_->settings().mqttEnabled) {
        parts.append(link_->brokerConnected() ? tr("ブローカ 接続") : tr("ブローカ 切断"));
        if (link_->droppedMessages() > 0) {
            parts.append(tr("破棄 %1件").arg(link_->droppedMessages()));
        }
    }
    indicator_->setText(parts.join(QStringLiteral("  ")));
}

bool LineMenu::claimLiveFrame(TriggerGate::Clock::time_point arrived) {
    if (!link_ || link_->gate().mode() != TriggerGate::Mode::Triggered) {
        return false;
    }
    if (std::exchange(claimPending_, false)) {
        // The frame claimed last was never settled (nothing measured): free the line again.
        link_->finishTrigger();
    }
    claimPending_ = link_->gate().takes(arrived);
    return claimPending_;
}

void LineMenu::judged(const Judgement& judgement, bool kept) {
    if (!link_) {
        return;
    }
    link_->setRecordOk(kept || link_->settings().mode == TriggerGate::Mode::Continuous);
    bool lineJudgement = true;
    if (link_->gate().mode() == TriggerGate::Mode::Triggered) {
        // The first live frame that arrived after the trigger (claimed before it was judged,
        // so that it is kept), or a Grab made after the trigger.
        if (judgement.origin.kind == ImageOrigin::Kind::LiveFrame) {
            lineJudgement = std::exchange(claimPending_, false);
        } else {
            lineJudgement = judgement.origin.kind == ImageOrigin::Kind::CameraFrame &&
                            link_->gate().takes(TriggerGate::Clock::now());
        }
    }
    link_->publish(judgement, lineJudgement);
    if (lineJudgement && link_->gate().mode() == TriggerGate::Mode::Triggered) {
        link_->finishTrigger();
    }
    showLink();
}

void LineMenu::editSettings() {
    LineSettings line = readSettings(settings_);
    QDialog dialog(&window_);
    dialog.setWindowTitle(tr("ライン連携の設定"));
    auto* form = new QFormLayout(&dialog);
    auto* station = new QLineEdit(line.station, &dialog);
    auto* mode = new QComboBox(&dialog);
    mode->addItems({tr("連続"), tr("トリガ")});
    mode->setCurrentIndex(line.mode == TriggerGate::Mode::Triggered ? 1 : 0);
    auto* modbus = new QCheckBox(tr("Modbus TCP サーバ"), &dialog);
    modbus->setChecked(line.modbusEnabled);
    auto* address = new QLineEdit(line.modbus.address, &dialog);
    auto* port = new QSpinBox(&dialog);
    port->setRange(1, 65535);
    port->setValue(line.modbus.port);
    auto* unit = new QSpinBox(&dialog);
    unit->setRange(0, 255);
    unit->setValue(line.modbus.unitId);
    auto* mqtt = new QCheckBox(tr("MQTT ブローカ"), &dialog);
    mqtt->setChecked(line.mqttEnabled);
    auto* url = new QLineEdit(line.mqtt.url, &dialog);
    auto* ca = new QLineEdit(line.mqtt.caFile, &dialog);
    auto* credentials = new QLineEdit(line.mqtt.credentialsFile, &dialog);
    form->addRow(tr("ステーション名"), station);
    form->addRow(tr("判定"), mode);
    form->addRow(modbus);
    form->addRow(tr("アドレス"), address);
    form->addRow(tr("ポート"), port);
    form->addRow(tr("ユニットID"), unit);
    form->addRow(mqtt);
    form->addRow(tr("URL"), url);
    form->addRow(tr("CA ファイル"), ca);
    form->addRow(tr("認証情報ファイル"), credentials);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    line.station = station->text().trimmed();
    line.mode =
        mode->currentIndex() == 1 ? TriggerGate::Mode::Triggered : TriggerGate::Mode::Continuous;
    line.modbusEnabled = modbus->isChecked();
    line.modbus.address = address->text().trimmed();
    line.modbus.port = port->value();
    line.modbus.unitId = unit->value();
    line.mqttEnabled = mqtt->isChecked();
    line.mqtt.url = url->text().trimmed();
    line.mqtt.caFile = ca->text().trimmed();
    line.mqtt.credentialsFile = credentials->text().trimmed();
    writeSettings(settings_, line);
    applySettings();
}
