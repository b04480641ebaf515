#include "transfer/PagePreparation.h"

#include "core/ProgramFolder.h"
#include "platform/PictureFile.h"
#include "transfer/Packing.h"

PreparedPage preparePage(const QString& fileName, const QString& folder, QSize screen, bool adjust,
                         qint64 jpegWorkBytes) {
    PreparedPage page;
    if (fileName.isEmpty()) {
        page.image = QImage(screen, QImage::Format_RGB32);
        page.image.fill(Qt::black);
        return page;
    }
    const PictureLoad picture =
        loadPicture(resolveInFolder(folder, fileName), screen, jpegWorkBytes);
    if (!picture.error.isEmpty()) {
        page.error = picture.error;
        return page;
    }
    page.image = picture.image.size() == screen
                     ? picture.image.convertToFormat(QImage::Format_RGB32)
                     : picture.image.scaled(screen, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                           .convertToFormat(QImage::Format_RGB32);
    if (adjust) {
        AdjustGamma(page.image, screen.width(), screen.height());
    }
    return page;
}
