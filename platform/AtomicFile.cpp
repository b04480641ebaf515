#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

namespace {

QString systemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool writeAll(int fd, const QByteArray& data) {
    const char* p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = EIO;
            }
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

// Why info is not a regular file; errno's text when stat or open failed.
QString notRegularReason(const struct stat& info) {
    switch (info.st_mode & S_IFMT) {
        case S_IFDIR:
            return QStringLiteral("it is a folder, not a file");
        case S_IFIFO:
            return QStringLiteral("it is a FIFO (named pipe), not a file");
        case S_IFCHR:
        case S_IFBLK:
            return QStringLiteral("it is a device, not a file");
        case S_IFSOCK:
            return QStringLiteral("it is a socket, not a file");
        default:
            return systemError();
    }
}

// ".NAME.XXXXXX" as mkostemp makes it from ".NAME.XXXXXX".
bool isTemporaryName(const QString& entry, const QString& keep) {
    static const QRegularExpression pattern(QStringLiteral("^\\.(.+)\\.[A-Za-z0-9]{6}$"));
    const QRegularExpressionMatch match = pattern.match(entry);
    if (!match.hasMatch()) {
        return false;
    }
    const QString name = match.captured(1);
    static const QStringList written = {QStringLiteral("ini"), QStringLiteral("lis"),
                                        QStringLiteral("bmp"), QStringLiteral("png")};
    return name == keep || written.contains(QFileInfo(name).suffix().toLower());
}

mode_t currentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

}  // namespace

int removeStaleTemporaryFiles(const QString& folder, const QString& keep, int maxAgeSeconds) {
    const QDir dir(folder);
    const QStringList entries =
        dir.entryList({QStringLiteral(".*")}, QDir::Files | QDir::Hidden | QDir::System);
    const time_t oldest = ::time(nullptr) - maxAgeSeconds;
    int removed = 0;
    for (const QString& entry : entries) {
        if (!isTemporaryName(entry, keep)) {
            continue;
        }
        const QByteArray path = QFile::encodeName(dir.filePath(entry));
        struct stat info {};
        if (::lstat(path.constData(), &info) == 0 && S_ISREG(info.st_mode) &&
            info.st_mtime < oldest && ::unlink(path.constData()) == 0) {
            ++removed;
        }
    }
    return removed;
}

namespace {

// The rename is made durable, with the bytes before it, only when flushed.
bool replaceFile(const QString& path, const QByteArray& data, QString* error, bool flushed) {
    // Replace the file a link points to, not the link.
    QFileInfo info(path);
    const QString target = info.isSymLink() && info.exists() ? info.canonicalFilePath() : path;
    const QFileInfo targetInfo(target);
    if (targetInfo.isDir()) {
        *error = QStringLiteral("%1 is a folder").arg(target);
        return false;
    }

    // The new file keeps the old one's permissions, with the owner allowed
    // to write: a read-only mark is cleared the way saving always did.
    if (flushed) {
        removeStaleTemporaryFiles(targetInfo.absolutePath(), targetInfo.fileName());
    }
    mode_t mode = 0666 & ~currentUmask();
    struct stat old {};
    if (::stat(QFile::encodeName(target).constData(), &old) == 0) {
        mode = (old.st_mode & 07777) | S_IRUSR | S_IWUSR;
    }

    QByteArray temp =
        QFile::encodeName(targetInfo.absolutePath() + QLatin1Char('/') + QLatin1Char('.') +
                          targetInfo.fileName() + QStringLiteral(".XXXXXX"));
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        *error = systemError();
        return false;
    }
    bool ok = writeAll(fd, data) && ::fchmod(fd, mode) == 0 && (!flushed || ::fsync(fd) == 0);
    if (!ok) {
        *error = systemError();
    }
    if (::close(fd) != 0 && ok) {
        *error = systemError();
        ok = false;
    }
    if (ok && ::rename(temp.constData(), QFile::encodeName(target).constData()) != 0) {
        *error = systemError();
        ok = false;
    }
    if (!ok) {
        ::unlink(temp.constData());
        return false;
    }
    if (!flushed) {
        return true;
    }
    // Make the rename itself durable.
    const int dirFd = ::open(QFile::encodeName(targetInfo.absolutePath()).constData(),
                             O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

}  // namespace

bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error) {
    return replaceFile(path, data, error, true);
}

bool replaceFileUnflushed(const QString& path, const QByteArray& data, QString* error) {
    return replaceFile(path, data, error, false);
}

ReadableFile::~ReadableFile() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool ReadableFile::open(const QString& path, qint64 maxBytes, QString* error) {
    const QByteArray name = QFile::encodeName(path);
    // Looked at before it is opened: opening a FIFO would wait for a writer,
    // and opening some devices does something.
    struct stat info {};
    if (::stat(name.constData(), &info) != 0 || (info.st_mode & S_IFMT) != S_IFREG) {
        *error = notRegularReason(info);
        return false;
    }
    m_fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    // Checked again on what was opened, in case the name changed meanwhile.
    if (m_fd < 0 || ::fstat(m_fd, &info) != 0 || (info.st_mode & S_IFMT) != S_IFREG) {
        *error = notRegularReason(info);
        return false;
    }
    if (info.st_size > maxBytes) {
        *error =
            QStringLiteral("it is %1 bytes; at most %2 are read").arg(info.st_size).arg(maxBytes);
        return false;
    }
    m_size = info.st_size;
    return true;
}

bool ReadableFile::readAt(qint64 offset, qint64 length, QByteArray* data, QString* error) const {
    length = std::max<qint64>(0, std::min(length, m_size - offset));
    data->resize(static_cast<qsizetype>(length));
    qint64 got = 0;
    while (got < length) {
        const ssize_t n = ::pread(m_fd, data->data() + got, static_cast<size_t>(length - got),
                                  static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            *error = systemError();
            data->clear();
            return false;
        }
        if (n == 0) {
            break;  // the file was cut short meanwhile
        }
        got += n;
    }
    data->resize(static_cast<qsizetype>(got));
    return true;
}

bool readWholeFile(const QString& path, qint64 maxBytes, QByteArray* data, QString* error) {
    ReadableFile file;
    return file.open(path, maxBytes, error) && file.readAt(0, file.size(), data, error);
}
