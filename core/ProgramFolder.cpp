#include "core/ProgramFolder.h"

#include "core/Preferences.h"
#include "core/SettingsFile.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace {

bool writable(const QString& path) {
    return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
}

}  // namespace

QString executableFolder() {
    return QCoreApplication::applicationDirPath();
}

QString userSettingsFolder() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("marquee"));
}

QString defaultSignFolder() {
    return QDir::home().filePath(QStringLiteral("Marquee"));
}

Folders locateFolders(const QString& chosen) {
    if (!chosen.isEmpty()) {
        return Folders(QFileInfo(chosen).absoluteFilePath());
    }
    const QString beside = executableFolder();
    const QString besideFile = QDir(beside).filePath(QString::fromLatin1(kSettingsFileName));
    Folders folders;
    if (QFileInfo::exists(besideFile) && writable(besideFile) && writable(beside)) {
        folders = Folders(beside);
    } else {
        folders.settings = userSettingsFolder();
        folders.sign = defaultSignFolder();
        if (QFileInfo::exists(besideFile)) {
            folders.oldSettings = beside;
        }
    }
    const QString chosenSign = readPreference(folders.settings, QStringLiteral("folder"));
    if (!chosenSign.isEmpty() && QFileInfo(chosenSign).isDir()) {
        folders.sign = chosenSign;
    }
    QDir().mkpath(folders.settings);
    QDir().mkpath(folders.sign);
    return folders;
}

QString resolveInFolder(const QString& folder, const QString& fileName) {
    if (fileName.isEmpty()) {
        return fileName;
    }
    return QDir(folder).absoluteFilePath(fileName);
}

bool insideFolder(const QString& name) {
    if (name.isEmpty() || QDir::isAbsolutePath(name)) {
        return false;
    }
    const QStringList parts = QDir::fromNativeSeparators(name).split(QLatin1Char('/'));
    return !parts.contains(QStringLiteral(".."));
}

QString shortHash(const QByteArray& data, int length) {
    return QString::fromLatin1(
        QCryptographicHash::hash(data, QCryptographicHash::Sha1).toHex().left(length));
}
