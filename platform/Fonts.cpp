#include "platform/Fonts.h"

#include "FontConfigText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <unistd.h>
#include <cstdlib>

QString fontConfigText() {
    return QString::fromUtf8(kFontConfigText);
}

void installFontConfig() {
    // Installed with the program: <prefix>/share/marquee/fonts.conf.
    const QString executable = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    const QString installed = QDir(QFileInfo(executable).absolutePath())
                                  .filePath(QStringLiteral("../share/marquee/fonts.conf"));
    if (QFileInfo(installed).isFile()) {
        ::setenv("FONTCONFIG_FILE",
                 QFile::encodeName(QFileInfo(installed).canonicalFilePath()).constData(), 1);
        return;
    }
    // Run from the build folder: a file of a name of its own in this user's
    // runtime folder (or cache folder), created anew and never through a
    // link, removed at exit.
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        folder = QDir(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation))
                     .filePath(QStringLiteral("marquee"));
        QDir().mkpath(folder);
    }
    static QTemporaryFile file(QDir(folder).filePath(QStringLiteral("marquee-fonts-XXXXXX.conf")));
    if (file.open() && file.write(fontConfigText().toUtf8()) >= 0 && file.flush()) {
        ::setenv("FONTCONFIG_FILE", QFile::encodeName(file.fileName()).constData(), 1);
    }
}

QFont crispFont(const QString& family, int pixelSize) {
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setStyleStrategy(QFont::NoAntialias);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}
