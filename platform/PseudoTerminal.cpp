#include "platform/PseudoTerminal.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

bool setError(QString* error, const QString& text) {
    if (error) {
        *error = text;
    }
    return false;
}

QString systemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

struct Rate {
    speed_t speed;
    int bps;
};
constexpr Rate kRates[] = {
    {B50, 50},       {B75, 75},         {B110, 110},       {B134, 134},       {B150, 150},
    {B200, 200},     {B300, 300},       {B600, 600},       {B1200, 1200},     {B1800, 1800},
    {B2400, 2400},   {B4800, 4800},     {B9600, 9600},     {B19200, 19200},   {B38400, 38400},
    {B57600, 57600}, {B115200, 115200}, {B230400, 230400}, {B460800, 460800}, {B921600, 921600}};

}  // namespace

PseudoTerminal::~PseudoTerminal() {
    close();
}

bool PseudoTerminal::open(QString* error) {
    close();
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) {
        return setError(error,
                        QStringLiteral("cannot make a pseudo-terminal: %1").arg(systemError()));
    }
    char name[128];
    if (grantpt(master_) != 0 || unlockpt(master_) != 0 ||
        ptsname_r(master_, name, sizeof name) != 0) {
        const QString reason = systemError();
        close();
        return setError(error, QStringLiteral("cannot set up a pseudo-terminal: %1").arg(reason));
    }
    devicePath_ = QFile::decodeName(name);
    device_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios line{};
    if (device_ < 0 || tcgetattr(device_, &line) != 0) {
        const QString reason = systemError();
        close();
        return setError(error,
                        QStringLiteral("cannot open %1: %2").arg(QFile::decodeName(name), reason));
    }
    cfmakeraw(&line);
    tcsetattr(device_, TCSANOW, &line);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    return true;
}

bool PseudoTerminal::linkAs(const QString& folder, int comm, QString* error) {
    if (master_ < 0) {
        return setError(error, QStringLiteral("no pseudo-terminal to link"));
    }
    removeLink();
    const QString path = QDir(folder).filePath(QStringLiteral("com%1").arg(comm));
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (lstat(name.constData(), &info) == 0 && !S_ISLNK(info.st_mode)) {
        return setError(error,
                        QStringLiteral("%1 exists and is not a link; not replaced").arg(path));
    }
    // Made under a temporary name and renamed over the old link in one step.
    const QByteArray temporary = name + ".tmp" + QByteArray::number(getpid());
    ::unlink(temporary.constData());
    if (symlink(QFile::encodeName(devicePath_).constData(), temporary.constData()) != 0 ||
        rename(temporary.constData(), name.constData()) != 0) {
        const QString reason = systemError();
        ::unlink(temporary.constData());
        return setError(error, QStringLiteral("cannot link %1: %2").arg(path, reason));
    }
    linkPath_ = path;
    return true;
}

QByteArray PseudoTerminal::read(int timeoutMs, int maxBytes) {
    QByteArray data;
    if (master_ < 0 || maxBytes <= 0) {
        return data;
    }
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        data.resize(maxBytes);
        const ssize_t got = ::read(master_, data.data(), static_cast<size_t>(maxBytes));
        if (got > 0) {
            data.resize(static_cast<int>(got));
            return data;
        }
        if (got < 0 && errno == EINTR) {
            continue;
        }
        const int leftMs = static_cast<int>(timeoutMs - clock.elapsed());
        if ((got < 0 && errno != EAGAIN) || leftMs <= 0) {
            return {};
        }
        pollfd entry{master_, POLLIN, 0};
        if (poll(&entry, 1, leftMs) > 0 && !(entry.revents & POLLIN)) {
            return {};  // error or hang-up: nothing more will come
        }
    }
}

bool PseudoTerminal::writeAll(const QByteArray& data, int timeoutMs, QString* error) {
    if (master_ < 0) {
        return setError(error, QStringLiteral("the pseudo-terminal is closed"));
    }
    QElapsedTimer clock;
    clock.start();
    const char* next = data.constData();
    qint64 left = data.size();
    while (left > 0) {
        const ssize_t written = ::write(master_, next, static_cast<size_t>(left));
        if (written > 0) {
            next += written;
            left -= written;
            continue;
        }
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0 && errno != EAGAIN) {
            return setError(error, QStringLiteral("writing failed: %1").arg(systemError()));
        }
        const int leftMs = static_cast<int>(timeoutMs - clock.elapsed());
        if (leftMs <= 0) {
            return setError(error, QStringLiteral("the port takes no data"));
        }
        pollfd entry{master_, POLLOUT, 0};
        poll(&entry, 1, leftMs);
    }
    return true;
}

void PseudoTerminal::waitUntilRead(int timeoutMs) {
    // Written bytes reach the device end a moment after the write: count
    // an empty queue only once they were seen there, or after a while.
    constexpr int kArrivalMs = 200;
    QElapsedTimer clock;
    clock.start();
    bool seen = false;
    while (device_ >= 0 && clock.elapsed() < timeoutMs) {
        int queued = 0;
        int exclusive = 1;
        ioctl(device_, FIONREAD, &queued);
        seen = seen || queued > 0;
        const bool settled = seen || clock.elapsed() >= kArrivalMs;
        if (settled && queued == 0) {
            return;
        }
        // A program that opened the port exclusively has closed it again.
        if (settled && ioctl(device_, TIOCGEXCL, &exclusive) == 0 && !exclusive) {
            return;
        }
        usleep(10000);
    }
}

int PseudoTerminal::lineSpeed() const {
    termios line{};
    if (master_ < 0 || tcgetattr(master_, &line) != 0) {
        return 0;
    }
    const speed_t speed = cfgetospeed(&line);
    for (const Rate& rate : kRates) {
        if (rate.speed == speed) {
            return rate.bps;
        }
    }
    return 0;
}

void PseudoTerminal::removeLink() {
    if (linkPath_.isEmpty()) {
        return;
    }
    // Only our own link: another emulator may have replaced it since.
    const QByteArray name = QFile::encodeName(linkPath_);
    char target[4096];
    const ssize_t length = readlink(name.constData(), target, sizeof target - 1);
    if (length > 0 &&
        QFile::decodeName(QByteArray(target, static_cast<int>(length))) == devicePath_) {
        ::unlink(name.constData());
    }
    linkPath_.clear();
}

void PseudoTerminal::close() {
    removeLink();
    if (device_ >= 0) {
        ::close(device_);
        device_ = -1;
    }
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
    devicePath_.clear();
}
