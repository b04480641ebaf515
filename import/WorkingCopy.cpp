#include "import/WorkingCopy.h"

#include "platform/AtomicFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// Larger files are not documents an office program could lay out for a sign.
constexpr qint64 kMaxDocumentBytes = 512LL * 1024 * 1024;

QString folderTemplate(const QString& parent) {
    const QString base = parent.isEmpty() ? QDir::tempPath() : parent;
    return QDir(base).filePath(QStringLiteral("marquee-import-XXXXXX"));
}

}  // namespace

WorkingFolder::WorkingFolder(const QString& parent) : m_dir(folderTemplate(parent)) {}

QString WorkingFolder::copyIn(const QString& source, const QString& name, QString* why) const {
    if (!QFileInfo::exists(source)) {
        *why = QStringLiteral("it does not exist");
        return QString();
    }
    // A regular file of a sane size, checked before a byte of it is copied.
    if (!ReadableFile().open(source, kMaxDocumentBytes, why)) {
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

QString copyToWorkingFolder(const WorkingFolder& work, const QString& source,
                            const QString& copyName, const QString& what, OperatorSurface& surface,
                            QString* why) {
    if (!work.isValid()) {
        *why = work.errorString();
        surface.message(
            QCoreApplication::translate("Import", "No working folder can be made: %1").arg(*why));
        return QString();
    }
    const QString copy = work.copyIn(source, copyName, why);
    if (copy.isEmpty()) {
        surface.message(QCoreApplication::translate("Import", "The %1 %2 cannot be read: %3")
                            .arg(what, QDir::toNativeSeparators(source), *why));
    }
    return copy;
}

OfficeOptions importOfficeOptions(const ImportSetup& setup, OperatorSurface& surface) {
    OfficeOptions office = setup.office;
    if (!office.whileWaiting) {
        office.whileWaiting = [&surface] { surface.repaintNow(); };
    }
    return office;
}
