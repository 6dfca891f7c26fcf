#include "MqttPublisher.h"

// Standard library
#include <chrono>
#include <thread>

// System
#include <sys/stat.h>
#include <unistd.h>

// Qt
#include <QFile>
#include <QUrl>

// libmosquitto
#include <mosquitto.h>

// Ours
#include "LineSettingsRules.h"

namespace {

// Messages handed to libmosquitto at once; the rest wait in the queue, where they can be
// counted and dropped.
constexpr int kWindow = 20;
constexpr int kKeepAliveSeconds = 5;

struct LibraryInit {
    LibraryInit() { mosquitto_lib_init(); }
    ~LibraryInit() { mosquitto_lib_cleanup(); }
};

void initLibrary() {
    static LibraryInit init;
}

QString mosquittoText(int rc) {
    return QString::fromUtf8(mosquitto_strerror(rc));
}

} // namespace

std::optional<MqttPublisher::Credentials> MqttPublisher::readCredentials(const QString& path,
                                                                         QString* error) {
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (stat(name.constData(), &info) != 0) {
        *error = QStringLiteral("credentials file %1 cannot be read").arg(path);
        return std::nullopt;
    }
    if ((info.st_mode & 077) != 0 || info.st_uid != geteuid()) {
        *error = QStringLiteral("credentials file %1 is accessible by others (mode %2); it must "
                                "belong to this user and be readable only by it (chmod 600)")
                     .arg(path)
                     .arg(info.st_mode & 0777, 4, 8, QLatin1Char('0'));
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > 64 * 1024) {
        *error = QStringLiteral("credentials file %1 cannot be read").arg(path);
        return std::nullopt;
    }
    Credentials credentials;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QByteArray line = raw.trimmed();
        const qsizetype equals = line.indexOf('=');
        if (line.isEmpty() || line.startsWith('#') || equals < 0) {
            continue;
        }
        const QByteArray key = line.left(equals).trimmed();
        const QString value = QString::fromUtf8(line.mid(equals + 1).trimmed());
        if (key == "username") {
            credentials.username = value;
        } else if (key == "password") {
            credentials.password = value;
        }
    }
    if (credentials.username.isEmpty()) {
        *error = QStringLiteral("credentials file %1 has no username= line").arg(path);
        return std::nullopt;
    }
    return credentials;
}

MqttPublisher::MqttPublisher(Settings settings, Hooks hooks)
    : settings_(std::move(settings)), hooks_(std::move(hooks)) {}

MqttPublisher::~MqttPublisher() {
    stop(0);
}

void MqttPublisher::log(const QString& line) const {
    if (hooks_.log) {
        hooks_.log(line);
    }
}

bool MqttPublisher::start(QString* error) {
    if (QString wrong = LineSettingsRules::brokerUrlError(settings_.url); !wrong.isEmpty()) {
        *error = wrong;
        return false;
    }
    if (QString wrong = LineSettingsRules::brokerTlsError(settings_.url, settings_.caFile);
        !wrong.isEmpty()) {
        *error = wrong;
        return false;
    }
    const QUrl url(settings_.url, QUrl::StrictMode);
    const bool tls = url.scheme() == QLatin1String("mqtts");
    if (settings_.queueLimit < 1) {
        *error = QStringLiteral("queue limit %1: must be at least 1").arg(settings_.queueLimit);
        return false;
    }
    std::optional<Credentials> credentials;
    if (!settings_.credentialsFile.isEmpty()) {
        credentials = readCredentials(settings_.credentialsFile, error);
        if (!credentials) {
            return false;
        }
    }
    initLibrary();
    client_ = mosquitto_new(settings_.clientId.toUtf8().constData(), true, this);
    if (!client_) {
        *error = QStringLiteral("MQTT client cannot be created");
        return false;
    }
    mosquitto_connect_callback_set(client_, &MqttPublisher::onConnect);
    mosquitto_disconnect_callback_set(client_, &MqttPublisher::onDisconnect);
    mosquitto_publish_callback_set(client_, &MqttPublisher::onPublish);
    mosquitto_message_callback_set(client_, &MqttPublisher::onMessage);
    mosquitto_max_inflight_messages_set(client_, kWindow);
    // A judgement is one small packet: sent at once, not held back to join the next.
    mosquitto_int_option(client_, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_reconnect_delay_set(client_, 1, 4, true);
    const QByteArray state = stateTopic().toUtf8();
    mosquitto_will_set(client_, state.constData(), 7, "offline", 1, true);
    if (credentials) {
        mosquitto_username_pw_set(client_, credentials->username.toUtf8().constData(),
                                  credentials->password.toUtf8().constData());
    }
    if (tls) {
        const QByteArray ca = QFile::encodeName(settings_.caFile);
        const QByteArray cert = QFile::encodeName(settings_.certFile);
        const QByteArray key = QFile::encodeName(settings_.keyFile);
        const int rc = mosquitto_tls_set(client_, ca.constData(), nullptr,
                                         cert.isEmpty() ? nullptr : cert.constData(),
                                         key.isEmpty() ? nullptr : key.constData(), nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            *error = QStringLiteral("TLS files (CA %1, certificate %2): %3")
                         .arg(settings_.caFile, settings_.certFile, mosquittoText(rc));
            stop(0);
            return false;
        }
    }
    const int port = url.port(tls ? 8883 : 1883);
    const int rc =
        mosquitto_connect_async(client_, url.host().toUtf8().constData(), port, kKeepAliveSeconds);
    if (rc != MOSQ_ERR_SUCCESS && rc != MOSQ_ERR_ERRNO) {
        *error = QStringLiteral("broker %1: %2").arg(settings_.url, mosquittoText(rc));
        stop(0);
        return false;
    }
    if (rc == MOSQ_ERR_ERRNO) {
        log(QStringLiteral("broker %1 not reachable yet; retrying").arg(settings_.url));
    }
    mosquitto_loop_start(client_);
    looping_ = true;
    return true;
}

void MqttPublisher::stop(int graceMs) {
    if (!client_) {
        return;
    }
    if (connected_) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs);
        while (std::chrono::steady_clock::now() < deadline && waiting() > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        const QByteArray state = stateTopic().toUtf8();
        int mid = 0;
        mosquitto_publish(client_, &mid, state.constData(), 7, "offline", 1, true);
        std::this_thread::sleep_for(std::chrono::milliseconds(graceMs > 0 ? 20 : 0));
    }
    mosquitto_disconnect(client_);
    if (looping_) {
        mosquitto_loop_stop(client_, true);
        looping_ = false;
    }
    mosquitto_destroy(client_);
    client_ = nullptr;
    connected_ = false;
}

void MqttPublisher::publish(QByteArray payload) {
    {
        const std::lock_guard lock(mutex_);
        queue_.push_back(std::move(payload));
        const std::size_t held = queue_.size() + inFlight_.size();
        if (held > static_cast<std::size_t>(settings_.queueLimit) && !queue_.empty()) {
            queue_.pop_front();
            if (++dropped_ == 1 || dropped_ % 1000 == 0) {
                log(QStringLiteral("broker: %1 messages dropped, queue full (%2)")
                        .arg(dropped_)
                        .arg(settings_.queueLimit));
            }
        }
    }
    pump();
}

std::uint64_t MqttPublisher::dropped() const {
    const std::lock_guard lock(mutex_);
    return dropped_;
}

std::size_t MqttPublisher::waiting() const {
    const std::lock_guard lock(mutex_);
    return queue_.size() + inFlight_.size();
}

void MqttPublisher::pump() {
    if (!client_ || !connected_) {
        return;
    }
    const QByteArray topic = judgementTopic().toUtf8();
    // Held while handing over, so that the acknowledgement (on libmosquitto's thread) finds
    // its message in flight; libmosquitto takes none of its callback locks to publish.
    const std::lock_guard lock(mutex_);
    while (connected_ && !queue_.empty() && inFlight_.size() < kWindow) {
        const QByteArray& payload = queue_.front();
        int mid = 0;
        const int rc =
            mosquitto_publish(client_, &mid, topic.constData(), static_cast<int>(payload.size()),
                              payload.constData(), 1, false);
        if (rc != MOSQ_ERR_SUCCESS) {
            return;
        }
        queue_.pop_front();
        inFlight_.insert(mid);
    }
}

void MqttPublisher::onConnect(mosquitto* client, void* self, int rc) {
    auto* publisher = static_cast<MqttPublisher*>(self);
    if (rc != 0) {
        publisher->log(
            QStringLiteral("broker %1 refused the connection: %2")
                .arg(publisher->settings_.url, QString::fromUtf8(mosquitto_connack_string(rc))));
        return;
    }
    const QByteArray state = publisher->stateTopic().toUtf8();
    const QByteArray trigger = publisher->triggerTopic().toUtf8();
    mosquitto_publish(client, nullptr, state.constData(), 6, "online", 1, true);
    mosquitto_subscribe(client, nullptr, trigger.constData(), 1);
    publisher->connected_ = true;
    publisher->log(QStringLiteral("broker %1 connected").arg(publisher->settings_.url));
    if (publisher->hooks_.connectionChanged) {
        publisher->hooks_.connectionChanged(true);
    }
    bool resending = false;
    {
        const std::lock_guard lock(publisher->mutex_);
        resending = !publisher->inFlight_.empty();
    }
    // Messages still unacknowledged go again first (libmosquitto resends them); the queue
    // follows as they are acknowledged.
    if (!resending) {
        publisher->pump();
    }
}

void MqttPublisher::onDisconnect(mosquitto*, void* self, int rc) {
    auto* publisher = static_cast<MqttPublisher*>(self);
    const bool was = publisher->connected_.exchange(false);
    if (was) {
        publisher->log(QStringLiteral("broker %1 disconnected%2")
                           .arg(publisher->settings_.url,
                                rc == 0 ? QString() : QStringLiteral(": ") + mosquittoText(rc)));
        if (publisher->hooks_.connectionChanged) {
            publisher->hooks_.connectionChanged(false);
        }
    }
}

void MqttPublisher::onPublish(mosquitto*, void* self, int mid) {
    auto* publisher = static_cast<MqttPublisher*>(self);
    {
        const std::lock_guard lock(publisher->mutex_);
        publisher->inFlight_.erase(mid);
    }
    publisher->pump();
}

void MqttPublisher::onMessage(mosquitto*, void* self, const mosquitto_message* message) {
    auto* publisher = static_cast<MqttPublisher*>(self);
    if (publisher->hooks_.trigger && message->topic &&
        QString::fromUtf8(message->topic) == publisher->triggerTopic()) {
        publisher->hooks_.trigger();
    }
}
