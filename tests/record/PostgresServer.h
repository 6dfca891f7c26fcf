#pragma once

// A throwaway PostgreSQL 15 cluster for tests: made with initdb in a temporary folder, run
// by an unprivileged user (the server refuses root), listening on a free local port, and
// stopped with the object.

// Standard library
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// Qt
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace testutils {

class PostgresServer {
public:
    static QString binFolder() { return QStringLiteral("/usr/lib/postgresql/15/bin"); }
    static bool installed() { return QFile::exists(binFolder() + QStringLiteral("/initdb")); }

    PostgresServer() : dir_(QStringLiteral("/tmp/gavrel-pg-XXXXXX")), port_(freePort()) {
        if (!dir_.isValid() || !installed()) {
            error_ = QStringLiteral("no temporary folder or no PostgreSQL 15 binaries");
            return;
        }
        if (::geteuid() == 0 &&
            ::chown(dir_.path().toLocal8Bit().constData(), kNobody, kNoGroup) != 0) {
            error_ = QStringLiteral("cannot hand the folder to nobody");
            return;
        }
        if (!run(QStringLiteral("initdb"),
                 {QStringLiteral("-D"), dataFolder(), QStringLiteral("-U"), user(),
                  QStringLiteral("--auth=trust"), QStringLiteral("-E"), QStringLiteral("UTF8"),
                  QStringLiteral("--locale=C.UTF-8"), QStringLiteral("--no-sync")})) {
            return;
        }
        start();
    }
    ~PostgresServer() { stop(); }
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    bool start() {
        running_ = run(QStringLiteral("pg_ctl"),
                       {QStringLiteral("-D"), dataFolder(), QStringLiteral("-l"),
                        dir_.filePath(QStringLiteral("server.log")), QStringLiteral("-w"),
                        QStringLiteral("-o"),
                        QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off")
                            .arg(port_)
                            .arg(dir_.path()),
                        QStringLiteral("start")});
        return running_;
    }

    bool stop() {
        if (!running_) {
            return true;
        }
        running_ = !run(QStringLiteral("pg_ctl"),
                        {QStringLiteral("-D"), dataFolder(), QStringLiteral("-m"),
                         QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("stop")});
        return !running_;
    }

    // Stops (SIGSTOP) or resumes (SIGCONT) the server and every process of it, as a server
    // that hangs would: connections stay open and nothing answers.
    bool freeze(bool frozen) {
        QFile pidFile(dataFolder() + QStringLiteral("/postmaster.pid"));
        if (!pidFile.open(QIODevice::ReadOnly)) {
            return false;
        }
        const pid_t postmaster = pidFile.readLine().trimmed().toInt();
        if (postmaster <= 0) {
            return false;
        }
        const int signal = frozen ? SIGSTOP : SIGCONT;
        for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            bool number = false;
            const pid_t pid = entry.toInt(&number);
            if (!number || pid == postmaster) {
                continue;
            }
            QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
            if (stat.open(QIODevice::ReadOnly)) {
                const QByteArray text = stat.readAll();
                const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
                if (fields.size() > 1 && fields[1].toInt() == postmaster) {
                    ::kill(pid, signal);
                }
            }
        }
        return ::kill(postmaster, signal) == 0;
    }

    bool isRunning() const { return running_; }
    QString error() const { return error_; }
    int port() const { return port_; }
    static QString user() { return QStringLiteral("gavrel"); }
    QString url() const {
        return QStringLiteral("postgresql://%1@127.0.0.1:%2/postgres").arg(user()).arg(port_);
    }

private:
    static constexpr uid_t kNobody = 65534;
    static constexpr gid_t kNoGroup = 65534;

    QString dataFolder() const { return dir_.filePath(QStringLiteral("data")); }

    static int freePort() {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        int port = 0;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            port = ntohs(address.sin_port);
        }
        ::close(fd);
        return port;
    }

    bool run(const QString& tool, const QStringList& arguments) {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        const QString program = binFolder() + u'/' + tool;
        if (::geteuid() == 0) {
            QStringList asNobody{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                 QStringLiteral("--clear-groups"), program};
            process.start(QStringLiteral("setpriv"), asNobody + arguments);
        } else {
            process.start(program, arguments);
        }
        if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit ||
            process.exitCode() != 0) {
            error_ = tool + QStringLiteral(": ") + QString::fromLocal8Bit(process.readAll());
            return false;
        }
        return true;
    }

    QTemporaryDir dir_;
    int port_ = 0;
    bool running_ = false;
    QString error_;
};

} // namespace testutils
