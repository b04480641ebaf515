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

#include <QDir>
#include <QFileInfo>
#include <QImage>

#include <gtest/gtest.h>

// A file in tests/data/.
inline QString dataPath(const char* name) {
    return QFileInfo(QStringLiteral(__FILE__))
        .dir()
        .filePath(QStringLiteral("data/%1").arg(QString::fromLatin1(name)));
}

// A file in tests/golden/.
inline QString goldenPath(const char* name) {
    return QFileInfo(QStringLiteral(__FILE__))
        .dir()
        .filePath(QStringLiteral("golden/%1").arg(QString::fromLatin1(name)));
}

// Compares a picture with its golden file; on a mismatch writes
// failed_<name> beside the test binary so the difference can be seen.
inline void expectMatchesGolden(const QImage& picture, const char* name) {
    const QImage golden(goldenPath(name));
    const bool same = !golden.isNull() && golden.convertToFormat(QImage::Format_RGB32) ==
                                              picture.convertToFormat(QImage::Format_RGB32);
    if (!same) {
        const QString dump = QStringLiteral("failed_%1").arg(QString::fromLatin1(name));
        picture.save(dump);
        ADD_FAILURE() << name << " differs from its golden picture; wrote "
                      << QFileInfo(dump).absoluteFilePath().toStdString();
    }
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
