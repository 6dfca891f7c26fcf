// Standard library
#include <chrono>
#include <thread>

// System
#include <csignal>
#include <sys/stat.h>

// Google Test
#include <gtest/gtest.h>

// Qt
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>

// libmodbus
#include <modbus/modbus.h>

// Ours
#include "LineRegisters.h"
#include "line/MosquittoBroker.h"

using namespace std::chrono_literals;

namespace {

const QString kProgram = QStringLiteral(GAVREL_STATION_PROGRAM);

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A station's folder: a recipe, a 60 fps test pattern and a configuration built from lines.
class StationFolder {
public:
    StationFolder() {
        writeFile(path("cap.gavrel-recipe"),
                  R"({"format":"gavrel-recipe","version":1,"name":"cap","slot":3,)"
                  R"("circle":{"x":256,"y":240,"r":40},"standard":16,"tolerance":5})");
        QDir().mkpath(path("recipes"));
        writeFile(path("recipes/a.gavrel-recipe"),
                  R"({"format":"gavrel-recipe","version":1,"name":"a","slot":3,)"
                  R"("circle":{"x":256,"y":240,"r":40},"standard":16,"tolerance":5})");
        writeFile(path("recipes/b.gavrel-recipe"),
                  R"({"format":"gavrel-recipe","version":1,"name":"b","slot":7,)"
                  R"("circle":{"x":100,"y":100,"r":30},"standard":200,"tolerance":5})");
        writeFile(path("camera.ini"), "[Video]\nPipeline=videotestsrc pattern=black is-live=true "
                                      "! video/x-raw,framerate=60/1\n");
    }
    QString path(const QString& name) const { return dir_.filePath(name); }
    // Each call writes a configuration of its own, unless `name` is given.
    QString config(const QString& extra, const QString& mode = QStringLiteral("triggered"),
                   QString name = QString()) {
        if (name.isEmpty()) {
            name = QStringLiteral("station-%1.conf").arg(++written_);
        }
        const QString file = path(name);
        writeFile(file, QStringLiteral("[station]\nname=line-1\nmode=%1\nrecipe=%2\ncamera=%3\n"
                                       "record=sqlite://%4\nstate=%5\n%6")
                            .arg(mode, path("cap.gavrel-recipe"), path("camera.ini"),
                                 path("records.sqlite"), path("state"), extra)
                            .toUtf8());
        return file;
    }

private:
    QTemporaryDir dir_;
    int written_ = 0;
};

struct Station {
    QProcess process;
    QString log;
    explicit Station(const QString& config) {
        process.setProcessChannelMode(QProcess::SeparateChannels);
        process.start(kProgram, {QStringLiteral("--config"), config});
        process.waitForStarted(5000);
    }
    ~Station() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    // Waits until the log holds `text`.
    bool logs(const QString& text, std::chrono::milliseconds timeout = 10s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!log.contains(text) && std::chrono::steady_clock::now() < deadline) {
            process.waitForReadyRead(50);
            log += QString::fromUtf8(process.readAllStandardError());
            if (process.state() == QProcess::NotRunning) {
                log += QString::fromUtf8(process.readAllStandardError());
                break;
            }
        }
        return log.contains(text);
    }
    void signal(int number) { ::kill(static_cast<pid_t>(process.processId()), number); }
};

} // namespace

TEST(GavrelStation, ABrokenConfigurationNamesTheKeyAndExits78) {
    StationFolder folder;
    const QString creds = folder.path("credentials");
    writeFile(creds, "username=u\npassword=secret\n");
    ::chmod(QFile::encodeName(creds).constData(), 0644);
    struct Case {
        const char* what;
        QString config;
        QString message;
    };
    const Case cases[] = {
        {"missing file", folder.path("none.conf"), "cannot be read"},
        {"unknown mode", folder.config("", "sometimes"), "station/mode"},
        {"port out of range", folder.config("[modbus]\nenabled=true\nport=70000\n"), "modbus/port"},
        {"not a flag", folder.config("[mqtt]\nenabled=maybe\n"), "mqtt/enabled"},
        {"credentials others can read",
         folder.config(QStringLiteral("[mqtt]\nenabled=true\nurl=mqtt://127.0.0.1:1\n"
                                      "credentials_file=%1\n")
                           .arg(creds)),
         "chmod 600"},
        {"bad broker URL", folder.config("[mqtt]\nenabled=true\nurl=http://x\n"), "broker URL"},
        {"TLS without a CA file", folder.config("[mqtt]\nenabled=true\nurl=mqtts://x:8883\n"),
         "mqtt/ca_file"},
        {"a wildcard in the topic prefix",
         folder.config("[mqtt]\nenabled=true\ntopic_prefix=plant/+\n"), "mqtt/topic_prefix"},
        {"an allowed client that is not an address",
         folder.config("[modbus]\nallow=\"127.0.0.1, plc-1\"\n"), "modbus/allow"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QProcess process;
        process.start(kProgram, {QStringLiteral("--config"), c.config});
        ASSERT_TRUE(process.waitForFinished(10000));
        const QString err = QString::fromUtf8(process.readAllStandardError());
        EXPECT_EQ(process.exitCode(), 78) << err.toStdString();
        EXPECT_TRUE(err.contains(c.message)) << err.toStdString();
        EXPECT_FALSE(err.contains("secret"));
    }
    // The missing recipe key is named too.
    writeFile(folder.path("norecipe.conf"), "[station]\nname=x\n");
    QProcess process;
    process.start(kProgram, {QStringLiteral("--config"), folder.path("norecipe.conf")});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 78);
    EXPECT_TRUE(process.readAllStandardError().contains("station/recipe"));
}

TEST(GavrelStation, TriggeredJudgementReachesThePlcTheBrokerAndTheRecordAsOne) {
    if (!testutils::MosquittoBroker::installed()) {
        GTEST_SKIP() << "mosquitto is not installed";
    }
    testutils::MosquittoBroker broker;
    ASSERT_TRUE(broker.running());
    QProcess subscriber;
    subscriber.start(QStringLiteral("mosquitto_sub"),
                     {"-h", "127.0.0.1", "-p", QString::number(broker.port()), "-t",
                      "gavrel/line-1/judgement", "-q", "1"});
    ASSERT_TRUE(subscriber.waitForStarted(5000));
    StationFolder folder;
    const int modbusPort = testutils::freeLoopbackPort();
    Station station(folder.config(QStringLiteral("[modbus]\nenabled=true\nport=%1\n"
                                                 "[mqtt]\nenabled=true\nurl=mqtt://127.0.0.1:%2\n")
                                      .arg(modbusPort)
                                      .arg(broker.port())));
    ASSERT_TRUE(station.logs("camera")) << station.log.toStdString();
    ASSERT_TRUE(station.logs("broker")) << station.log.toStdString();

    modbus_t* plc = modbus_new_tcp("127.0.0.1", modbusPort);
    ASSERT_EQ(modbus_connect(plc), 0);
    std::uint16_t r[LineRegisters::kInputRegisterCount] = {};
    for (std::uint32_t expected = 1; expected <= 3; ++expected) {
        ASSERT_EQ(modbus_write_bit(plc, LineRegisters::kTriggerCoil, 1), 1)
            << modbus_strerror(errno) << station.log.toStdString();
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        std::uint32_t sequence = 0;
        while (sequence < expected && std::chrono::steady_clock::now() < deadline) {
            ASSERT_EQ(modbus_read_input_registers(plc, 0, LineRegisters::kInputRegisterCount, r),
                      LineRegisters::kInputRegisterCount);
            sequence = (std::uint32_t{r[0]} << 16) | r[1];
            std::this_thread::sleep_for(2ms);
        }
        ASSERT_EQ(sequence, expected);
    }
    EXPECT_EQ(r[LineRegisters::VerdictCode], 1) << "black is 16 ± 5";
    EXPECT_EQ(r[LineRegisters::Mean], 1600);
    EXPECT_EQ(r[LineRegisters::RecipeSlot], 3);

    // A recipe slot that no recipe has: the error bit, the same recipe.
    ASSERT_EQ(modbus_write_register(plc, LineRegisters::kRecipeSlotRegister, 9), 1);
    ASSERT_TRUE(station.logs("recipe slot 9 unknown"));
    std::uint8_t bits[LineRegisters::kDiscreteInputCount];
    ASSERT_EQ(modbus_read_input_bits(plc, 0, LineRegisters::kDiscreteInputCount, bits),
              LineRegisters::kDiscreteInputCount);
    EXPECT_EQ(bits[LineRegisters::Error], 1);
    modbus_close(plc);
    modbus_free(plc);

    // The broker's three messages carry the record's uuids.
    QStringList messages;
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (messages.size() < 3 && std::chrono::steady_clock::now() < deadline) {
        subscriber.waitForReadyRead(50);
        while (subscriber.canReadLine()) {
            messages.append(QString::fromUtf8(subscriber.readLine()).trimmed());
        }
    }
    ASSERT_EQ(messages.size(), 3);
    station.signal(SIGTERM);
    ASSERT_TRUE(station.process.waitForFinished(5000));
    subscriber.terminate();
    subscriber.waitForFinished(2000);

    QStringList uuids;
    for (const QString& m : messages) {
        const QJsonObject o = QJsonDocument::fromJson(m.toUtf8()).object();
        EXPECT_EQ(o["station"].toString(), "line-1");
        EXPECT_EQ(o["verdict"].toString(), "OK");
        uuids.append(o["circles"].toArray()[0].toObject()["record_uuid"].toString());
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "station-test");
        db.setDatabaseName(folder.path("records.sqlite"));
        ASSERT_TRUE(db.open());
        QSqlQuery query(db);
        ASSERT_TRUE(query.exec("SELECT record_uuid FROM measurements ORDER BY id"));
        QStringList recorded;
        while (query.next()) {
            recorded.append(query.value(0).toString());
        }
        EXPECT_EQ(recorded, uuids);
    }
    QSqlDatabase::removeDatabase("station-test");
}

TEST(GavrelStation, ReReadsItsConfigurationOnSighupAndStopsOnSigtermWithinTwoSeconds) {
    StationFolder folder;
    const QString config = folder.config(QString(), QStringLiteral("triggered"), "station.conf");
    Station station(config);
    ASSERT_TRUE(station.logs("running")) << station.log.toStdString();
    ASSERT_TRUE(station.logs("mode triggered"));

    folder.config(QString(), QStringLiteral("continuous"), "station.conf");
    station.signal(SIGHUP);
    EXPECT_TRUE(station.logs("mode continuous")) << station.log.toStdString();

    folder.config(QString(), QStringLiteral("never"), "station.conf");
    station.signal(SIGHUP);
    EXPECT_TRUE(station.logs("configuration not re-read: station/mode"))
        << station.log.toStdString();
    EXPECT_EQ(station.process.state(), QProcess::Running);

    const auto begun = std::chrono::steady_clock::now();
    station.signal(SIGTERM);
    ASSERT_TRUE(station.process.waitForFinished(5000));
    EXPECT_LT(std::chrono::steady_clock::now() - begun, 2s);
    EXPECT_EQ(station.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(station.process.exitCode(), 0);
    EXPECT_TRUE(station.logs("stopped"));
}

TEST(GavrelStation, ACameraThatFailsIsToldOnceAndTriedAgainWhileThePlcHearsIt) {
    StationFolder folder;
    writeFile(folder.path("camera.ini"), "[Video]\nPipeline=no-such-element-in-gstreamer\n");
    const int modbusPort = testutils::freeLoopbackPort();
    Station station(
        folder.config(QStringLiteral("[modbus]\nenabled=true\nport=%1\n").arg(modbusPort)));
    ASSERT_TRUE(station.logs("camera")) << station.log.toStdString();
    // Two retries later (every 2 s) it still runs and has said it once.
    station.logs("never said", 4500ms);
    EXPECT_EQ(station.process.state(), QProcess::Running);
    EXPECT_EQ(station.log.count("failed"), 1) << station.log.toStdString();
    modbus_t* plc = modbus_new_tcp("127.0.0.1", modbusPort);
    ASSERT_EQ(modbus_connect(plc), 0);
    std::uint8_t bits[LineRegisters::kDiscreteInputCount];
    ASSERT_EQ(modbus_read_input_bits(plc, 0, LineRegisters::kDiscreteInputCount, bits),
              LineRegisters::kDiscreteInputCount);
    EXPECT_EQ(bits[LineRegisters::CameraOk], 0);
    EXPECT_EQ(bits[LineRegisters::Ready], 0);
    EXPECT_EQ(bits[LineRegisters::Error], 1);
    modbus_close(plc);
    modbus_free(plc);
}
