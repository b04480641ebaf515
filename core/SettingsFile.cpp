#include "core/SettingsFile.h"

#include "core/Preferences.h"
#include "core/TextReader.h"
#include "platform/AtomicFile.h"

#include <QDir>
#include <QFileInfo>

namespace {

// ck.ini is ten short lines; anything far larger is not a settings file.
constexpr qint64 kMaxSettingsFileBytes = 1 << 20;

}  // namespace

SettingsReadResult readSettingsFile(const QString& folder, Settings* settings) {
    SettingsReadResult result;
    const QString path = QDir(folder).filePath(QString::fromLatin1(kSettingsFileName));
    if (!QFileInfo::exists(path)) {
        return result;
    }
    result.found = true;
    QByteArray data;
    QString reason;
    if (!readWholeFile(path, kMaxSettingsFileBytes, &data, &reason)) {
        result.error = reason;
        return result;
    }
    return parseSettings(data, settings);
}

SettingsReadResult parseSettings(const QByteArray& data, Settings* settings) {
    SettingsReadResult result;
    result.found = true;
    TextReader reader(data);
    for (int i = 0; i < kSettingCount; ++i) {
        const TextReader::Number number = reader.readNumber();
        if (number.status == TextReader::NumberStatus::EndOfFile) {
            break;
        }
        if (number.status == TextReader::NumberStatus::NotANumber) {
            result.error = QString::fromLatin1(kInvalidNumericInput);
            result.errorLine = number.line;
            break;
        }
        applySettingValue(*settings, i, number.value);
        ++result.valuesRead;
    }
    return result;
}

QByteArray formatSettings(const Settings& settings) {
    QByteArray bytes;
    for (int value : settingValues(settings)) {
        bytes += QByteArray::number(value);
        bytes += "\r\n";
    }
    return bytes;
}

bool writeSettingsFile(const QString& folder, const Settings& settings, QString* reason) {
    const QString path = QDir(folder).filePath(QString::fromLatin1(kSettingsFileName));
    QString error;
    const bool ok = writeFileAtomically(path, formatSettings(settings), &error);
    if (!ok && reason) {
        *reason = error;
    }
    return ok;
}

SettingsReadResult readSettings(const Folders& folders, Settings* settings) {
    SettingsReadResult result = readSettingsFile(folders.settings, settings);
    if (!result.found && !folders.oldSettings.isEmpty()) {
        result = readSettingsFile(folders.oldSettings, settings);
    }
    settings->PORT = readPreference(folders.settings, QStringLiteral("port"));
    return result;
}

bool writePortChoice(const QString& folder, const QString& port, QString* reason) {
    if (readPreference(folder, QStringLiteral("port")) == port) {
        return true;
    }
    return writePreference(folder, QStringLiteral("port"), port, reason);
}

QString cannotSaveText(const QString& folder, const QString& reason) {
    return QStringLiteral("%1\nCannot write %2: %3")
        .arg(QString::fromLatin1(kCannotSaveParameter),
             QDir(folder).filePath(QString::fromLatin1(kSettingsFileName)), reason);
}
