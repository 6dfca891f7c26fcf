#include "LineMenu.h"

// Standard library
#include <optional>
#include <utility>

// Qt
#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QSettings>
#include <QStatusBar>

// Ours
#include "RecipeFolder.h"
#include "RecordLocations.h"
#include "frmLineSettings.h"
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
    line.modbus.maxClients =
        settings.value(QStringLiteral("ModbusMaxClients"), line.modbus.maxClients).toInt();
    // One text, as typed: an empty list would not survive every settings format.
    for (const QString& address : settings.value(QStringLiteral("ModbusAllow"))
                                      .toString()
                                      .split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        line.modbus.allowedClients.append(address.trimmed());
    }
    line.mqttEnabled = settings.value(QStringLiteral("MqttEnabled"), false).toBool();
    line.mqtt.url =
        settings.value(QStringLiteral("MqttUrl"), QStringLiteral("mqtt://127.0.0.1:1883"))
            .toString();
    line.mqtt.caFile = settings.value(QStringLiteral("MqttCaFile")).toString();
    line.mqtt.certFile = settings.value(QStringLiteral("MqttCertFile")).toString();
    line.mqtt.keyFile = settings.value(QStringLiteral("MqttKeyFile")).toString();
    line.mqtt.credentialsFile = settings.value(QStringLiteral("MqttCredentialsFile")).toString();
    line.mqtt.topicPrefix = settings.value(QStringLiteral("MqttTopicPrefix")).toString();
    line.mqtt.queueLimit =
        settings.value(QStringLiteral("MqttQueue"), line.mqtt.queueLimit).toInt();
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
    settings.setValue(QStringLiteral("ModbusMaxClients"), line.modbus.maxClients);
    settings.setValue(QStringLiteral("ModbusAllow"),
                      line.modbus.allowedClients.join(QLatin1Char(',')));
    settings.setValue(QStringLiteral("MqttEnabled"), line.mqttEnabled);
    settings.setValue(QStringLiteral("MqttUrl"), line.mqtt.url);
    settings.setValue(QStringLiteral("MqttCaFile"), line.mqtt.caFile);
    settings.setValue(QStringLiteral("MqttCertFile"), line.mqtt.certFile);
    settings.setValue(QStringLiteral("MqttKeyFile"), line.mqtt.keyFile);
    settings.setValue(QStringLiteral("MqttCredentialsFile"), line.mqtt.credentialsFile);
    settings.setValue(QStringLiteral("MqttTopicPrefix"), line.mqtt.topicPrefix);
    settings.setValue(QStringLiteral("MqttQueue"), line.mqtt.queueLimit);
    settings.endGroup();
}

QString LineMenu::readRecipeFolder(QSettings& settings) {
    return settings.value(QStringLiteral("Line/RecipeFolder")).toString();
}

void LineMenu::writeRecipeFolder(QSettings& settings, const QString& folder) {
    settings.setValue(QStringLiteral("Line/RecipeFolder"), folder);
}

void LineMenu::applySettings() {
    link_.reset();
    claimPending_ = false;
    const LineSettings line = readSettings(settings_);
    recipeFolder_ = readRecipeFolder(settings_);
    if (line.modbusEnabled || line.mqttEnabled) {
        auto link = std::make_unique<LineLink>(line);
        QString error;
        if (link->start(&error)) {
            link_ = std::move(link);
            connect(link_.get(), &LineLink::linkChanged, this, &LineMenu::showLink);
            connect(link_.get(), &LineLink::recipeSlotRequested, this, &LineMenu::selectRecipeSlot);
            // The slot register follows the window's recipe, however it was chosen.
            link_->setRecipeSlot(window_.inspection().recipeSlot());
            connect(&window_, &frmMain::recipeApplied, link_.get(),
                    [this] { link_->setRecipeSlot(window_.inspection().recipeSlot()); });
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
    frmLineSettings dialog(readSettings(settings_), readRecipeFolder(settings_), &window_);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    writeSettings(settings_, dialog.settings());
    writeRecipeFolder(settings_, dialog.recipeFolder());
    applySettings();
}

void LineMenu::selectRecipeSlot(int slot) {
    if (!link_) {
        return;
    }
    // The recipe in use, asked for again: nothing to change, nothing wrong.
    if (slot == window_.inspection().recipeSlot()) {
        link_->setError(LineRegisters::Fault::None);
        return;
    }
    // The line waits for the answer: said in the status line, never in a box.
    const std::optional<RecipeFolder::Found> found = RecipeFolder::findSlot(recipeFolder_, slot);
    if (!found) {
        link_->setError(LineRegisters::Fault::UnknownRecipeSlot);
        window_.statusLine()->showMessage(
            tr("ライン: スロット %1 のレシピはありません。%2 のままです")
                .arg(slot)
                .arg(window_.inspection().recipeName()),
            15000);
        return;
    }
    window_.useRecipe(found->recipe); // which sets the slot register
    link_->setError(LineRegisters::Fault::None);
    window_.statusLine()->showMessage(
        tr("ライン: レシピ %1（スロット %2）").arg(found->recipe.name).arg(slot), 15000);
}
