#pragma once

// Standard library
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <set>

// Qt
#include <QByteArray>
#include <QString>

struct mosquitto;
struct mosquitto_message;

// Publishes judgements to the plant's MQTT broker through libmosquitto, whose own thread
// keeps the connection and reconnects. Judging never waits for the broker: messages wait in a
// bounded queue and go out in order; beyond the bound the oldest are dropped and counted.
class MqttPublisher {
public:
    static constexpr int kDefaultQueueLimit = 10000;

    struct Settings {
        QString url;      // mqtt://host[:1883] or mqtts://host[:8883]
        QString caFile;   // mqtts: the certificate authority
        QString certFile; // optional client certificate and its key
        QString keyFile;
        QString credentialsFile; // optional: username= and password= lines, owner-only
        QString topicPrefix;     // ends with '/'
        QString clientId;
        int queueLimit = kDefaultQueueLimit;
    };

    struct Hooks {
        std::function<void(bool connected)> connectionChanged; // on libmosquitto's thread
        std::function<void()> trigger;                         // the same
        std::function<void(const QString& line)> log;
    };

    struct Credentials {
        QString username;
        QString password;
    };
    // Reads a credentials file; refused unless only its owner (this user) can read it.
    static std::optional<Credentials> readCredentials(const QString& path, QString* error);

    MqttPublisher(Settings settings, Hooks hooks);
    ~MqttPublisher();
    MqttPublisher(const MqttPublisher&) = delete;
    MqttPublisher& operator=(const MqttPublisher&) = delete;

    // Checks the settings and starts connecting; false with `error` when they are wrong.
    // An unreachable broker is not an error: it is tried again and again.
    bool start(QString* error);
    // Says offline, gives queued messages up to `grace` to go out, and disconnects.
    void stop(int graceMs = 500);

    // Queues one judgement message for …/judgement.
    void publish(QByteArray payload);

    bool isConnected() const { return connected_.load(); }
    std::uint64_t dropped() const;
    std::size_t waiting() const;
    QString judgementTopic() const { return settings_.topicPrefix + QStringLiteral("judgement"); }
    QString stateTopic() const { return settings_.topicPrefix + QStringLiteral("state"); }
    QString triggerTopic() const { return settings_.topicPrefix + QStringLiteral("trigger"); }

private:
    static void onConnect(mosquitto* client, void* self, int rc);
    static void onDisconnect(mosquitto* client, void* self, int rc);
    static void onPublish(mosquitto* client, void* self, int mid);
    static void onMessage(mosquitto* client, void* self, const mosquitto_message* message);
    void pump();
    void log(const QString& line) const;

    Settings settings_;
    Hooks hooks_;
    mosquitto* client_ = nullptr;
    std::atomic<bool> connected_{false};
    bool looping_ = false;

    mutable std::mutex mutex_;
    std::deque<QByteArray> queue_;
    std::set<int> inFlight_; // judgement messages handed to libmosquitto, not yet acknowledged
    std::uint64_t dropped_ = 0;
};
