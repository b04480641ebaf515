#include "transfer/PageCheck.h"

#include "core/ProgramFolder.h"
#include "transfer/Transmission.h"

#include <QFileInfo>

QStringList checkPages(const Settings& settings, const PageList& pages, const QString& folder) {
    const MemoryMap map = memoryMapFor(settings);
    const int count = map.fits() ? map.pagesSent(pages.PageCount()) : pages.PageCount();
    QStringList findings;
    for (int i = 1; i <= count; ++i) {
        const QString name = pages.item(i).FileName;
        if (name.isEmpty()) {
            continue;
        }
        const QFileInfo file(resolveInFolder(folder, name));
        const QString reason = !file.exists()       ? QStringLiteral("no such file")
                               : !file.isFile()     ? QStringLiteral("it is not a file")
                               : !file.isReadable() ? QStringLiteral("it cannot be read")
                                                    : QString();
        if (!reason.isEmpty()) {
            findings << QStringLiteral("page %1: cannot load %2: %3")
                            .arg(i)
                            .arg(file.fileName(), reason);
        }
    }
    return findings;
}

QString unusablePagesMessage(const QStringList& findings) {
    return QStringLiteral("Nothing was sent: these pages have no usable picture.\n") +
           findings.join(QLatin1Char('\n'));
}
