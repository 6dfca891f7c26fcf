// The line link's figures, side by side in one run:
//   trigger to result   a separate Modbus client writes the trigger coil and polls the sequence
//                        number of a running gavrel-station (test pattern at 60 fps)
//   judgement to MQTT   a judgement published through the line link until a subscriber has it
//   continuous mode     gavrel-station judging 60 fps, publishing QoS 1, recording to SQLite:
//                        its CPU share and resident memory over the run
// Usage: LineBench [triggers=1000] [continuous judgements=3600]

// Standard library
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

// System
#include <csignal>
#include <unistd.h>

// Qt
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

// libmodbus, libmosquitto
#include <modbus/modbus.h>
#include <mosquitto.h>

// Ours
#include "JudgementMessage.h"
#include "LineRegisters.h"
#include "MqttPublisher.h"
#include "line/MosquittoBroker.h"

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

double percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(bytes);
    }
}

QString stationConfig(const QTemporaryDir& dir, const QString& mode, int modbusPort,
                      int brokerPort) {
    writeFile(dir.filePath("cap.gavrel-recipe"),
              R"({"format":"gavrel-recipe","version":1,"name":"cap","slot":1,)"
              R"("circle":{"x":256,"y":240,"r":60},"standard":60,"tolerance":20})");
    writeFile(dir.filePath("camera.ini"), "[Video]\nPipeline=videotestsrc pattern=ball "
                                          "is-live=true ! video/x-raw,framerate=60/1\n");
    const QString path = dir.filePath(mode + ".conf");
    writeFile(path, QStringLiteral("[station]\nname=bench\nmode=%1\nrecipe=%2\ncamera=%3\n"
                                   "record=sqlite://%4\nstate=%5\n[modbus]\nenabled=true\n"
                                   "port=%6\n[mqtt]\nenabled=true\nurl=mqtt://127.0.0.1:%7\n")
                        .arg(mode, dir.filePath("cap.gavrel-recipe"), dir.filePath("camera.ini"),
                             dir.filePath(mode + ".sqlite"), dir.filePath("state-" + mode))
                        .arg(modbusPort)
                        .arg(brokerPort)
                        .toUtf8());
    return path;
}

bool waitForPort(int port) {
    const auto deadline = Clock::now() + 15s;
    while (Clock::now() < deadline) {
        if (testutils::portAnswers(port)) {
            return true;
        }
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

// A subscriber of its own, counting messages and noting when each came.
struct Subscriber {
    mosquitto* client = nullptr;
    std::atomic<long> count{0};
    std::atomic<bool> subscribed{false};
    std::vector<Clock::time_point> arrivals;
    std::mutex mutex;

    Subscriber(int port, const char* topic) {
        client = mosquitto_new(nullptr, true, this);
        mosquitto_subscribe_callback_set(client, [](mosquitto*, void* self, int, int, const int*) {
            static_cast<Subscriber*>(self)->subscribed = true;
        });
        mosquitto_message_callback_set(client,
                                       [](mosquitto*, void* self, const mosquitto_message*) {
                                           auto* s = static_cast<Subscriber*>(self);
                                           const Clock::time_point now = Clock::now();
                                           const std::lock_guard lock(s->mutex);
                                           s->arrivals.push_back(now);
                                           ++s->count;
                                       });
        mosquitto_connect(client, "127.0.0.1", port, 30);
        mosquitto_subscribe(client, nullptr, topic, 1);
        mosquitto_loop_start(client);
        const auto deadline = Clock::now() + 5s;
        while (!subscribed && Clock::now() < deadline) {
            std::this_thread::sleep_for(5ms);
        }
    }
    ~Subscriber() {
        mosquitto_disconnect(client);
        mosquitto_loop_stop(client, true);
        mosquitto_destroy(client);
    }
};

struct ProcessUse {
    double cpuSeconds = 0;
    long rssKb = 0;
    // Of the resident memory, what the process allocated itself; the rest is mapped files
    // (libraries), whose pages come in as code paths are first run.
    long anonymousKb = 0;
};

ProcessUse useOf(qint64 pid) {
    ProcessUse use;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (stat.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> fields = stat.readAll().split(' ');
        const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
        if (fields.size() > 23) {
            use.cpuSeconds = (fields[13].toDouble() + fields[14].toDouble()) / tick;
            use.rssKb = fields[23].toLong() * sysconf(_SC_PAGESIZE) / 1024;
        }
    }
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("RssAnon:")) {
                use.anonymousKb = line.mid(8).trimmed().split(' ').value(0).toLong();
            }
        }
    }
    return use;
}

void triggerToResult(int triggers, int brokerPort) {
    QTemporaryDir dir;
    const int port = testutils::freeLoopbackPort();
    QProcess station;
    station.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    station.start(QStringLiteral(GAVREL_STATION_PROGRAM),
                  {"--config", stationConfig(dir, "triggered", port, brokerPort)});
    if (!waitForPort(port)) {
        std::printf("trigger to result: the station did not start\n");
        return;
    }
    std::this_thread::sleep_for(1s); // the camera's first frames
    modbus_t* plc = modbus_new_tcp("127.0.0.1", port);
    modbus_connect(plc);
    std::vector<double> latencies;
    std::uint32_t last = 0;
    std::uint16_t r[2];
    if (modbus_read_input_registers(plc, 0, 2, r) == 2) {
        last = (std::uint32_t{r[0]} << 16) | r[1];
    }
    for (int i = 0; i < triggers; ++i) {
        const Clock::time_point begun = Clock::now();
        if (modbus_write_bit(plc, LineRegisters::kTriggerCoil, 1) != 1) {
            continue;
        }
        std::uint32_t sequence = last;
        while (sequence == last && Clock::now() - begun < 2s) {
            if (modbus_read_input_registers(plc, 0, 2, r) == 2) {
                sequence = (std::uint32_t{r[0]} << 16) | r[1];
            }
        }
        if (sequence != last) {
            latencies.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - begun).count());
            last = sequence;
        }
    }
    modbus_close(plc);
    modbus_free(plc);
    station.terminate();
    station.waitForFinished(5000);
    std::printf("trigger to result (%zu of %d triggers, 60 fps):  median %.2f ms  p99 %.2f ms"
                "  (targets: %.2f ms, %.2f ms)\n",
                latencies.size(), triggers, percentile(latencies, 0.5), percentile(latencies, 0.99),
                1000.0 / 60 + 2, 2000.0 / 60 + 5);
    std::fflush(stdout);
}

void judgementToMessage(int brokerPort) {
    Subscriber subscriber(brokerPort, "gavrel/bench-direct/judgement");
    MqttPublisher::Settings settings;
    settings.url = QStringLiteral("mqtt://127.0.0.1:%1").arg(brokerPort);
    settings.topicPrefix = QStringLiteral("gavrel/bench-direct/");
    settings.clientId = QStringLiteral("bench-direct");
    MqttPublisher publisher(settings, {});
    QString error;
    publisher.start(&error);
    const auto deadline = Clock::now() + 5s;
    while (!publisher.isConnected() && Clock::now() < deadline) {
        std::this_thread::sleep_for(5ms);
    }
    Judgement judgement;
    judgement.judgedAt = QDateTime::currentDateTimeUtc();
    CircleJudgement circle;
    circle.name = QStringLiteral("1");
    circle.verdict = Verdict::OK;
    circle.mean = 128.5;
    circle.statistics = PixelStatistics{11304, 128.5, 3.2, 100, 150};
    judgement.circles.push_back(circle);
    std::vector<double> latencies;
    constexpr int kMessages = 1000;
    for (int i = 0; i < kMessages; ++i) {
        judgement.sequence = static_cast<quint64>(i + 1);
        const long before = subscriber.count.load();
        const Clock::time_point begun = Clock::now();
        publisher.publish(JudgementMessage::encode(judgement, QStringLiteral("bench"), 32400));
        while (subscriber.count.load() == before && Clock::now() - begun < 2s) {
        }
        {
            const std::lock_guard lock(subscriber.mutex);
            latencies.push_back(
                std::chrono::duration<double, std::milli>(subscriber.arrivals.back() - begun)
                    .count());
        }
        std::this_thread::sleep_for(16ms); // at the camera's pace
    }
    publisher.stop();
    std::printf("judgement to MQTT message (%d, QoS 1):  median %.3f ms  p99 %.3f ms  "
                "(target p99 < 5 ms)\n",
                kMessages, percentile(latencies, 0.5), percentile(latencies, 0.99));
    std::fflush(stdout);
}

void continuous(long judgements, int brokerPort) {
    QTemporaryDir dir;
    Subscriber subscriber(brokerPort, "gavrel/bench/judgement");
    const int port = testutils::freeLoopbackPort();
    QProcess station;
    station.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    station.start(QStringLiteral(GAVREL_STATION_PROGRAM),
                  {"--config", stationConfig(dir, "continuous", port, brokerPort)});
    if (!station.waitForStarted(5000) || !waitForPort(port)) {
        std::printf("continuous: the station did not start\n");
        return;
    }
    // Measured from the first messages on, so that start-up is not counted.
    while (subscriber.count.load() < 120 && station.state() == QProcess::Running) {
        std::this_thread::sleep_for(10ms);
    }
    const ProcessUse start = useOf(station.processId());
    const Clock::time_point begun = Clock::now();
    const long counted = subscriber.count.load();
    long peakRss = start.rssKb;
    // Resident memory at every tenth of the run, so that a slow climb shows.
    long nextMark = judgements / 10;
    std::printf("continuous: at 0 judgements RSS %ld kB, of it anonymous %ld kB\n", start.rssKb,
                start.anonymousKb);
    std::fflush(stdout);
    while (subscriber.count.load() - counted < judgements && station.state() == QProcess::Running) {
        std::this_thread::sleep_for(1s);
        const ProcessUse now = useOf(station.processId());
        peakRss = std::max(peakRss, now.rssKb);
        const long done = subscriber.count.load() - counted;
        if (nextMark > 0 && done >= nextMark) {
            std::printf("continuous: at %ld judgements RSS %ld kB, of it anonymous %ld kB\n", done,
                        now.rssKb, now.anonymousKb);
            std::fflush(stdout);
            nextMark += judgements / 10;
        }
    }
    const ProcessUse end = useOf(station.processId());
    const double seconds = std::chrono::duration<double>(Clock::now() - begun).count();
    const long received = subscriber.count.load() - counted;
    station.terminate();
    station.waitForFinished(5000);
    std::printf("continuous 60 fps, QoS 1 + SQLite (%ld judgements in %.0f s, %.1f/s):  CPU %.1f%% "
                "of a core  RSS %ld kB at start, %ld kB at end, %ld kB peak  (target < 50%%, "
                "flat)\n",
                received, seconds, static_cast<double>(received) / seconds,
                100.0 * (end.cpuSeconds - start.cpuSeconds) / seconds, start.rssKb, end.rssKb,
                peakRss);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int triggers = argc > 1 ? std::atoi(argv[1]) : 1000;
    const long judgements = argc > 2 ? std::atol(argv[2]) : 3600;
    mosquitto_lib_init();
    // As a plant's broker should be set for prompt delivery.
    testutils::MosquittoBroker broker(QStringLiteral("set_tcp_nodelay true\n"));
    if (!broker.running()) {
        std::printf("no broker\n");
        return 1;
    }
    if (triggers > 0) {
        triggerToResult(triggers, broker.port());
    }
    judgementToMessage(broker.port());
    if (judgements > 0) {
        continuous(judgements, broker.port());
    }
    mosquitto_lib_cleanup();
    return 0;
}
