#include "core/Preferences.h"

#include "platform/AtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace {

constexpr qint64 kMaxPreferencesBytes = 64 * 1024;

QStringList readLines(const QString& folder) {
    const QString path = QDir(folder).filePath(QString::fromLatin1(kPreferencesFileName));
    QByteArray data;
    QString ignored;
    if (!QFileInfo::exists(path) || !readWholeFile(path, kMaxPreferencesBytes, &data, &ignored)) {
        return {};
    }
    return QString::fromUtf8(data).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

}  // namespace

QString readPreference(const QString& folder, const QString& name) {
    const QString prefix = name + QLatin1Char('=');
    for (const QString& line : readLines(folder)) {
        if (line.startsWith(prefix)) {
            return line.mid(prefix.size()).trimmed();
        }
    }
    return QString();
}

bool writePreference(const QString& folder, const QString& name, const QString& value,
                     QString* reason) {
    const QString prefix = name + QLatin1Char('=');
    QStringList lines;
    for (const QString& line : readLines(folder)) {
        if (!line.startsWith(prefix)) {
            lines << line;
        }
    }
    if (!value.isEmpty()) {
        lines << prefix + value;
    }
    const QString path = QDir(folder).filePath(QString::fromLatin1(kPreferencesFileName));
    QString error;
    if (!writeFileAtomically(path, (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8(),
                             &error)) {
        if (reason) {
            *reason = QStringLiteral("Cannot write %1: %2").arg(path, error);
        }
        return false;
    }
    return true;
}
