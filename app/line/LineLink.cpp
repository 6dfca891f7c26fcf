#include "LineLink.h"

// Standard library
#include <utility>

// Qt
#include <QDateTime>
#include <QTimeZone>

// Ours
#include "JudgementMessage.h"
#include "LineSettingsRules.h"

LineLink::LineLink(LineSettings settings, QObject* parent)
    : QObject(parent), settings_(std::move(settings)), gate_(settings_.mode) {}

LineLink::~LineLink() {
    stop();
}

bool LineLink::start(QString* error) {
    stop();
    gate_.setMode(settings_.mode);
    // Hooks run on the server's and libmosquitto's threads: what the owner must hear goes
    // through queued signals.
    const auto logLater = [this](const QString& line) {
        QMetaObject::invokeMethod(
            this, [this, line] { emit logLine(line); }, Qt::QueuedConnection);
    };
    const auto changedLater = [this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                pushStatus();
                emit linkChanged();
            },
            Qt::QueuedConnection);
    };
    if (settings_.mqttEnabled) {
        MqttPublisher::Hooks hooks;
        hooks.log = logLater;
        hooks.connectionChanged = [changedLater](bool) {
            changedLater();
        };
        hooks.trigger = [this] {
            takeTrigger();
        };
        if (settings_.mqtt.topicPrefix.isEmpty()) {
            settings_.mqtt.topicPrefix = LineSettingsRules::defaultTopicPrefix(settings_.station);
        }
        if (settings_.mqtt.clientId.isEmpty()) {
            settings_.mqtt.clientId = QStringLiteral("gavrel-%1").arg(settings_.station);
        }
        publisher_ = std::make_unique<MqttPublisher>(settings_.mqtt, std::move(hooks));
        if (!publisher_->start(error)) {
            publisher_.reset();
            return false;
        }
    }
    if (settings_.modbusEnabled) {
        ModbusServer::Hooks hooks;
        hooks.log = [logLater, changedLater](const QString& line) {
            logLater(line);
            changedLater();
        };
        hooks.trigger = [this] {
            return takeTrigger();
        };
        hooks.recipeSlot = [this](int slot) {
            QMetaObject::invokeMethod(
                this, [this, slot] { emit recipeSlotRequested(slot); }, Qt::QueuedConnection);
        };
        server_ = std::make_unique<ModbusServer>(settings_.modbus, std::move(hooks));
        server_->setSelectedSlot(status_.recipeSlot);
        if (!server_->start(error)) {
            server_.reset();
            publisher_.reset();
            return false;
        }
        emit logLine(QStringLiteral("PLC link listening on %1:%2")
                         .arg(settings_.modbus.address)
                         .arg(server_->port()));
    }
    pushStatus();
    return true;
}

void LineLink::stop() {
    if (server_) {
        server_->stop();
        server_.reset();
    }
    if (publisher_) {
        publisher_->stop();
        publisher_.reset();
    }
}

bool LineLink::takeTrigger() {
    const bool taken = gate_.trigger();
    QMetaObject::invokeMethod(
        this,
        [this, taken] {
            pushStatus();
            if (taken) {
                emit triggered();
            }
        },
        Qt::QueuedConnection);
    return taken;
}

bool LineLink::trigger() {
    const bool taken = gate_.trigger();
    pushStatus();
    if (taken) {
        emit triggered();
    }
    return taken;
}

void LineLink::publish(const Judgement& judgement, bool lineJudgement) {
    const bool triggered = gate_.mode() == TriggerGate::Mode::Triggered;
    if (triggered && !lineJudgement) {
        return;
    }
    if (triggered) {
        // The gate opens as the result appears: a PLC that sees the new sequence number can
        // trigger again at once.
        gate_.finished();
    }
    const std::vector<JudgementMessage::CircleAlarm> alarms = std::exchange(pendingAlarms_, {});
    status_.processAlarm = !alarms.empty();
    if (server_) {
        refreshStatus();
        server_->publish(LineRegisters::encode(judgement), status_);
    }
    if (publisher_) {
        const QDateTime local = judgement.judgedAt.toLocalTime();
        publisher_->publish(
            JudgementMessage::encode(judgement, settings_.station, local.offsetFromUtc(), alarms));
    }
}

void LineLink::raiseProcessAlarm(const QString& circle, const QList<int>& rules) {
    pendingAlarms_.push_back({circle, rules});
}

void LineLink::finishTrigger() {
    gate_.finished();
    pushStatus();
}

void LineLink::setCameraOk(bool ok) {
    status_.cameraOk = ok;
    if (!ok) {
        status_.error = LineRegisters::Fault::CameraFailed;
    } else if (status_.error == LineRegisters::Fault::CameraFailed) {
        status_.error = LineRegisters::Fault::None;
    }
    pushStatus();
}

void LineLink::setRecordOk(bool ok) {
    status_.recordOk = ok;
    pushStatus();
}

void LineLink::setReady(bool ready) {
    status_.ready = ready;
    pushStatus();
}

void LineLink::setRecipeSlot(int slot) {
    status_.recipeSlot = static_cast<std::uint16_t>(std::clamp(slot, 0, 65535));
    if (server_) {
        server_->setSelectedSlot(slot);
    }
    pushStatus();
}

void LineLink::setError(LineRegisters::Fault error) {
    status_.error = error;
    pushStatus();
}

void LineLink::pushStatus() {
    refreshStatus();
    if (server_) {
        server_->setStatus(status_);
    }
}

void LineLink::refreshStatus() {
    status_.busy = gate_.busy();
    status_.refusedTriggers =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(gate_.refused(), 0xFFFFFFFFu));
    status_.brokerOk = publisher_ && publisher_->isConnected();
    status_.droppedMessages =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(droppedMessages(), 0xFFFFFFFFu));
    if (server_) {
        server_->setStatus(status_);
    }
}
