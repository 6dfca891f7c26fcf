// Standard library
#include <algorithm>
#include <atomic>
#include <chrono>
#include <numeric>
#include <thread>

// System
#include <sys/stat.h>

// Google Test
#include <gtest/gtest.h>

// Qt
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

// Ours
#include "MosquittoBroker.h"
#include "MqttPublisher.h"

using namespace std::chrono_literals;
using testutils::MosquittoBroker;

namespace {

template <typename Condition>
bool waitFor(Condition condition, std::chrono::milliseconds timeout = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(5ms);
    }
    return condition();
}

// An independent subscriber: mosquitto_sub with a durable session, printing topic and payload.
class Subscriber {
public:
    Subscriber(int port, const QStringList& extra = {}) {
        process_.start(QStringLiteral("mosquitto_sub"),
                       QStringList{"-h", "127.0.0.1", "-p", QString::number(port), "-t", "gavrel/#",
                                   "-q", "1", "-v", "-c", "-i", "test-subscriber"} +
                           extra);
        process_.waitForStarted(5000);
    }
    ~Subscriber() {
        process_.terminate();
        process_.waitForFinished(2000);
    }
    // Waits until `count` lines on `topic` have come, or the timeout.
    QStringList lines(const QString& topic, int count, std::chrono::milliseconds timeout = 10s) {
        return linesUntil(
            topic, [count](const QStringList& got) { return got.size() >= count; }, timeout);
    }
    // Waits until the lines on `topic` satisfy `enough`, or the timeout.
    template <typename Enough>
    QStringList linesUntil(const QString& topic, Enough enough,
                           std::chrono::milliseconds timeout = 10s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            while (process_.canReadLine()) {
                const QString line = QString::fromUtf8(process_.readLine()).trimmed();
                const qsizetype space = line.indexOf(QLatin1Char(' '));
                received_[line.left(space)].append(line.mid(space + 1));
            }
            if (enough(received_.value(topic)) || std::chrono::steady_clock::now() >= deadline) {
                return received_.value(topic);
            }
            process_.waitForReadyRead(50);
        }
    }

private:
    QProcess process_;
    QMap<QString, QStringList> received_;
};

QByteArray message(int sequence) {
    return QJsonDocument(QJsonObject{{"sequence", sequence}}).toJson(QJsonDocument::Compact);
}

std::vector<int> sequences(const QStringList& payloads) {
    std::vector<int> out;
    for (const QString& p : payloads) {
        out.push_back(QJsonDocument::fromJson(p.toUtf8()).object()["sequence"].toInt());
    }
    return out;
}

MqttPublisher::Settings settingsFor(const QString& url, int queueLimit = 100) {
    MqttPublisher::Settings s;
    s.url = url;
    s.topicPrefix = QStringLiteral("gavrel/st/");
    s.clientId = QStringLiteral("gavrel-st");
    s.queueLimit = queueLimit;
    return s;
}

bool brokerTools() {
    return MosquittoBroker::installed() &&
           !QStandardPaths::findExecutable(QStringLiteral("mosquitto_sub")).isEmpty();
}

} // namespace

TEST(MqttPublisher, PublishesInOrderSaysOnlineAndOfflineAndTakesTriggers) {
    if (!brokerTools()) {
        GTEST_SKIP() << "mosquitto and mosquitto-clients are not installed";
    }
    MosquittoBroker broker;
    ASSERT_TRUE(broker.running());
    Subscriber subscriber(broker.port());
    std::atomic<int> triggers{0};
    MqttPublisher publisher(
        settingsFor(QStringLiteral("mqtt://127.0.0.1:%1").arg(broker.port()), 1000),
        {{}, [&] { ++triggers; }, {}});
    QString error;
    ASSERT_TRUE(publisher.start(&error)) << error.toStdString();
    ASSERT_TRUE(waitFor([&] { return publisher.isConnected(); }));
    EXPECT_EQ(subscriber.lines("gavrel/st/state", 1), QStringList{"online"});
    for (int i = 1; i <= 200; ++i) {
        publisher.publish(message(i));
    }
    const std::vector<int> got = sequences(subscriber.lines("gavrel/st/judgement", 200));
    std::vector<int> expected(200);
    std::iota(expected.begin(), expected.end(), 1);
    EXPECT_EQ(got, expected);
    EXPECT_EQ(publisher.dropped(), 0u);

    QProcess pub;
    pub.start(QStringLiteral("mosquitto_pub"),
              {"-h", "127.0.0.1", "-p", QString::number(broker.port()), "-t", "gavrel/st/trigger",
               "-m", "1", "-q", "1"});
    ASSERT_TRUE(pub.waitForFinished(5000));
    EXPECT_TRUE(waitFor([&] { return triggers.load() == 1; }));

    publisher.stop();
    EXPECT_EQ(subscriber.lines("gavrel/st/state", 2), (QStringList{"online", "offline"}));
}

TEST(MqttPublisher, KeepsOrderAcrossABrokerRestartAndCountsExactlyWhatItDrops) {
    if (!brokerTools()) {
        GTEST_SKIP() << "mosquitto and mosquitto-clients are not installed";
    }
    MosquittoBroker broker;
    ASSERT_TRUE(broker.running());
    auto subscriber = std::make_unique<Subscriber>(broker.port());
    constexpr int kBound = 30;
    MqttPublisher publisher(
        settingsFor(QStringLiteral("mqtt://127.0.0.1:%1").arg(broker.port()), kBound), {});
    QString error;
    ASSERT_TRUE(publisher.start(&error)) << error.toStdString();
    ASSERT_TRUE(waitFor([&] { return publisher.isConnected(); }));
    ASSERT_EQ(subscriber->lines("gavrel/st/state", 1).size(), 1);
    for (int i = 1; i <= 20; ++i) {
        publisher.publish(message(i));
    }
    ASSERT_TRUE(waitFor([&] { return publisher.waiting() == 0; }));
    ASSERT_EQ(subscriber->lines("gavrel/st/judgement", 20).size(), 20);

    broker.stop();
    ASSERT_TRUE(waitFor([&] { return !publisher.isConnected(); }));
    // Judging goes on while the broker is away: 100 more, of which the bound is kept.
    for (int i = 21; i <= 120; ++i) {
        publisher.publish(message(i));
    }
    EXPECT_EQ(publisher.dropped(), 100u - kBound);
    EXPECT_EQ(publisher.waiting(), static_cast<std::size_t>(kBound));

    ASSERT_TRUE(broker.start());
    // Back within the reconnect back-off (at most 4 s) and the queue drained.
    EXPECT_TRUE(waitFor([&] { return publisher.isConnected() && publisher.waiting() == 0; }, 8s));
    const std::vector<int> got = sequences(subscriber->linesUntil(
        "gavrel/st/judgement",
        [](const QStringList& lines) { return !lines.isEmpty() && lines.back().contains("120"); },
        10s));
    // In order: each message's first delivery comes after the one before it. QoS 1 allows a
    // message again (the broker resends what it had not seen acknowledged when it stopped),
    // never a new one out of its place.
    std::vector<int> distinct;
    for (int s : got) {
        if (std::find(distinct.begin(), distinct.end(), s) != distinct.end()) {
            continue;
        }
        ASSERT_TRUE(distinct.empty() || s > distinct.back()) << "out of order at " << s;
        distinct.push_back(s);
    }
    std::vector<int> expected(20);
    std::iota(expected.begin(), expected.end(), 1);
    for (int i = 121 - kBound; i <= 120; ++i) {
        expected.push_back(i);
    }
    EXPECT_EQ(distinct, expected);
}

TEST(MqttPublisher, TalksTlsToABrokerWithTheTestsOwnCertificates) {
    if (!brokerTools() || QStandardPaths::findExecutable(QStringLiteral("openssl")).isEmpty()) {
        GTEST_SKIP() << "mosquitto, mosquitto-clients or openssl are not installed";
    }
    QTemporaryDir pki;
    const auto run = [&](const QStringList& args) {
        QProcess p;
        p.setWorkingDirectory(pki.path());
        p.start(QStringLiteral("openssl"), args);
        return p.waitForFinished(30000) && p.exitCode() == 0;
    };
    ASSERT_TRUE(run({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                     "/CN=Gavrel test CA", "-keyout", "ca.key", "-out", "ca.crt"}));
    ASSERT_TRUE(run({"req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1", "-keyout",
                     "server.key", "-out", "server.csr"}));
    {
        QFile ext(pki.filePath("ext.cnf"));
        ASSERT_TRUE(ext.open(QIODevice::WriteOnly));
        ext.write("subjectAltName=IP:127.0.0.1\n");
    }
    ASSERT_TRUE(
        run({"x509", "-req", "-in", "server.csr", "-CA", "ca.crt", "-CAkey", "ca.key",
             "-CAcreateserial", "-days", "2", "-extfile", "ext.cnf", "-out", "server.crt"}));
    MosquittoBroker broker(
        QStringLiteral("cafile %1\ncertfile %2\nkeyfile %3\n")
            .arg(pki.filePath("ca.crt"), pki.filePath("server.crt"), pki.filePath("server.key")));
    ASSERT_TRUE(broker.running());
    Subscriber subscriber(broker.port(), {"--cafile", pki.filePath("ca.crt")});

    MqttPublisher::Settings settings =
        settingsFor(QStringLiteral("mqtts://127.0.0.1:%1").arg(broker.port()));
    settings.caFile = pki.filePath("ca.crt");
    MqttPublisher publisher(settings, {});
    QString error;
    ASSERT_TRUE(publisher.start(&error)) << error.toStdString();
    ASSERT_TRUE(waitFor([&] { return publisher.isConnected(); }));
    ASSERT_EQ(subscriber.lines("gavrel/st/state", 1), QStringList{"online"});
    publisher.publish(message(7));
    EXPECT_EQ(sequences(subscriber.lines("gavrel/st/judgement", 1)), std::vector<int>{7});

    // Without the CA file TLS is refused before anything is tried.
    MqttPublisher::Settings noCa = settings;
    noCa.caFile.clear();
    MqttPublisher refused(noCa, {});
    EXPECT_FALSE(refused.start(&error));
    EXPECT_TRUE(error.contains("CA")) << error.toStdString();

    // A broker that asks every client for a certificate signed by the plant's CA.
    ASSERT_TRUE(run({"req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=gavrel-st", "-keyout",
                     "client.key", "-out", "client.csr"}));
    ASSERT_TRUE(run({"x509", "-req", "-in", "client.csr", "-CA", "ca.crt", "-CAkey", "ca.key",
                     "-CAcreateserial", "-days", "2", "-out", "client.crt"}));
    MosquittoBroker strict(
        QStringLiteral("cafile %1\ncertfile %2\nkeyfile %3\nrequire_certificate true\n")
            .arg(pki.filePath("ca.crt"), pki.filePath("server.crt"), pki.filePath("server.key")));
    ASSERT_TRUE(strict.running());
    Subscriber strictSubscriber(strict.port(),
                                {"--cafile", pki.filePath("ca.crt"), "--cert",
                                 pki.filePath("client.crt"), "--key", pki.filePath("client.key")});
    MqttPublisher::Settings withoutCertificate =
        settingsFor(QStringLiteral("mqtts://127.0.0.1:%1").arg(strict.port()));
    withoutCertificate.caFile = pki.filePath("ca.crt");
    MqttPublisher turnedAway(withoutCertificate, {});
    ASSERT_TRUE(turnedAway.start(&error)) << error.toStdString();
    EXPECT_FALSE(waitFor([&] { return turnedAway.isConnected(); }, 1500ms));
    turnedAway.stop();

    MqttPublisher::Settings withCertificate = withoutCertificate;
    withCertificate.certFile = pki.filePath("client.crt");
    withCertificate.keyFile = pki.filePath("client.key");
    MqttPublisher admitted(withCertificate, {});
    ASSERT_TRUE(admitted.start(&error)) << error.toStdString();
    ASSERT_TRUE(waitFor([&] { return admitted.isConnected(); }));
    admitted.publish(message(8));
    EXPECT_EQ(sequences(strictSubscriber.lines("gavrel/st/judgement", 1)), std::vector<int>{8});
}

TEST(MqttPublisher, RefusesCredentialsOthersCanReadAndBadUrls) {
    QTemporaryDir dir;
    const QString path = dir.filePath("credentials");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("# the line's broker\nusername = gavrel\npassword = s3cret=x\n");
    file.close();
    const QByteArray name = QFile::encodeName(path);

    QString error;
    for (mode_t mode : {0644, 0640, 0604, 0660}) {
        ASSERT_EQ(chmod(name.constData(), mode), 0);
        EXPECT_FALSE(MqttPublisher::readCredentials(path, &error)) << mode;
        EXPECT_TRUE(error.contains("chmod 600")) << error.toStdString();
        EXPECT_FALSE(error.contains("s3cret"));
    }
    ASSERT_EQ(chmod(name.constData(), 0600), 0);
    const auto credentials = MqttPublisher::readCredentials(path, &error);
    ASSERT_TRUE(credentials) << error.toStdString();
    EXPECT_EQ(credentials->username, "gavrel");
    EXPECT_EQ(credentials->password, "s3cret=x");

    ASSERT_EQ(chmod(name.constData(), 0644), 0);
    MqttPublisher::Settings settings = settingsFor(QStringLiteral("mqtt://127.0.0.1:1"));
    settings.credentialsFile = path;
    MqttPublisher withOpenFile(settings, {});
    EXPECT_FALSE(withOpenFile.start(&error));
    EXPECT_TRUE(error.contains(path));

    for (const char* url : {"http://127.0.0.1:1883", "mqtt://", "127.0.0.1:1883", ""}) {
        MqttPublisher bad(settingsFor(QString::fromLatin1(url)), {});
        EXPECT_FALSE(bad.start(&error)) << url;
        EXPECT_TRUE(error.contains("broker URL")) << error.toStdString();
    }
}
