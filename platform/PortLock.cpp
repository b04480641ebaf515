#include "platform/PortLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

constexpr char kLockFolder[] = "/var/lock";

bool processAlive(qint64 pid) {
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

// The PID in a lock file: ten ASCII digits (the usual form) or, from old
// programs, the PID as a 4-byte binary number. 0 when unreadable.
qint64 lockOwner(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    char text[32] = {};
    const ssize_t got = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (got == 4 && (text[0] < '0' || text[0] > '9') && text[0] != ' ') {
        qint32 binary = 0;
        std::memcpy(&binary, text, 4);
        return binary;
    }
    bool ok = false;
    const qint64 pid =
        QByteArray(text, got > 0 ? static_cast<int>(got) : 0).trimmed().toLongLong(&ok);
    return ok ? pid : 0;
}

// Writes our PID to a file of our own and links it to the lock's name, so
// that nobody ever reads a lock file half written. False with errno set.
bool createLock(const QByteArray& path) {
    const QByteArray temporary =
        QByteArray(kLockFolder) + "/LTMP." + QByteArray::number(static_cast<qint64>(::getpid()));
    ::unlink(temporary.constData());
    const int fd =
        ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%10ld\n", static_cast<long>(::getpid()));
    const bool written = ::write(fd, text, static_cast<size_t>(length)) == length;
    ::close(fd);
    const bool linked = written && ::link(temporary.constData(), path.constData()) == 0;
    const int code = written ? errno : EIO;
    ::unlink(temporary.constData());
    errno = code;
    return linked;
}

// Ports this process has open, for the signal handler: descriptor and lock
// file. Written by the opening thread, read by the handler.
struct OpenPortEntry {
    std::atomic<int> fd{-1};
    char lockPath[256] = {};
};
OpenPortEntry g_openPorts[8];

void releaseAndDie(int signal) {
    for (OpenPortEntry& entry : g_openPorts) {
        const int fd = entry.fd.load();
        if (fd >= 0) {
            ::ioctl(fd, TIOCNXCL);
            if (entry.lockPath[0] != '\0') {
                ::unlink(entry.lockPath);
            }
        }
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

bool ownsLock(const QByteArray& path) {
    for (const OpenPortEntry& entry : g_openPorts) {
        if (entry.fd.load() >= 0 && path == entry.lockPath) {
            return true;
        }
    }
    return false;
}

QString linkTarget(const QString& path) {
    return QFile::symLinkTarget(path);
}

}  // namespace

QByteArray lockFilePath(const QString& device) {
    QString name = device;
    if (name.startsWith(QLatin1String("/dev/"))) {
        name = name.mid(5);
    } else {
        name = QFileInfo(name).fileName();
    }
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QByteArray(kLockFolder) + "/LCK.." + QFile::encodeName(name);
}

bool PortLock::acquire(const QString& device, PortHolder* holder) {
    release();
    const QByteArray path = lockFilePath(device);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (createLock(path)) {
            path_ = path;
            return true;
        }
        if (errno != EEXIST) {
            return true;  // no lock folder we may write: go on without a lock file
        }
        const qint64 owner = lockOwner(path);
        const bool ours = owner == ::getpid();
        if ((ours && ownsLock(path)) || (!ours && processAlive(owner))) {
            if (holder) {
                *holder = {owner, programOf(owner)};
            }
            return false;
        }
        ::unlink(path.constData());  // stale: its process is gone
    }
    return true;
}

void PortLock::release() {
    if (!path_.isEmpty()) {
        if (lockOwner(path_) == ::getpid()) {
            ::unlink(path_.constData());
        }
        path_.clear();
    }
}

QString programOf(qint64 pid) {
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly)) {
        return QString();
    }
    return QString::fromLocal8Bit(comm.readAll()).trimmed();
}

PortHolder findPortHolder(const QString& device) {
    const QString wanted = QFileInfo(device).canonicalFilePath();
    if (wanted.isEmpty()) {
        return {};
    }
    // For /dev/pts/N, the master side that belongs to it.
    int ptyIndex = -1;
    if (wanted.startsWith(QLatin1String("/dev/pts/"))) {
        ptyIndex = wanted.mid(9).toInt();
    }
    const qint64 self = ::getpid();
    const QStringList processes = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : processes) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        if (!numeric || pid == self) {
            continue;
        }
        const QString fdFolder = QStringLiteral("/proc/%1/fd").arg(pid);
        bool holds = false;
        bool otherEnd = false;
        for (const QString& fd : QDir(fdFolder).entryList(QDir::Files | QDir::System)) {
            const QString target = linkTarget(fdFolder + QLatin1Char('/') + fd);
            if (target == wanted) {
                holds = true;
            } else if (ptyIndex >= 0 && target.endsWith(QLatin1String("ptmx"))) {
                QFile info(QStringLiteral("/proc/%1/fdinfo/%2").arg(pid).arg(fd));
                if (info.open(QIODevice::ReadOnly) &&
                    info.readAll().contains(QByteArray("tty-index:\t") +
                                            QByteArray::number(ptyIndex) + '\n')) {
                    otherEnd = true;
                }
            }
        }
        if (holds && !otherEnd) {
            return {pid, programOf(pid)};
        }
    }
    return {};
}

void rememberOpenPort(int fd, const QByteArray& lockPath) {
    releasePortsOnSignals();
    for (OpenPortEntry& entry : g_openPorts) {
        if (entry.fd.load() < 0) {
            const size_t length =
                std::min(static_cast<size_t>(lockPath.size()), sizeof entry.lockPath - 1);
            std::memcpy(entry.lockPath, lockPath.constData(), length);
            entry.lockPath[length] = '\0';
            entry.fd.store(fd);
            return;
        }
    }
}

void forgetOpenPort(int fd) {
    for (OpenPortEntry& entry : g_openPorts) {
        if (fd >= 0 && entry.fd.load() == fd) {
            entry.fd.store(-1);
            entry.lockPath[0] = '\0';
        }
    }
}

void releasePortsOnSignals() {
    // Only where nobody else has taken the signal (a program that handles
    // Ctrl-C itself closes its ports the ordinary way).
    for (int signal : {SIGINT, SIGTERM}) {
        struct sigaction current {};
        if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_DFL &&
            !(current.sa_flags & SA_SIGINFO)) {
            struct sigaction action {};
            action.sa_handler = releaseAndDie;
            sigemptyset(&action.sa_mask);
            sigaction(signal, &action, nullptr);
        }
    }
}

void releasePortsAndDie(int signal) {
    releaseAndDie(signal);
}
