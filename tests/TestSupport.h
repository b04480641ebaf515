#pragma once

#include "core/Settings.h"

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <array>
#include <functional>
#include <set>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

// Texts in failure messages as text.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

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

// Bytes written as hex digits; blanks between them are allowed.
inline QByteArray hexBytes(const char* text) {
    return QByteArray::fromHex(text);
}

// The folder of this file, made absolute on the first call. main() calls it
// before any test, since the window makes its program folder current.
inline const QDir& testsDir() {
    static const QDir dir(QFileInfo(QStringLiteral(__FILE__)).absolutePath());
    return dir;
}

// A file in tests/data/.
inline QString dataPath(const char* name) {
    return testsDir().filePath(QStringLiteral("data/%1").arg(QString::fromUtf8(name)));
}

// A file in tests/golden/.
inline QString goldenPath(const char* name) {
    return testsDir().filePath(QStringLiteral("golden/%1").arg(QString::fromUtf8(name)));
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

// A picture of one colour.
inline QImage filled(QSize size, QColor colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// The colours of the pixels of a picture in area (all of it by default).
inline std::set<QRgb> coloursIn(const QImage& image, QRect area = {}) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    area = area.isNull() ? rgb.rect() : area & rgb.rect();
    std::set<QRgb> colours;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            colours.insert(rgb.pixel(x, y));
        }
    }
    return colours;
}

// The ten settings in the order of ck.ini (NUM WIDTH HEIGHT COMM SCAN
// RG-SWAP COLOR-SWAP ADJUST TYPE BPS), a blank between.
inline QString settingsText(const Settings& settings) {
    QStringList texts;
    for (int value : settingValues(settings)) {
        texts << QString::number(value);
    }
    return texts.join(' ');
}

// A screen of width x height, the other settings at their defaults.
inline Settings screenOf(int width, int height) {
    Settings settings;
    settings.WIDTH = width;
    settings.HEIGHT = height;
    return settings;
}

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
