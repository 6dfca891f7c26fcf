#pragma once

// A throwaway Mosquitto broker for tests: its own configuration in a temporary folder, on a
// free loopback port, persistent across restart() so that durable subscriptions survive.

// Standard library
#include <chrono>
#include <thread>

// System
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

// Qt
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>

namespace testutils {

inline int freeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

inline bool portAnswers(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

class MosquittoBroker {
public:
    static QString program() {
        const QString found = QStandardPaths::findExecutable(QStringLiteral("mosquitto"));
        return found.isEmpty() ? QStringLiteral("/usr/sbin/mosquitto") : found;
    }
    static bool installed() { return QFile::exists(program()); }

    // `extraLines`: more options for the listener (TLS's cafile, certfile, keyfile...).
    explicit MosquittoBroker(const QString& extraLines = QString()) : port_(freeLoopbackPort()) {
        const passwd* me = ::getpwuid(::geteuid());
        QFile conf(dir_.filePath(QStringLiteral("mosquitto.conf")));
        if (!conf.open(QIODevice::WriteOnly)) {
            return;
        }
        conf.write(QStringLiteral("user %1\n"
                                  "listener %2 127.0.0.1\n"
                                  "allow_anonymous true\n"
                                  "persistence true\n"
                                  "persistence_location %3/\n"
                                  "log_dest stderr\n"
                                  "max_queued_messages 100000\n%4")
                       .arg(QString::fromLocal8Bit(me ? me->pw_name : "root"))
                       .arg(port_)
                       .arg(dir_.path(), extraLines)
                       .toUtf8());
        conf.close();
        start();
    }
    ~MosquittoBroker() { stop(); }

    bool start() {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(program(),
                       {QStringLiteral("-c"), dir_.filePath(QStringLiteral("mosquitto.conf"))});
        if (!process_.waitForStarted(5000)) {
            return false;
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < deadline) {
            if (portAnswers(port_)) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    // SIGTERM: the broker saves its sessions and goes.
    void stop() {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(5000)) {
                process_.kill();
                process_.waitForFinished(2000);
            }
        }
    }
    bool running() const { return process_.state() == QProcess::Running; }
    int port() const { return port_; }
    QString folder() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
    int port_;
    QProcess process_;
};

} // namespace testutils
