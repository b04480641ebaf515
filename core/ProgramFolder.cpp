#include "core/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>

QString executableFolder() {
    return QCoreApplication::applicationDirPath();
}

QString resolveInFolder(const QString& folder, const QString& fileName) {
    if (fileName.isEmpty()) {
        return fileName;
    }
    return QDir(folder).absoluteFilePath(fileName);
}
