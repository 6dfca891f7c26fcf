#pragma once

// Standard library
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// Qt
#include <QString>
#include <QStringList>

// Ours
#include "LineRegisters.h"

struct _modbus;
struct _modbus_mapping_t;

// A Modbus TCP server for the line's PLC on a thread of its own. The result registers and
// the sequence number change together, under one lock, so a PLC that reads the sequence first
// and last never mixes two judgements. A client that stops reading, sends a broken frame or
// stalls mid-frame loses its connection, never the station's time.
class ModbusServer {
public:
    struct Settings {
        QString address = QStringLiteral("127.0.0.1");
        int port = 502;
        int unitId = 1;
        int maxClients = 8;
        QStringList allowedClients;                   // empty: any address
        std::chrono::milliseconds frameTimeout{1000}; // a frame begun must be complete by then
    };

    // What the server tells its owner, on the server's thread.
    struct Hooks {
        // True when the trigger is taken; the busy bit is set at once then. Called under the
        // server's lock: it must not call back into the server.
        std::function<bool()> trigger;
        std::function<void(int slot)> recipeSlot;
        std::function<void(const QString& line)> log;
    };

    // Status bits and counters outside the judgement.
    struct Status {
        bool ready = false;
        bool busy = false;
        bool cameraOk = false;
        bool recordOk = false;
        bool brokerOk = false;
        bool processAlarm = false;
        LineRegisters::Fault error = LineRegisters::Fault::None;
        std::uint16_t recipeSlot = 0;
        std::uint32_t refusedTriggers = 0;
        std::uint32_t droppedMessages = 0;
    };

    ModbusServer(Settings settings, Hooks hooks);
    ~ModbusServer();
    ModbusServer(const ModbusServer&) = delete;
    ModbusServer& operator=(const ModbusServer&) = delete;

    // Binds and starts serving; false with `error` set when the address cannot be bound.
    bool start(QString* error);
    void stop();
    // The port bound (useful with port 0).
    int port() const { return boundPort_; }
    int clientCount() const { return clients_.load(); }

    // A judgement's registers, all at once, with the status that goes with it (busy ends
    // with the triggered judgement's result, not before or after it).
    void publish(const LineRegisters::Result& result, const Status& status);
    void setStatus(const Status& status);
    // What the holding register says now (the PLC may have written it).
    int selectedSlot() const;
    void setSelectedSlot(int slot);

private:
    struct Connection;
    void run();
    void acceptClient(std::vector<Connection>& connections);
    // False when the connection must close.
    bool readFrom(Connection& connection);
    bool answer(Connection& connection, const std::uint8_t* frame, int length);
    void afterWrites(int function);
    void applyStatusLocked();
    void log(const QString& line) const;

    Settings settings_;
    Hooks hooks_;
    _modbus* context_ = nullptr;
    _modbus_mapping_t* mapping_ = nullptr;
    int listener_ = -1;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    int boundPort_ = 0;
    std::atomic<int> clients_{0};
    std::atomic<bool> stopping_{false};
    std::thread worker_;

    mutable std::mutex mutex_; // the mapping, the status and the result
    Status status_;
    LineRegisters::Result result_;
    bool resultValid_ = false;
    std::uint16_t lastSlot_ = 0;
};
