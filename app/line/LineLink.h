#pragma once

// Standard library
#include <memory>

// Qt
#include <QObject>
#include <QString>

// Ours
#include "Judgement.h"
#include "JudgementMessage.h"
#include "LineRegisters.h"
#include "ModbusServer.h"
#include "MqttPublisher.h"
#include "TriggerGate.h"

// Everything the line link is told to do.
struct LineSettings {
    QString station;
    TriggerGate::Mode mode = TriggerGate::Mode::Continuous;
    bool modbusEnabled = false;
    ModbusServer::Settings modbus;
    bool mqttEnabled = false;
    MqttPublisher::Settings mqtt;
};

// The inspection's link to the line: the PLC's Modbus server, the plant's broker and the
// trigger. It publishes the judgements it is given, exactly as they were judged and recorded.
class LineLink : public QObject {
    Q_OBJECT

public:
    explicit LineLink(LineSettings settings, QObject* parent = nullptr);
    ~LineLink() override;

    // Starts the server and the publisher that are enabled; false with `error` when either
    // cannot start (nothing is left running then).
    bool start(QString* error);
    void stop();
    const LineSettings& settings() const { return settings_; }

    TriggerGate& gate() { return gate_; }
    // A trigger from this program (the window's トリガ); false when refused.
    bool trigger();

    // The judgement of a frame or image, after the recorder kept it (`kept`): to the PLC's
    // registers and the broker. In triggered mode only the judgement of the triggered frame
    // goes to the line: `lineJudgement` says it is that one.
    void publish(const Judgement& judgement, bool lineJudgement);
    // The judgement about to be published breaks these rules: its message carries them and
    // the alarm bit is set until a judgement breaks none.
    void raiseProcessAlarm(const QString& circle, const QList<int>& rules);
    // The triggered frame has been judged (or could not be): the gate opens again.
    void finishTrigger();

    void setCameraOk(bool ok);
    void setRecordOk(bool ok);
    void setReady(bool ready);
    void setRecipeSlot(int slot);
    void setError(LineRegisters::Fault error);

    bool brokerConnected() const { return publisher_ && publisher_->isConnected(); }
    int plcClients() const { return server_ ? server_->clientCount() : 0; }
    std::uint64_t droppedMessages() const { return publisher_ ? publisher_->dropped() : 0; }
    int modbusPort() const { return server_ ? server_->port() : 0; }

signals:
    // A trigger was taken (from the PLC, the broker or trigger()): the next frame is wanted.
    void triggered();
    // The PLC asks for the recipe in this slot.
    void recipeSlotRequested(int slot);
    // One line for the log per change: clients, broker, drops.
    void logLine(const QString& line);
    // The broker's connection or the PLC's clients changed.
    void linkChanged();

private:
    bool takeTrigger();
    void pushStatus();
    void refreshStatus();

    LineSettings settings_;
    TriggerGate gate_;
    std::unique_ptr<ModbusServer> server_;
    std::unique_ptr<MqttPublisher> publisher_;
    ModbusServer::Status status_;
    std::vector<JudgementMessage::CircleAlarm> pendingAlarms_;
};
