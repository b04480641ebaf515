#include "platform/SerialDevice.h"

#include "platform/PortFailure.h"
#include "platform/PortLock.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

bool setError(QString* error, const QString& text) {
    if (error) {
        *error = text;
    }
    return false;
}

speed_t speedFor(int baud) {
    switch (baud) {
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        default:
            return B0;
    }
}

// Milliseconds left of limitMs, rounded up so that poll() never wakes early.
int remainingMs(const QElapsedTimer& clock, int limitMs) {
    const qint64 leftNs = qint64(limitMs) * 1000000 - clock.nsecsElapsed();
    if (leftNs <= 0) {
        return 0;
    }
    return static_cast<int>((leftNs + 999999) / 1000000);
}

void sleepMs(int ms) {
    timespec pause{ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
}

// Whether a character device is a terminal, before it is opened: the kernel
// files every device but the pseudo-terminals under /sys/dev/char, and a
// terminal's class there is tty.
bool terminalDevice(const struct stat& info) {
    const QString entry =
        QStringLiteral("/sys/dev/char/%1:%2").arg(major(info.st_rdev)).arg(minor(info.st_rdev));
    if (!QFileInfo::exists(entry)) {
        return true;
    }
    return QFileInfo(entry + QStringLiteral("/subsystem"))
        .canonicalFilePath()
        .endsWith(QLatin1String("/tty"));
}

}  // namespace

QString serialPortPath(const QString& folder, int comm) {
    const QString link = QDir(folder).filePath(QStringLiteral("com%1").arg(comm));
    const QFileInfo entry(link);
    // A dangling link still names the port: opening it then reports the
    // missing device instead of silently falling back to another port.
    if (entry.exists() || entry.isSymLink()) {
        return link;
    }
    return QStringLiteral("/dev/ttyS%1").arg(comm - 1);
}

SerialDevice::~SerialDevice() {
    close();
}

bool SerialDevice::open(const QString& path, QString* error) {
    close();
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::stat(name.constData(), &info) != 0) {
        return setError(error, openFailure(path, errno));
    }
    if (S_ISDIR(info.st_mode)) {
        return setError(error, QStringLiteral("%1 is a folder, not a serial port").arg(path));
    }
    if (!S_ISCHR(info.st_mode) || !terminalDevice(info)) {
        return setError(error, QStringLiteral("%1 is not a serial port").arg(path));
    }
    // The lock file and the processes that have the device open are checked
    // before opening it: opening alone can reset some adapters.
    const QString device = QFileInfo(path).canonicalFilePath();
    PortHolder holder;
    if (!lock_.acquire(device, &holder)) {
        return setError(error, inUseText(path, holder, lockFilePath(device)));
    }
    holder = findPortHolder(device);
    if (holder.pid != 0) {
        lock_.release();
        return setError(error, inUseText(path, holder, QByteArray()));
    }
    const int fd = ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int code = errno;
        lock_.release();
        return setError(error, openFailure(path, code));
    }
    QString problem;
    if (!isatty(fd)) {
        problem = QStringLiteral("%1 is not a serial port").arg(path);
    } else if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int code = errno;
        problem = code == EWOULDBLOCK
                      ? inUseText(path, findPortHolder(device), QByteArray())
                      : QStringLiteral("cannot lock %1: %2").arg(path, systemError(code));
    } else if (ioctl(fd, TIOCEXCL) != 0) {
        problem = QStringLiteral("cannot take %1 for this program alone: %2")
                      .arg(path, systemError(errno));
    }
    if (!problem.isEmpty()) {
        ::close(fd);
        lock_.release();
        return setError(error, problem);
    }
    fd_ = fd;
    path_ = path;
    rememberOpenPort(fd_, lock_.path());
    return true;
}

bool SerialDevice::configure(int baud, QString* error) {
    if (fd_ < 0) {
        return setError(error, QStringLiteral("the port is not open"));
    }
    const speed_t speed = speedFor(baud);
    if (speed == B0) {
        return setError(error, QStringLiteral("unsupported rate %1 baud").arg(baud));
    }
    termios line{};
    if (tcgetattr(fd_, &line) != 0) {
        return setError(error, QStringLiteral("cannot read the line settings of %1: %2")
                                   .arg(path_, systemError(errno)));
    }
    cfmakeraw(&line);  // 8 data bits, no parity, no echo, no translation
    line.c_cflag &= ~CSTOPB;
    line.c_cflag |= CLOCAL | CREAD;
    line.c_cc[VMIN] = 1;
    line.c_cc[VTIME] = 0;
    cfsetispeed(&line, speed);
    cfsetospeed(&line, speed);
    if (tcsetattr(fd_, TCSANOW, &line) != 0) {
        return setError(error, QStringLiteral("cannot set the line settings of %1: %2")
                                   .arg(path_, systemError(errno)));
    }
    termios readBack{};
    if (tcgetattr(fd_, &readBack) != 0 || cfgetospeed(&readBack) != speed ||
        cfgetispeed(&readBack) != speed) {
        return setError(error, QStringLiteral("%1 refuses %2 baud").arg(path_).arg(baud));
    }
    tcflush(fd_, TCIFLUSH);
    tcflush(fd_, TCOFLUSH);
    baud_ = baud;
    return true;
}

int SerialDevice::bytesWaiting() const {
    int count = 0;
    if (fd_ < 0 || ioctl(fd_, FIONREAD, &count) != 0) {
        return 0;
    }
    return count;
}

bool SerialDevice::writeAll(const QByteArray& data, QString* error) {
    if (fd_ < 0) {
        return setError(error, QStringLiteral("the port is not open"));
    }
    QElapsedTimer sinceStart;
    sinceStart.start();
    const char* next = data.constData();
    qint64 left = data.size();
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    while (left > 0) {
        const qint64 written = writeSome(next, left, error);
        if (written < 0) {
            return false;
        }
        if (written > 0) {
            next += written;
            left -= written;
            sinceProgress.restart();
            continue;
        }
        // The output queue is full: sleep until it has room.
        const int waitMs = remainingMs(sinceProgress, stallTimeoutMs_);
        if (waitMs == 0) {
            return setError(error, QStringLiteral("%1 took no data for %2 s")
                                       .arg(path_)
                                       .arg(stallTimeoutMs_ / 1000.0));
        }
        if (!waitWritable(waitMs, error)) {
            return false;
        }
    }
    if (!waitUntilSent(error)) {
        return false;
    }
    const qint64 lineMs = baud_ > 0 ? (data.size() * 10000LL + baud_ - 1) / baud_ : 0;
    return waitOutLineTime(lineMs, sinceStart, error);
}

// The bytes cannot have reached the other end before their line time: a
// pseudo-terminal, or an adapter whose driver reports an empty queue early,
// would otherwise start the reply wait while the controller still receives.
bool SerialDevice::waitOutLineTime(qint64 lineMs, const QElapsedTimer& since, QString* error) {
    for (;;) {
        const qint64 leftMs = lineMs - since.elapsed();
        if (leftMs <= 0) {
            return true;
        }
        if (!sleepUnlessHungUp(static_cast<int>(leftMs), error)) {
            return false;
        }
    }
}

bool SerialDevice::sleepUnlessHungUp(int ms, QString* error) {
    pollfd entry{fd_, 0, 0};
    if (poll(&entry, 1, ms) > 0 && (entry.revents & (POLLHUP | POLLERR | POLLNVAL))) {
        return setError(error,
                        QStringLiteral("the other end of %1 hung up during the write").arg(path_));
    }
    return true;
}

qint64 SerialDevice::writeSome(const char* data, qint64 size, QString* error) {
    if (fd_ < 0) {
        setError(error, QStringLiteral("the port is not open"));
        return -1;
    }
    for (;;) {
        const ssize_t written = ::write(fd_, data, static_cast<size_t>(size));
        if (written >= 0) {
            return written;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno == EAGAIN) {
            return 0;
        }
        if (errno == EIO || errno == EPIPE) {
            setError(error,
                     QStringLiteral("the other end of %1 hung up during the write").arg(path_));
        } else {
            setError(error,
                     QStringLiteral("writing to %1 failed: %2").arg(path_, systemError(errno)));
        }
        return -1;
    }
}

bool SerialDevice::waitWritable(int ms, QString* error) {
    pollfd entry{fd_, POLLOUT, 0};
    const int ready = poll(&entry, 1, ms);
    if (ready > 0 && (entry.revents & (POLLHUP | POLLERR | POLLNVAL))) {
        return setError(error,
                        QStringLiteral("the other end of %1 hung up during the write").arg(path_));
    }
    return true;
}

int SerialDevice::bytesQueuedOut() const {
    int queued = 0;
    if (fd_ < 0 || ioctl(fd_, TIOCOUTQ, &queued) != 0) {
        return 0;
    }
    return queued;
}

// A synchronous write returns once the bytes are on the line, so the reply
// time-out starts after the controller has had the whole transmission. The
// driver's queue can hold seconds of data at 9600 baud: wait for it to empty.
bool SerialDevice::waitUntilSent(QString* error) {
    QueueWatch watch(stallTimeoutMs_);
    for (;;) {
        const int queued = bytesQueuedOut();
        if (queued <= 0) {
            return true;
        }
        if (watch.stalled(queued)) {
            return setError(error, QStringLiteral("%1 sent no data for %2 s")
                                       .arg(path_)
                                       .arg(stallTimeoutMs_ / 1000.0));
        }
        pollfd entry{fd_, 0, 0};
        if (poll(&entry, 1, 0) > 0 && (entry.revents & (POLLHUP | POLLERR | POLLNVAL))) {
            return setError(
                error, QStringLiteral("the other end of %1 hung up during the write").arg(path_));
        }
        sleepMs(10);
    }
}

SerialDevice::Wait SerialDevice::waitReply(int timeoutMs, int count, QByteArray* reply) {
    QElapsedTimer clock;
    clock.start();
    QByteArray received;
    received.reserve(count);
    Wait outcome = Wait::TimedOut;
    for (;;) {
        // Take what is queued first, so that a reply completed in the pass
        // that notices the time-out still counts.
        bool hungUp = fd_ < 0;
        while (!hungUp && received.size() < count) {
            char buffer[256];
            const size_t want =
                std::min(sizeof buffer, static_cast<size_t>(count - received.size()));
            const ssize_t got = ::read(fd_, buffer, want);
            if (got > 0) {
                received.append(buffer, static_cast<int>(got));
            } else if (got < 0 && errno == EINTR) {
                continue;
            } else if (got < 0 && errno == EAGAIN) {
                break;
            } else {
                hungUp = true;  // end of file or EIO: the other end is gone
            }
        }
        if (received.size() >= count) {
            outcome = Wait::Received;
            break;
        }
        if (hungUp) {
            outcome = Wait::HungUp;
            break;
        }
        const int waitMs = remainingMs(clock, timeoutMs);
        if (waitMs == 0) {
            break;
        }
        pollfd entry{fd_, POLLIN, 0};
        const int ready = poll(&entry, 1, waitMs);
        if (ready > 0 && !(entry.revents & POLLIN) &&
            (entry.revents & (POLLHUP | POLLERR | POLLNVAL))) {
            outcome = Wait::HungUp;
            break;
        }
    }
    if (reply) {
        *reply = received;
    }
    return outcome;
}

void SerialDevice::close() {
    if (fd_ < 0) {
        return;
    }
    // The exclusive mark belongs to the terminal, not to this descriptor:
    // drop it so that the next command of a user without root can open the
    // port while another process still holds it open (a pseudo-terminal).
    forgetOpenPort(fd_);
    ioctl(fd_, TIOCNXCL);
    ::close(fd_);
    lock_.release();
    fd_ = -1;
    baud_ = 0;
    path_.clear();
}
