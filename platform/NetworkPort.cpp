#include "platform/NetworkPort.h"

#include <QElapsedTimer>
#include <QUrl>

#include <fcntl.h>
#include <linux/sockios.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// Telnet commands and the options used here.
constexpr unsigned char kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251, kSb = 250,
                        kSe = 240;
constexpr unsigned char kBinary = 0, kSuppressGoAhead = 3, kComPort = 44;
// RFC 2217 commands from the client; the server answers each with code + 100.
constexpr unsigned char kSetBaudRate = 1, kSetDataSize = 2, kSetParity = 3, kSetStopSize = 4,
                        kPurgeData = 12;
constexpr unsigned char kParityNone = 1, kOneStopBit = 1;
constexpr unsigned char kPurgeReceive = 1, kPurgeTransmit = 2;
// From the server: a request for this side's signature, and the flow control
// of the data it takes (suspend, resume).
constexpr unsigned char kSignature = 0, kFlowSuspend = 8, kFlowResume = 9;
constexpr int kStallMs = 10000;

enum DecoderState { kData, kAfterIac, kAfterVerb, kInSub, kInSubAfterIac, kAfterCr };

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

bool setError(QString* error, const QString& text) {
    if (error) {
        *error = text;
    }
    return false;
}

int remainingMs(const QElapsedTimer& clock, int limitMs) {
    return static_cast<int>(std::max<qint64>(0, limitMs - clock.elapsed()));
}

// IAC SB COM-PORT-OPTION command value IAC SE, with 0xFF in the value doubled.
QByteArray comPortCommand(unsigned char command, const QByteArray& value) {
    QByteArray bytes;
    bytes.append(char(kIac)).append(char(kSb)).append(char(kComPort)).append(char(command));
    for (const char byte : value) {
        bytes.append(byte);
        if (static_cast<unsigned char>(byte) == kIac) {
            bytes.append(byte);
        }
    }
    return bytes.append(char(kIac)).append(char(kSe));
}

QByteArray bigEndian32(quint32 value) {
    const char bytes[4] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
    return QByteArray(bytes, 4);
}

}  // namespace

NetworkPort::~NetworkPort() {
    close();
}

QString NetworkPort::dropped(const QString& when) const {
    return QStringLiteral("the connection to %1 was dropped %2").arg(address_, when);
}

bool NetworkPort::open(const QString& path, QString* error) {
    close();
    const QUrl url(path);
    const QString host = url.host();
    const int port = url.port();
    if (!url.isValid() || host.isEmpty() || port <= 0 ||
        (url.scheme() != QLatin1String("tcp") && url.scheme() != QLatin1String("rfc2217"))) {
        return setError(error, QStringLiteral("%1 is not a network port: write tcp://HOST:PORT "
                                              "or rfc2217://HOST:PORT")
                                   .arg(path));
    }
    telnet_ = url.scheme() == QLatin1String("rfc2217");
    address_ = QStringLiteral("%1:%2")
                   .arg(host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(host) : host)
                   .arg(port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int lookup = getaddrinfo(host.toUtf8().constData(), QByteArray::number(port).constData(),
                                   &hints, &found);
    if (lookup != 0) {
        return setError(error, QStringLiteral("cannot find the host %1: %2")
                                   .arg(host, QString::fromLocal8Bit(gai_strerror(lookup))));
    }
    QElapsedTimer clock;
    clock.start();
    int failure = ETIMEDOUT;
    for (addrinfo* entry = found; entry && fd_ < 0; entry = entry->ai_next) {
        const int fd = ::socket(entry->ai_family, entry->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                                entry->ai_protocol);
        if (fd < 0) {
            failure = errno;
            continue;
        }
        int code = ::connect(fd, entry->ai_addr, entry->ai_addrlen) == 0 ? 0 : errno;
        if (code == EINPROGRESS) {
            pollfd wait{fd, POLLOUT, 0};
            code = ETIMEDOUT;
            if (poll(&wait, 1, remainingMs(clock, connectTimeoutMs_)) > 0) {
                socklen_t size = sizeof code;
                getsockopt(fd, SOL_SOCKET, SO_ERROR, &code, &size);
            }
        }
        if (code != 0) {
            failure = code;
            ::close(fd);
            continue;
        }
        fd_ = fd;
    }
    freeaddrinfo(found);
    if (fd_ < 0) {
        switch (failure) {
            case ECONNREFUSED:
                return setError(error, QStringLiteral("%1 refused the connection: no serial "
                                                      "server listens on that port")
                                           .arg(address_));
            case ETIMEDOUT:
                return setError(error, QStringLiteral("%1 did not answer within %2 s")
                                           .arg(address_)
                                           .arg(connectTimeoutMs_ / 1000.0));
            default:
                return setError(
                    error,
                    QStringLiteral("cannot connect to %1: %2").arg(address_, systemError(failure)));
        }
    }
    const int on = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (!telnet_) {
        return true;
    }
    // Binary both ways (no CR NUL, no line mode), no go-ahead, and the COM
    // port option, which the server must accept.
    for (const unsigned char option : {kBinary, kSuppressGoAhead, kComPort}) {
        local_[option] = Option::Asked;
        pending_.append(char(kIac)).append(char(kWill)).append(char(option));
    }
    for (const unsigned char option : {kBinary, kSuppressGoAhead}) {
        remote_[option] = Option::Asked;
        pending_.append(char(kIac)).append(char(kDo)).append(char(option));
    }
    const bool answered =
        waitFor(connectTimeoutMs_, [this] { return local_[kComPort] != Option::Asked; });
    QString problem;
    if (closed_) {
        problem = dropped(QStringLiteral("during the telnet negotiation"));
    } else if (!answered) {
        problem = QStringLiteral("%1 did not answer the telnet negotiation within %2 s")
                      .arg(address_)
                      .arg(connectTimeoutMs_ / 1000.0);
    } else if (local_[kComPort] != Option::Yes) {
        problem = QStringLiteral(
                      "%1 does not offer RFC 2217 serial port control; for a raw "
                      "connection write tcp://%1")
                      .arg(address_);
    }
    if (!problem.isEmpty()) {
        close();
        return setError(error, problem);
    }
    return true;
}

bool NetworkPort::configure(int baud, QString* error) {
    if (fd_ < 0) {
        return setError(error, QStringLiteral("the port is not open"));
    }
    if (telnet_) {
        answered_.fill(-1);
        pending_ += comPortCommand(kSetBaudRate, bigEndian32(static_cast<quint32>(baud))) +
                    comPortCommand(kSetDataSize, QByteArray(1, char(8))) +
                    comPortCommand(kSetParity, QByteArray(1, char(kParityNone))) +
                    comPortCommand(kSetStopSize, QByteArray(1, char(kOneStopBit))) +
                    comPortCommand(kPurgeData, QByteArray(1, char(kPurgeReceive))) +
                    comPortCommand(kPurgeData, QByteArray(1, char(kPurgeTransmit)));
        waitFor(connectTimeoutMs_, [this] {
            return answered_[kSetBaudRate] >= 0 && answered_[kSetDataSize] >= 0 &&
                   answered_[kSetParity] >= 0 && answered_[kSetStopSize] >= 0;
        });
        if (closed_) {
            return setError(error, dropped(QStringLiteral("while setting the line")));
        }
        if (answered_[kSetBaudRate] < 0 || answered_[kSetDataSize] < 0 ||
            answered_[kSetParity] < 0 || answered_[kSetStopSize] < 0) {
            return setError(error,
                            QStringLiteral("%1 did not confirm the line settings within %2 s")
                                .arg(address_)
                                .arg(connectTimeoutMs_ / 1000.0));
        }
        if (answered_[kSetBaudRate] != baud) {
            return setError(error, QStringLiteral("%1 refuses %2 baud (its line runs at %3)")
                                       .arg(address_)
                                       .arg(baud)
                                       .arg(answered_[kSetBaudRate]));
        }
        if (answered_[kSetDataSize] != 8 || answered_[kSetParity] != kParityNone ||
            answered_[kSetStopSize] != kOneStopBit) {
            return setError(
                error,
                QStringLiteral("%1 refuses 8 data bits, no parity, one stop bit").arg(address_));
        }
    }
    // What came before this command is not its reply.
    pump();
    received_.clear();
    return true;
}

bool NetworkPort::sendControl(const QByteArray& bytes) {
    pending_ += bytes;
    return flushPending(nullptr);
}

bool NetworkPort::flushPending(QString* error) {
    while (!pending_.isEmpty()) {
        const ssize_t sent = ::send(fd_, pending_.constData(), static_cast<size_t>(pending_.size()),
                                    MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            pending_.remove(0, static_cast<int>(sent));
            continue;
        }
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return true;
        }
        const int code = errno;
        closed_ = true;
        return setError(
            error,
            code == EPIPE || code == ECONNRESET
                ? dropped(QStringLiteral("during the write"))
                : QStringLiteral("writing to %1 failed: %2").arg(address_, systemError(code)));
    }
    return true;
}

qint64 NetworkPort::writeSome(const char* data, qint64 size, QString* error) {
    if (fd_ < 0) {
        setError(error, QStringLiteral("the port is not open"));
        return -1;
    }
    // A connection closed by the server shows as the end of what it sends.
    if (!pump() || !flushPending(error)) {
        setError(error, dropped(QStringLiteral("during the write")));
        return -1;
    }
    if (!pending_.isEmpty() || suspended_) {
        return 0;
    }
    if (!telnet_) {
        pending_ = QByteArray(data, static_cast<int>(size));
    } else {
        const bool binary = local_[kBinary] == Option::Yes;
        pending_.reserve(static_cast<int>(size) + 16);
        for (qint64 i = 0; i < size; ++i) {
            pending_.append(data[i]);
            if (static_cast<unsigned char>(data[i]) == kIac) {
                pending_.append(data[i]);
            } else if (!binary && data[i] == '\r') {
                pending_.append('\0');
            }
        }
    }
    return flushPending(error) ? size : -1;
}

bool NetworkPort::waitWritable(int ms, QString* error) {
    if (suspended_) {
        // The server asked for a pause: its answer to resume comes as data.
        waitFor(ms, [this] { return !suspended_; });
        return !closed_ || setError(error, dropped(QStringLiteral("during the write")));
    }
    pollfd entry{fd_, POLLOUT, 0};
    if (poll(&entry, 1, ms) > 0 && (entry.revents & (POLLHUP | POLLERR | POLLNVAL))) {
        closed_ = true;
        return setError(error, dropped(QStringLiteral("during the write")));
    }
    return true;
}

// What the server sends meanwhile is read and kept: its closing shows there.
bool NetworkPort::sleepUnlessHungUp(int ms, QString* error) {
    waitFor(ms, [] { return false; });
    return !closed_ || setError(error, dropped(QStringLiteral("during the write")));
}

int NetworkPort::bytesQueuedOut() const {
    int queued = 0;
    if (fd_ < 0 || ioctl(fd_, SIOCOUTQ, &queued) != 0) {
        queued = 0;
    }
    return pending_.size() + queued;
}

bool NetworkPort::waitUntilSent(QString* error) {
    QueueWatch watch(kStallMs);
    for (;;) {
        if (!flushPending(error)) {
            return false;
        }
        const int queued = bytesQueuedOut();
        if (queued <= 0) {
            return true;
        }
        if (watch.stalled(queued)) {
            return setError(
                error,
                QStringLiteral("%1 took no data for %2 s").arg(address_).arg(kStallMs / 1000));
        }
        pollfd entry{fd_, short(pending_.isEmpty() ? 0 : POLLOUT), 0};
        if (poll(&entry, 1, 10) > 0 && (entry.revents & (POLLHUP | POLLERR | POLLNVAL))) {
            closed_ = true;
            return setError(error, dropped(QStringLiteral("during the write")));
        }
    }
}

PortDevice::Wait NetworkPort::waitReply(int timeoutMs, int count, QByteArray* reply) {
    const bool complete = waitFor(timeoutMs, [&] { return received_.size() >= count; });
    Wait outcome = complete ? Wait::Received : closed_ ? Wait::HungUp : Wait::TimedOut;
    if (reply) {
        *reply = received_.left(count);
    }
    received_.remove(0, std::min(count, int(received_.size())));
    return outcome;
}

template <typename Done>
bool NetworkPort::waitFor(int ms, Done done) {
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        flushPending(nullptr);
        pump();
        // Checked after reading, so what completes it in the last pass counts.
        if (done()) {
            return true;
        }
        const int left = remainingMs(clock, ms);
        if (closed_ || left == 0) {
            return false;
        }
        pollfd entry{fd_, short(POLLIN | (pending_.isEmpty() ? 0 : POLLOUT)), 0};
        poll(&entry, 1, std::min(left, 50));
    }
}

bool NetworkPort::pump() {
    char buffer[4096];
    while (fd_ >= 0 && !closed_) {
        const ssize_t got = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got > 0) {
            if (telnet_) {
                decode(buffer, static_cast<int>(got));
            } else {
                received_.append(buffer, static_cast<int>(got));
            }
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        } else {
            closed_ = true;  // the end of the stream, or a reset
        }
    }
    return fd_ >= 0 && !closed_;
}

void NetworkPort::decode(const char* data, int size) {
    for (int i = 0; i < size; ++i) {
        const auto byte = static_cast<unsigned char>(data[i]);
        switch (state_) {
            case kAfterCr:
                state_ = kData;
                if (byte == 0) {
                    break;  // CR NUL is a bare CR outside binary mode
                }
                [[fallthrough]];
            case kData:
                if (byte == kIac) {
                    state_ = kAfterIac;
                } else {
                    received_.append(char(byte));
                    if (byte == '\r' && remote_[kBinary] != Option::Yes) {
                        state_ = kAfterCr;
                    }
                }
                break;
            case kAfterIac:
                if (byte == kIac) {
                    received_.append(char(byte));
                    state_ = kData;
                } else if (byte >= kWill && byte <= kDont) {
                    verb_ = byte;
                    state_ = kAfterVerb;
                } else if (byte == kSb) {
                    sub_.clear();
                    state_ = kInSub;
                } else {
                    state_ = kData;  // NOP, go-ahead and the like
                }
                break;
            case kAfterVerb:
                negotiate(verb_, byte);
                state_ = kData;
                break;
            case kInSub:
                if (byte == kIac) {
                    state_ = kInSubAfterIac;
                } else {
                    sub_.append(char(byte));
                }
                break;
            case kInSubAfterIac:
                if (byte == kIac) {
                    sub_.append(char(byte));
                    state_ = kInSub;
                } else {
                    subnegotiation(sub_);
                    state_ = kData;
                }
                break;
        }
    }
}

// Options are agreed once: a request already made is not answered again,
// and an option this side does not know is refused. DO and DONT are about
// this side's options, WILL and WONT about the server's.
void NetworkPort::negotiate(unsigned char verb, unsigned char option) {
    const bool ours = verb == kDo || verb == kDont;
    const bool known =
        option == kBinary || option == kSuppressGoAhead || (ours && option == kComPort);
    const bool enable = verb == kDo || verb == kWill;
    Option& state = ours ? local_[option] : remote_[option];
    const unsigned char agree = ours ? kWill : kDo;
    const unsigned char refuse = ours ? kWont : kDont;
    unsigned char answer = 0;
    if (enable && !known) {
        answer = refuse;
    } else if (enable) {
        answer = state == Option::No ? agree : 0;
        state = Option::Yes;
    } else {
        answer = state == Option::Yes ? refuse : 0;
        state = Option::No;
    }
    if (answer != 0) {
        sendControl(QByteArray(1, char(kIac)) + char(answer) + char(option));
    }
}

void NetworkPort::subnegotiation(const QByteArray& body) {
    if (body.size() < 2 || static_cast<unsigned char>(body[0]) != kComPort) {
        return;
    }
    const int code = static_cast<unsigned char>(body[1]) - 100;
    if (code == kSignature && body.size() == 2) {
        sendControl(comPortCommand(kSignature, QByteArrayLiteral("Marquee")));
        return;
    }
    if (code == kFlowSuspend || code == kFlowResume) {
        suspended_ = code == kFlowSuspend;
        return;
    }
    if (code < 0 || code >= int(answered_.size())) {
        return;  // a notification of the line or modem state
    }
    qint64 value = 0;
    for (int i = 2; i < body.size() && i < 6; ++i) {
        value = (value << 8) | static_cast<unsigned char>(body[i]);
    }
    answered_[static_cast<size_t>(code)] = value;
}

void NetworkPort::close() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    fd_ = -1;
    closed_ = false;
    suspended_ = false;
    received_.clear();
    pending_.clear();
    state_ = kData;
    local_.fill(Option::No);
    remote_.fill(Option::No);
    answered_.fill(-1);
}
