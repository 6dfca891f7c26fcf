#include "ModbusServer.h"

// Standard library
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

// System
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

// libmodbus
#include <modbus/modbus.h>

namespace {

constexpr int kHeaderBytes = 7; // MBAP: transaction, protocol, length, unit
constexpr int kMaxFrameBytes = 260;

using Clock = std::chrono::steady_clock;

bool setNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL, 0);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

QString peerOf(const sockaddr_storage& address) {
    char host[NI_MAXHOST] = {};
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&address), sizeof address, host, sizeof host,
                    nullptr, 0, NI_NUMERICHOST) != 0) {
        return QStringLiteral("?");
    }
    QString text = QString::fromLatin1(host);
    if (text.startsWith(QLatin1String("::ffff:"))) {
        text = text.mid(7);
    }
    return text;
}

// The PDU length a request of a known function must have; 0 for functions left to libmodbus
// (which answers unknown ones with exception 01), -1 when the request is malformed.
int expectedPduLength(const std::uint8_t* pdu, int length) {
    switch (pdu[0]) {
    case MODBUS_FC_READ_COILS:
    case MODBUS_FC_READ_DISCRETE_INPUTS:
    case MODBUS_FC_READ_HOLDING_REGISTERS:
    case MODBUS_FC_READ_INPUT_REGISTERS:
    case MODBUS_FC_WRITE_SINGLE_COIL:
    case MODBUS_FC_WRITE_SINGLE_REGISTER:
        return 5;
    case MODBUS_FC_WRITE_MULTIPLE_COILS:
    case MODBUS_FC_WRITE_MULTIPLE_REGISTERS:
        return length < 6 ? -1 : 6 + pdu[5];
    case MODBUS_FC_WRITE_AND_READ_REGISTERS:
        return length < 10 ? -1 : 10 + pdu[9];
    case MODBUS_FC_REPORT_SLAVE_ID:
        return 1;
    case MODBUS_FC_MASK_WRITE_REGISTER:
        return 7;
    default:
        return 0;
    }
}

} // namespace

struct ModbusServer::Connection {
    int fd = -1;
    QString peer;
    std::array<std::uint8_t, kMaxFrameBytes> buffer{};
    int filled = 0;
    Clock::time_point frameStarted;
};

ModbusServer::ModbusServer(Settings settings, Hooks hooks)
    : settings_(std::move(settings)), hooks_(std::move(hooks)) {}

ModbusServer::~ModbusServer() {
    stop();
}

void ModbusServer::log(const QString& line) const {
    if (hooks_.log) {
        hooks_.log(line);
    }
}

bool ModbusServer::start(QString* error) {
    stop();
    const QByteArray address = settings_.address.toUtf8();
    const QByteArray service = QByteArray::number(settings_.port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const int looked = getaddrinfo(address.isEmpty() ? nullptr : address.constData(),
                                   service.constData(), &hints, &found);
    if (looked != 0) {
        *error = QStringLiteral("Modbus address %1: %2")
                     .arg(settings_.address, QString::fromLocal8Bit(gai_strerror(looked)));
        return false;
    }
    int fd = -1;
    int lastErrno = 0;
    for (addrinfo* at = found; at && fd < 0; at = at->ai_next) {
        fd = socket(at->ai_family, at->ai_socktype | SOCK_CLOEXEC, at->ai_protocol);
        if (fd < 0) {
            lastErrno = errno;
            continue;
        }
        const int yes = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        if (bind(fd, at->ai_addr, at->ai_addrlen) != 0 || listen(fd, 16) != 0) {
            lastErrno = errno;
            close(fd);
            fd = -1;
        }
    }
    freeaddrinfo(found);
    if (fd < 0) {
        *error = QStringLiteral("Modbus %1:%2: %3")
                     .arg(settings_.address)
                     .arg(settings_.port)
                     .arg(QString::fromLocal8Bit(std::strerror(lastErrno)));
        return false;
    }
    setNonBlocking(fd);
    sockaddr_storage bound{};
    socklen_t boundLength = sizeof bound;
    getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &boundLength);
    boundPort_ =
        ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                          : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);

    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) {
        close(fd);
        *error = QStringLiteral("Modbus: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    listener_ = fd;
    wakeRead_ = pipeEnds[0];
    wakeWrite_ = pipeEnds[1];
    // The context only frames answers; the sockets are this server's.
    context_ = modbus_new_tcp(nullptr, 0);
    modbus_set_slave(context_, settings_.unitId);
    mapping_ = modbus_mapping_new(LineRegisters::kCoilCount, LineRegisters::kDiscreteInputCount,
                                  LineRegisters::kHoldingRegisterCount,
                                  LineRegisters::kInputRegisterCount);
    {
        const std::lock_guard lock(mutex_);
        mapping_->tab_registers[LineRegisters::kRecipeSlotRegister] = lastSlot_;
        applyStatusLocked();
    }
    stopping_ = false;
    worker_ = std::thread([this] { run(); });
    return true;
}

void ModbusServer::stop() {
    if (worker_.joinable()) {
        stopping_ = true;
        const char wake = 1;
        [[maybe_unused]] const ssize_t written = write(wakeWrite_, &wake, 1);
        worker_.join();
    }
    for (int* fd : {&listener_, &wakeRead_, &wakeWrite_}) {
        if (*fd >= 0) {
            close(*fd);
            *fd = -1;
        }
    }
    if (context_) {
        modbus_free(context_);
        context_ = nullptr;
    }
    if (mapping_) {
        modbus_mapping_free(mapping_);
        mapping_ = nullptr;
    }
    clients_ = 0;
}

void ModbusServer::publish(const LineRegisters::Result& result, const Status& status) {
    const std::lock_guard lock(mutex_);
    status_ = status;
    result_ = result;
    resultValid_ = true;
    applyStatusLocked();
}

void ModbusServer::setStatus(const Status& status) {
    const std::lock_guard lock(mutex_);
    status_ = status;
    applyStatusLocked();
}

int ModbusServer::selectedSlot() const {
    const std::lock_guard lock(mutex_);
    return lastSlot_;
}

void ModbusServer::setSelectedSlot(int slot) {
    const std::lock_guard lock(mutex_);
    lastSlot_ = static_cast<std::uint16_t>(std::clamp(slot, 0, 65535));
    if (mapping_) {
        mapping_->tab_registers[LineRegisters::kRecipeSlotRegister] = lastSlot_;
    }
}

void ModbusServer::applyStatusLocked() {
    using namespace LineRegisters;
    if (!mapping_) {
        return;
    }
    std::uint8_t* bits = mapping_->tab_input_bits;
    std::uint16_t* registers = mapping_->tab_input_registers;
    std::fill(bits, bits + kDiscreteInputCount, 0);
    bits[Ready] = status_.ready && !status_.busy;
    bits[Busy] = status_.busy;
    bits[ResultValid] = resultValid_;
    bits[PartOk] = result_.partOk;
    bits[PartNg] = result_.partNg;
    bits[CameraOk] = status_.cameraOk;
    bits[RecordOk] = status_.recordOk;
    bits[BrokerOk] = status_.brokerOk;
    bits[ProcessAlarm] = status_.processAlarm;
    bits[Clamped] = result_.registers[ClampMask] != 0;
    for (int i = 0; i < kCircleBits; ++i) {
        bits[FirstCircleOk + i] = result_.circleOk[static_cast<std::size_t>(i)];
    }
    std::copy(result_.registers.begin(), result_.registers.end(), registers);
    const auto error = status_.error != Fault::None ? static_cast<std::uint16_t>(status_.error)
                                                    : result_.registers[ErrorCode];
    registers[ErrorCode] = error;
    bits[Error] = error != 0;
    registers[RecipeSlot] = status_.recipeSlot;
    registers[RefusedTriggersHigh] = static_cast<std::uint16_t>(status_.refusedTriggers >> 16);
    registers[RefusedTriggersLow] = static_cast<std::uint16_t>(status_.refusedTriggers & 0xFFFF);
    registers[DroppedMessagesHigh] = static_cast<std::uint16_t>(status_.droppedMessages >> 16);
    registers[DroppedMessagesLow] = static_cast<std::uint16_t>(status_.droppedMessages & 0xFFFF);
}

void ModbusServer::run() {
    std::vector<Connection> connections;
    std::vector<pollfd> polled;
    while (!stopping_) {
        polled.clear();
        polled.push_back({wakeRead_, POLLIN, 0});
        polled.push_back({listener_, POLLIN, 0});
        for (const Connection& connection : connections) {
            polled.push_back({connection.fd, POLLIN, 0});
        }
        const int ready = poll(polled.data(), polled.size(), 100);
        if (ready < 0 && errno != EINTR) {
            log(QStringLiteral("Modbus: poll failed: %1")
                    .arg(QString::fromLocal8Bit(std::strerror(errno))));
            break;
        }
        if (stopping_) {
            break;
        }
        const Clock::time_point now = Clock::now();
        std::vector<bool> closing(connections.size(), false);
        for (std::size_t i = 0; i < connections.size(); ++i) {
            Connection& connection = connections[i];
            const short events = polled[i + 2].revents;
            if (events & (POLLIN | POLLHUP | POLLERR)) {
                closing[i] = !readFrom(connection);
            } else if (connection.filled > 0 &&
                       now - connection.frameStarted > settings_.frameTimeout) {
                log(QStringLiteral("PLC client %1: incomplete frame, disconnected")
                        .arg(connection.peer));
                closing[i] = true;
            }
        }
        for (std::size_t i = connections.size(); i-- > 0;) {
            if (closing[i]) {
                close(connections[i].fd);
                log(QStringLiteral("PLC client %1 disconnected").arg(connections[i].peer));
                connections.erase(connections.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
        clients_ = static_cast<int>(connections.size());
        if (polled[1].revents & POLLIN) {
            acceptClient(connections);
            clients_ = static_cast<int>(connections.size());
        }
    }
    for (const Connection& connection : connections) {
        close(connection.fd);
    }
    clients_ = 0;
}

void ModbusServer::acceptClient(std::vector<Connection>& connections) {
    for (;;) {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        const int fd = accept4(listener_, reinterpret_cast<sockaddr*>(&address), &length,
                               SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            return;
        }
        const QString peer = peerOf(address);
        if (!settings_.allowedClients.isEmpty() && !settings_.allowedClients.contains(peer)) {
            close(fd);
            log(QStringLiteral("PLC client %1 refused: not in the allowed clients").arg(peer));
            continue;
        }
        if (static_cast<int>(connections.size()) >= settings_.maxClients) {
            close(fd);
            log(QStringLiteral("PLC client %1 refused: already %2 clients")
                    .arg(peer)
                    .arg(settings_.maxClients));
            continue;
        }
        const int yes = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        // Answers are small; a client that leaves them unread fills this soon and is let go.
        const int sendBuffer = 16 * 1024;
        setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
        Connection connection;
        connection.fd = fd;
        connection.peer = peer;
        connections.push_back(connection);
        log(QStringLiteral("PLC client %1 connected").arg(peer));
    }
}

bool ModbusServer::readFrom(Connection& connection) {
    for (;;) {
        const int wanted =
            connection.filled < kHeaderBytes
                ? kHeaderBytes - connection.filled
                : 6 + ((connection.buffer[4] << 8) | connection.buffer[5]) - connection.filled;
        const ssize_t got = recv(connection.fd, connection.buffer.data() + connection.filled,
                                 static_cast<std::size_t>(wanted), 0);
        if (got == 0) {
            return false;
        }
        if (got < 0) {
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        }
        if (connection.filled == 0) {
            connection.frameStarted = Clock::now();
        }
        connection.filled += static_cast<int>(got);
        if (connection.filled == kHeaderBytes) {
            const int protocol = (connection.buffer[2] << 8) | connection.buffer[3];
            const int length = (connection.buffer[4] << 8) | connection.buffer[5];
            if (protocol != 0 || length < 2 || 6 + length > kMaxFrameBytes) {
                log(QStringLiteral("PLC client %1: malformed frame, disconnected")
                        .arg(connection.peer));
                return false;
            }
        }
        if (connection.filled >= kHeaderBytes &&
            connection.filled == 6 + ((connection.buffer[4] << 8) | connection.buffer[5])) {
            const int length = connection.filled;
            connection.filled = 0;
            if (!answer(connection, connection.buffer.data(), length)) {
                return false;
            }
        }
    }
}

bool ModbusServer::answer(Connection& connection, const std::uint8_t* frame, int length) {
    const std::uint8_t* pdu = frame + kHeaderBytes;
    const int pduLength = length - kHeaderBytes;
    const int expected = expectedPduLength(pdu, pduLength);
    if (expected < 0 || (expected > 0 && expected != pduLength)) {
        log(QStringLiteral("PLC client %1: malformed request, disconnected").arg(connection.peer));
        return false;
    }
    std::array<std::uint8_t, kMaxFrameBytes> request{};
    std::copy(frame, frame + length, request.begin());
    int sent = 0;
    {
        const std::lock_guard lock(mutex_);
        modbus_set_socket(context_, connection.fd);
        // 0 and 255 mean "no unit" on Modbus TCP; any other unit is someone else's.
        if (frame[6] != settings_.unitId && frame[6] != 0 && frame[6] != 0xFF) {
            sent =
                modbus_reply_exception(context_, request.data(), MODBUS_EXCEPTION_GATEWAY_TARGET);
        } else {
            sent = modbus_reply(context_, request.data(), length, mapping_);
            afterWrites(pdu[0]);
        }
        modbus_set_socket(context_, -1);
    }
    if (sent < 0) {
        // A client that does not read its answers fills the socket and goes.
        log(QStringLiteral("PLC client %1: not reading, disconnected").arg(connection.peer));
        return false;
    }
    return true;
}

void ModbusServer::afterWrites(int function) {
    switch (function) {
    case MODBUS_FC_WRITE_SINGLE_COIL:
    case MODBUS_FC_WRITE_MULTIPLE_COILS:
        if (mapping_->tab_bits[LineRegisters::kTriggerCoil]) {
            // The coil clears itself: the busy bit and the sequence number tell the rest.
            mapping_->tab_bits[LineRegisters::kTriggerCoil] = 0;
            if (hooks_.trigger && hooks_.trigger()) {
                status_.busy = true;
                applyStatusLocked();
            }
        }
        break;
    case MODBUS_FC_WRITE_SINGLE_REGISTER:
    case MODBUS_FC_WRITE_MULTIPLE_REGISTERS:
    case MODBUS_FC_WRITE_AND_READ_REGISTERS:
    case MODBUS_FC_MASK_WRITE_REGISTER: {
        const std::uint16_t slot = mapping_->tab_registers[LineRegisters::kRecipeSlotRegister];
        if (slot != lastSlot_) {
            lastSlot_ = slot;
            if (hooks_.recipeSlot) {
                hooks_.recipeSlot(slot);
            }
        }
        break;
    }
    default:
        break;
    }
}
