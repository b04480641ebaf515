#include "import/WorkingCopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString folderTemplate(const QString& parent) {
    const QString base = parent.isEmpty() ? QDir::tempPath() : parent;
    return QDir(base).filePath(QStringLiteral("marquee-import-XXXXXX"));
}

}  // namespace

WorkingFolder::WorkingFolder(const QString& parent) : m_dir(folderTemplate(parent)) {}

QString WorkingFolder::copyIn(const QString& source, const QString& name, QString* why) const {
    const QFileInfo info(source);
    if (!info.exists()) {
        *why = QStringLiteral("it does not exist");
        return QString();
    }
    if (!info.isFile()) {
        *why = QStringLiteral("it is not a file");
        return QString();
    }
    const QString copy = QDir(m_dir.path()).filePath(name);
    QFile file(source);
    if (!file.copy(copy)) {
        *why = file.errorString();
        return QString();
    }
    // The copy is only read; never let it be changed through the office.
    QFile::setPermissions(copy, QFileDevice::ReadOwner);
    return copy;
}
