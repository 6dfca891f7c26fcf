// Standard library
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

// System
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

// Google Test
#include <gtest/gtest.h>

// Qt
#include <QProcess>
#include <QStandardPaths>

// libmodbus
#include <modbus/modbus.h>

// Ours
#include "ModbusServer.h"

using namespace LineRegisters;
using namespace std::chrono_literals;

namespace {

struct Client {
    modbus_t* ctx;
    explicit Client(int port, int unit = 1) : ctx(modbus_new_tcp("127.0.0.1", port)) {
        modbus_set_slave(ctx, unit);
        modbus_set_response_timeout(ctx, 2, 0);
    }
    ~Client() {
        modbus_close(ctx);
        modbus_free(ctx);
    }
    bool connect() { return modbus_connect(ctx) == 0; }
};

// A raw TCP connection for frames libmodbus would never send.
struct RawSocket {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    explicit RawSocket(int port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~RawSocket() { close(fd); }
    void send(std::vector<std::uint8_t> bytes) const {
        ASSERT_EQ(::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
    }
    // True when the server closed the connection within `timeout`.
    bool closedWithin(std::chrono::milliseconds timeout) const {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        std::uint8_t buffer[512];
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 20) > 0) {
                const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
                if (got <= 0) {
                    return true;
                }
            }
        }
        return false;
    }
    bool connected = false;
};

struct Fixture {
    std::atomic<int> triggers{0};
    std::atomic<int> slot{-1};
    ModbusServer server;
    explicit Fixture(ModbusServer::Settings settings = {})
        : server(withFreePort(std::move(settings)), {[this] {
                                                         ++triggers;
                                                         return true;
                                                     },
                                                     [this](int s) { slot = s; },
                                                     {}}) {
        QString error;
        started = server.start(&error);
        EXPECT_TRUE(started) << error.toStdString();
    }
    static ModbusServer::Settings withFreePort(ModbusServer::Settings settings) {
        settings.port = 0;
        return settings;
    }
    bool started = false;
};

// The hooks run on the server's thread after the answer has gone out: a client that has its
// answer may look before they ran.
template <typename Condition>
bool becomesTrueWithin(std::chrono::milliseconds limit, Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

Result resultFor(std::uint32_t sequence) {
    Result result;
    result.registers[SequenceHigh] = static_cast<std::uint16_t>(sequence >> 16);
    result.registers[SequenceLow] = static_cast<std::uint16_t>(sequence);
    // Every result register says which judgement it belongs to.
    for (int i = VerdictCode; i < kResultRegisterCount; ++i) {
        result.registers[static_cast<std::size_t>(i)] =
            static_cast<std::uint16_t>(sequence * 7 + static_cast<std::uint32_t>(i));
    }
    result.registers[ErrorCode] = 0;
    result.partOk = sequence % 2 == 0;
    result.partNg = !result.partOk;
    return result;
}

} // namespace

TEST(ModbusServer, ServesTheMapAndTakesTriggersAndRecipeSlots) {
    Fixture f;
    ASSERT_TRUE(f.started);
    ModbusServer::Status status;
    status.ready = status.cameraOk = status.recordOk = true;
    status.recipeSlot = 3;
    status.refusedTriggers = 0x12345;
    status.droppedMessages = 70000;
    Result result = resultFor(0x10002);
    result.circleOk[0] = result.circleOk[15] = true;
    f.server.publish(result, status);

    Client client(f.server.port());
    ASSERT_TRUE(client.connect());
    std::uint16_t registers[kInputRegisterCount];
    ASSERT_EQ(modbus_read_input_registers(client.ctx, 0, kInputRegisterCount, registers),
              kInputRegisterCount);
    EXPECT_EQ(registers[SequenceHigh], 1);
    EXPECT_EQ(registers[SequenceLow], 2);
    EXPECT_EQ(registers[Mean], result.registers[Mean]);
    EXPECT_EQ(registers[RecipeSlot], 3);
    EXPECT_EQ(registers[RefusedTriggersHigh], 1);
    EXPECT_EQ(registers[RefusedTriggersLow], 0x2345);
    EXPECT_EQ((registers[DroppedMessagesHigh] << 16) | registers[DroppedMessagesLow], 70000);

    std::uint8_t bits[kDiscreteInputCount];
    ASSERT_EQ(modbus_read_input_bits(client.ctx, 0, kDiscreteInputCount, bits),
              kDiscreteInputCount);
    EXPECT_EQ(bits[Ready], 1);
    EXPECT_EQ(bits[Busy], 0);
    EXPECT_EQ(bits[ResultValid], 1);
    EXPECT_EQ(bits[PartOk], 1);
    EXPECT_EQ(bits[PartNg], 0);
    EXPECT_EQ(bits[Error], 0);
    EXPECT_EQ(bits[CameraOk], 1);
    EXPECT_EQ(bits[RecordOk], 1);
    EXPECT_EQ(bits[BrokerOk], 0);
    EXPECT_EQ(bits[FirstCircleOk], 1);
    EXPECT_EQ(bits[FirstCircleOk + 1], 0);
    EXPECT_EQ(bits[FirstCircleOk + 15], 1);

    // The trigger coil: taken, cleared, and the busy bit set before the next request is
    // answered.
    ASSERT_EQ(modbus_write_bit(client.ctx, kTriggerCoil, 1), 1);
    std::uint8_t coil = 1;
    ASSERT_EQ(modbus_read_bits(client.ctx, kTriggerCoil, 1, &coil), 1);
    EXPECT_EQ(coil, 0);
    ASSERT_EQ(modbus_read_input_bits(client.ctx, 0, kDiscreteInputCount, bits),
              kDiscreteInputCount);
    EXPECT_EQ(bits[Busy], 1);
    EXPECT_EQ(bits[Ready], 0);
    EXPECT_EQ(f.triggers.load(), 1);

    ASSERT_EQ(modbus_write_register(client.ctx, kRecipeSlotRegister, 12), 1);
    EXPECT_TRUE(becomesTrueWithin(10s, [&] { return f.slot.load() == 12; }))
        << "slot " << f.slot.load();

    // Errors show in the bit and the code.
    status.error = Fault::UnknownRecipeSlot;
    f.server.setStatus(status);
    ASSERT_EQ(modbus_read_input_bits(client.ctx, 0, kDiscreteInputCount, bits),
              kDiscreteInputCount);
    EXPECT_EQ(bits[Error], 1);
    ASSERT_EQ(modbus_read_input_registers(client.ctx, ErrorCode, 1, registers), 1);
    EXPECT_EQ(registers[0], static_cast<std::uint16_t>(Fault::UnknownRecipeSlot));
}

TEST(ModbusServer, ResultsChangeOnlyTogetherWithTheSequenceOverAThousandTriggers) {
    Fixture f;
    ASSERT_TRUE(f.started);
    std::atomic<bool> done{false};
    // The judging side: each trigger becomes a new judgement, published in one piece, while
    // unrelated status changes keep coming.
    std::thread judge([&] {
        int judged = 0;
        std::uint32_t sequence = 0;
        ModbusServer::Status status;
        status.ready = true;
        while (!done) {
            if (f.triggers.load() > judged) {
                ++judged;
                status.busy = false;
                f.server.publish(resultFor(++sequence), status);
            }
            status.refusedTriggers++;
            f.server.setStatus(status);
            std::this_thread::yield();
        }
    });
    Client client(f.server.port());
    ASSERT_TRUE(client.connect());
    std::uint32_t last = 0;
    int mixed = 0;
    int busyAfterResult = 0;
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(modbus_write_bit(client.ctx, kTriggerCoil, 1), 1);
        std::uint16_t r[kInputRegisterCount];
        std::uint32_t sequence = last;
        const auto deadline = std::chrono::steady_clock::now() + 2s;
        while (sequence == last && std::chrono::steady_clock::now() < deadline) {
            ASSERT_EQ(modbus_read_input_registers(client.ctx, 0, kInputRegisterCount, r),
                      kInputRegisterCount);
            sequence = (std::uint32_t{r[0]} << 16) | r[1];
        }
        ASSERT_EQ(sequence, last + 1) << "trigger " << i;
        // Busy ends with the result: a PLC may trigger again as soon as it sees it.
        std::uint8_t busy = 1;
        ASSERT_EQ(modbus_read_input_bits(client.ctx, Busy, 1, &busy), 1);
        busyAfterResult += busy;
        for (int k = VerdictCode; k < kResultRegisterCount; ++k) {
            if (k != ErrorCode && r[k] != static_cast<std::uint16_t>(sequence * 7 + k)) {
                ++mixed;
            }
        }
        last = sequence;
    }
    done = true;
    judge.join();
    EXPECT_EQ(mixed, 0);
    EXPECT_EQ(busyAfterResult, 0);
}

TEST(ModbusServer, AnswersBadRequestsWithTheProtocolsExceptions) {
    Fixture f;
    ASSERT_TRUE(f.started);
    Client client(f.server.port());
    ASSERT_TRUE(client.connect());
    std::uint16_t registers[130];
    std::uint8_t bits[64];
    struct Case {
        const char* what;
        std::function<int()> request;
        int exception;
    };
    const Case cases[] = {
        {"input register past the map",
         [&] { return modbus_read_input_registers(client.ctx, kInputRegisterCount, 1, registers); },
         EMBXILADD},
        {"block running past the map",
         [&] { return modbus_read_input_registers(client.ctx, 10, 10, registers); }, EMBXILADD},
        {"discrete input past the map",
         [&] { return modbus_read_input_bits(client.ctx, kDiscreteInputCount, 1, bits); },
         EMBXILADD},
        {"coil past the map", [&] { return modbus_write_bit(client.ctx, 1, 1); }, EMBXILADD},
        {"holding register past the map", [&] { return modbus_write_register(client.ctx, 1, 5); },
         EMBXILADD},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        errno = 0;
        EXPECT_EQ(c.request(), -1);
        EXPECT_EQ(errno, c.exception);
    }
    // Raw answers: function | 0x80 then the code.
    const auto rawException = [&](std::vector<std::uint8_t> pdu) {
        std::uint8_t answer[MODBUS_TCP_MAX_ADU_LENGTH] = {};
        pdu.insert(pdu.begin(), 1);
        EXPECT_GT(modbus_send_raw_request(client.ctx, pdu.data(), static_cast<int>(pdu.size())), 0);
        modbus_receive_confirmation(client.ctx, answer);
        return std::make_pair(int{answer[7]}, int{answer[8]});
    };
    EXPECT_EQ(rawException({0x08, 0, 0, 0x12, 0x34}), std::make_pair(0x88, 1));
    EXPECT_EQ(rawException({0x2B, 0x0E, 1, 0}), std::make_pair(0xAB, 1));
    EXPECT_EQ(rawException({0x05, 0, 0, 0x12, 0x34}), std::make_pair(0x85, 3));
    EXPECT_EQ(rawException({0x04, 0, 0, 0, 0}), std::make_pair(0x84, 3)) << "no registers";
    EXPECT_EQ(rawException({0x04, 0, 0, 0, 200}), std::make_pair(0x84, 3)) << "too many";
    // Nothing above touched the trigger.
    EXPECT_EQ(f.triggers.load(), 0);

    // Another unit id: the gateway's "no answer from the target".
    Client other(f.server.port(), 7);
    ASSERT_TRUE(other.connect());
    errno = 0;
    EXPECT_EQ(modbus_read_input_registers(other.ctx, 0, 1, registers), -1);
    EXPECT_EQ(errno, EMBXGTAR);
}

TEST(ModbusServer, MalformedOrTruncatedFramesCloseThatConnectionOnly) {
    ModbusServer::Settings settings;
    settings.frameTimeout = 300ms;
    Fixture f(settings);
    ASSERT_TRUE(f.started);
    Client good(f.server.port());
    ASSERT_TRUE(good.connect());
    std::uint16_t r[2];

    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
    };
    const Case cases[] = {
        {"protocol id not 0", {0, 1, 0, 5, 0, 6, 1, 4, 0, 0, 0, 1}},
        {"length too short", {0, 1, 0, 0, 0, 1, 1}},
        {"length past the largest frame", {0, 1, 0, 0, 0x01, 0x00, 1}},
        {"read request without its quantity", {0, 1, 0, 0, 0, 4, 1, 4, 0, 0}},
        {"byte count that disagrees", {0, 1, 0, 0, 0, 9, 1, 16, 0, 0, 0, 1, 4, 0, 1}},
        {"truncated: the rest never comes", {0, 1, 0, 0, 0, 6, 1, 4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RawSocket bad(f.server.port());
        ASSERT_TRUE(bad.connected);
        bad.send(c.bytes);
        EXPECT_TRUE(bad.closedWithin(2s));
        EXPECT_EQ(modbus_read_input_registers(good.ctx, 0, 2, r), 2) << "the other client";
    }
}

TEST(ModbusServer, RefusesClientsBeyondTheBoundAndOutsideTheAllowList) {
    ModbusServer::Settings settings;
    settings.maxClients = 2;
    Fixture f(settings);
    ASSERT_TRUE(f.started);
    auto first = std::make_unique<Client>(f.server.port());
    Client second(f.server.port());
    ASSERT_TRUE(first->connect());
    ASSERT_TRUE(second.connect());
    std::uint16_t r[1];
    ASSERT_EQ(modbus_read_input_registers(second.ctx, 0, 1, r), 1);
    RawSocket third(f.server.port());
    EXPECT_TRUE(third.closedWithin(2s));
    EXPECT_EQ(modbus_read_input_registers(first->ctx, 0, 1, r), 1);
    first.reset();
    // Once one has gone, a new one is served.
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    bool served = false;
    while (!served && std::chrono::steady_clock::now() < deadline) {
        Client fourth(f.server.port());
        served = fourth.connect() && modbus_read_input_registers(fourth.ctx, 0, 1, r) == 1;
    }
    EXPECT_TRUE(served);

    ModbusServer::Settings listed;
    listed.allowedClients = {QStringLiteral("127.0.0.2")};
    Fixture guarded(listed);
    ASSERT_TRUE(guarded.started);
    RawSocket stranger(guarded.server.port());
    EXPECT_TRUE(stranger.closedWithin(2s));
    listed.allowedClients = {QStringLiteral("127.0.0.2"), QStringLiteral("127.0.0.1")};
    Fixture open(listed);
    Client known(open.server.port());
    ASSERT_TRUE(known.connect());
    EXPECT_EQ(modbus_read_input_registers(known.ctx, 0, 1, r), 1);
}

TEST(ModbusServer, AClientThatNeverReadsCannotStallTheOthers) {
    Fixture f;
    ASSERT_TRUE(f.started);
    RawSocket deaf(f.server.port());
    ASSERT_TRUE(deaf.connected);
    const int small = 4096;
    setsockopt(deaf.fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    Client good(f.server.port());
    ASSERT_TRUE(good.connect());
    std::atomic<bool> closed{false};
    std::thread flood([&] {
        // Read requests for the whole map, answers never read, until the server lets go.
        std::vector<std::uint8_t> request = {0, 1, 0, 0, 0, 6, 1, 4, 0, 0, 0, kInputRegisterCount};
        std::vector<std::uint8_t> many;
        for (int i = 0; i < 200; ++i) {
            many.insert(many.end(), request.begin(), request.end());
        }
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (std::chrono::steady_clock::now() < deadline) {
            if (::send(deaf.fd, many.data(), many.size(), MSG_NOSIGNAL | MSG_DONTWAIT) < 0 &&
                errno != EAGAIN) {
                closed = true;
                return;
            }
            std::this_thread::sleep_for(1ms);
        }
    });
    std::uint16_t r[kInputRegisterCount];
    std::chrono::nanoseconds slowest{0};
    int reads = 0;
    while (!closed && reads < 100000) {
        const auto begun = std::chrono::steady_clock::now();
        ASSERT_EQ(modbus_read_input_registers(good.ctx, 0, kInputRegisterCount, r),
                  kInputRegisterCount);
        slowest = std::max(slowest, std::chrono::steady_clock::now() - begun);
        ++reads;
    }
    flood.join();
    EXPECT_TRUE(closed) << "the deaf client was let go";
    // Generous: a stalled server would leave the good client at its two-second timeout.
    EXPECT_LT(slowest, 1s);
}

TEST(ModbusServer, MbpollReadsTheMapAndWritesTheTrigger) {
    const QString mbpoll = QStandardPaths::findExecutable(QStringLiteral("mbpoll"));
    if (mbpoll.isEmpty()) {
        GTEST_SKIP() << "mbpoll is not installed (scripts/packages.txt)";
    }
    Fixture f;
    ASSERT_TRUE(f.started);
    f.server.publish(resultFor(0x30004), {});
    const QString port = QString::number(f.server.port());
    QProcess read;
    // -0: addresses as on the wire; -t 3: input registers; -1: once.
    read.start(mbpoll, {"-m", "tcp", "-a", "1", "-0", "-r", "0", "-c", "2", "-t", "3", "-1", "-p",
                        port, "127.0.0.1"});
    ASSERT_TRUE(read.waitForFinished(10000));
    const QString out = QString::fromUtf8(read.readAllStandardOutput());
    EXPECT_EQ(read.exitCode(), 0) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("[0]: \t3"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("[1]: \t4"))) << out.toStdString();

    QProcess write;
    write.start(mbpoll, {"-m", "tcp", "-a", "1", "-0", "-r", "0", "-t", "0", "-1", "-p", port,
                         "127.0.0.1", "1"});
    ASSERT_TRUE(write.waitForFinished(10000));
    EXPECT_EQ(write.exitCode(), 0) << write.readAllStandardOutput().toStdString();
    EXPECT_TRUE(becomesTrueWithin(10s, [&] { return f.triggers.load() > 0; }));
    EXPECT_EQ(f.triggers.load(), 1);
}
