#include "core/TransferLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>

#include <algorithm>

QString transferLogLine(const CommandRecord& record) {
    const QLocale locale(QLocale::English);
    return QStringLiteral("%1  %2  controller %3  %4  %5 bytes  %6 s  %7")
        .arg(record.start.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), record.command)
        .arg(record.controller)
        .arg(record.port.isEmpty() ? QStringLiteral("-") : record.port)
        .arg(locale.toString(record.bytes))
        .arg(QString::number(record.ms / 1000.0, 'f', 1))
        .arg(record.outcome);
}

QString transferLogPath(const QString& folder) {
    const QString dir =
        !folder.isEmpty()
            ? folder
            : QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
                  .filePath(QStringLiteral("marquee"));
    return QDir(dir).filePath(QStringLiteral("transfer-log.txt"));
}

bool appendTransferLog(const QString& path, const QString& line, QString* error) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QByteArray bytes = line.toUtf8();
    bytes += '\n';
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append) || file.write(bytes) != bytes.size()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

QString durationText(qint64 ms) {
    const qint64 seconds = (std::max<qint64>(ms, 0) + 999) / 1000;
    if (seconds >= 3600) {
        return QStringLiteral("%1:%2:%3")
            .arg(seconds / 3600)
            .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    }
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}
