#include "platform/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error) {
    QFileInfo existing(path);
    if (existing.exists() && existing.isFile()) {
        // The new file takes the old one's permissions: make sure the owner
        // may write it, the way a read-only mark is cleared before saving.
        QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::WriteOwner |
                                        QFileDevice::ReadOwner);
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    if (file.write(data) != data.size()) {
        *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

bool readWholeFile(const QString& path, qint64 maxBytes, QByteArray* data, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    if (file.size() > maxBytes) {
        *error = QStringLiteral("the file is larger than %1 bytes").arg(maxBytes);
        return false;
    }
    *data = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        *error = file.errorString();
        return false;
    }
    if (data->size() > maxBytes) {
        *error = QStringLiteral("the file is larger than %1 bytes").arg(maxBytes);
        return false;
    }
    return true;
}
