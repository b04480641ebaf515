#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Small file helpers shared by the suites.
inline QByteArray readBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll();
}

inline bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    return file.write(bytes) == bytes.size();
}

#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>

// One run of the real marquee-cli.
struct CliRun {
    int exitCode;
    QString out;
    QString err;
    qint64 ms;
    QStringList outLines() const { return out.split('\n', Qt::SkipEmptyParts); }
};

inline CliRun runCli(const QStringList& args) {
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    process.start(QStringLiteral(MARQUEE_CLI_PATH), args);
    process.waitForFinished(60000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError()), timer.elapsed()};
}
