// Standard library
#include <cstdio>

// System
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

// Qt
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>

// Ours
#include "GavrelVersion.h"
#include "PelmintBinding.h"
#include "ProcessSignals.h"
#include "ProgramFolder.h"
#include "RuntimeError.h"
#include "Station.h"
#include "StationConfig.h"

namespace {

// sysexits: a configuration error, and a service that cannot be had.
constexpr int kExitConfig = 78;
constexpr int kExitUnavailable = 69;

int signalPipe[2] = {-1, -1};

void onSignal(int number) {
    const char byte = static_cast<char>(number);
    [[maybe_unused]] const ssize_t written = write(signalPipe[1], &byte, 1);
}

// One line per change, on standard error, as journald keeps it.
void logLine(const QString& line) {
    const QByteArray text =
        (QStringLiteral("gavrel-station: ") + line + QLatin1Char('\n')).toUtf8();
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stderr);
    std::fflush(stderr);
}

} // namespace

int main(int argc, char* argv[]) {
    ProcessSignals::ignoreFileSizeLimit();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("gavrel-station"));
    QCoreApplication::setOrganizationName(QStringLiteral("Gavrel"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(gavrel::kVersion));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Runs one inspection without a window and links it to the line."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption configOption(QStringLiteral("config"),
                                          QStringLiteral("The configuration file (default %1).")
                                              .arg(QLatin1String(StationConfig::kDefaultPath)),
                                          QStringLiteral("FILE"),
                                          QLatin1String(StationConfig::kDefaultPath));
    parser.addOption(configOption);
    parser.process(app);
    const QString configPath = parser.value(configOption);

    StationConfig::ReadResult read = StationConfig::read(configPath);
    if (!read.config) {
        logLine(read.error);
        return kExitConfig;
    }

    if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        logLine(QStringLiteral("cannot watch signals"));
        return kExitUnavailable;
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(number, &action, nullptr);
    }

    PelmintBinding pelmint(ProgramFolder::path());
    try {
        logLine(QStringLiteral("Pelmint %1").arg(pelmint.version()));
    } catch (const RuntimeError& failure) {
        logLine(QStringLiteral("Pelmint cannot be used: %1").arg(failure.what()));
        return kExitUnavailable;
    }

    Station station(pelmint);
    QObject::connect(&station, &Station::logLine, &logLine);
    QString error;
    if (!station.start(*read.config, &error)) {
        logLine(error);
        return kExitConfig;
    }

    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, [&] {
        char number = 0;
        while (::read(signalPipe[0], &number, 1) == 1) {
            if (number == SIGHUP) {
                StationConfig::ReadResult again = StationConfig::read(configPath);
                if (!again.config) {
                    logLine(QStringLiteral("configuration not re-read: %1; keeping the running one")
                                .arg(again.error));
                    continue;
                }
                logLine(QStringLiteral("configuration re-read"));
                const StationConfig previous = *read.config;
                if (station.start(*again.config, &error)) {
                    read = again;
                } else {
                    logLine(
                        QStringLiteral("%1; going on with the previous configuration").arg(error));
                    station.start(previous, &error);
                }
            } else {
                logLine(QStringLiteral("stopping"));
                QCoreApplication::quit();
            }
        }
    });
    logLine(QStringLiteral("running"));
    const int status = QCoreApplication::exec();
    station.stop();
    logLine(QStringLiteral("stopped"));
    return status;
}
