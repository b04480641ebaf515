#include "transfer/PageCheck.h"

#include "core/ProgramFolder.h"
#include "platform/PictureHeader.h"
#include "transfer/Transmission.h"

QStringList checkPages(const Settings& settings, const PageList& pages, const QString& folder) {
    const MemoryMap map = memoryMapFor(settings);
    const int count = map.fits() ? map.pagesSent(pages.PageCount()) : pages.PageCount();
    const QSize screen(settings.WIDTH, settings.HEIGHT);
    QStringList findings;
    for (int i = 1; i <= count; ++i) {
        const QString& file = pages.item(i).FileName;
        if (file.isEmpty()) {
            continue;  // a blank page
        }
        const PictureHeader header = probePicture(resolveInFolder(folder, file), screen);
        if (!header.error.isEmpty()) {
            findings << QStringLiteral("page %1: %2").arg(i).arg(header.error);
        }
    }
    return findings;
}

QString unusablePagesMessage(const QStringList& findings) {
    return QStringLiteral("Nothing was sent: these pages have no usable picture.\n") +
           findings.join(QLatin1Char('\n'));
}
