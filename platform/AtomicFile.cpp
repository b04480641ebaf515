#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

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

mode_t currentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

}  // namespace

bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error) {
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
    bool ok = writeAll(fd, data) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
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
    // Make the rename itself durable.
    const int dirFd = ::open(QFile::encodeName(targetInfo.absolutePath()).constData(),
                             O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

bool readWholeFile(const QString& path, qint64 maxBytes, QByteArray* data, QString* error) {
    QFile file(path);
    if (QFileInfo(path).isDir()) {
        *error = QStringLiteral("it is a folder");
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    *data = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        *error = file.errorString();
        return false;
    }
    if (data->size() > maxBytes) {
        data->clear();
        *error = QStringLiteral("the file is larger than %1 bytes").arg(maxBytes);
        return false;
    }
    return true;
}
