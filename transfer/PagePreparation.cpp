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
        loadPicture(resolveInFolder(folder, fileName), screen,
                    PictureLimits{kMaxPicturePixels, jpegWorkBytes, kMaxJpegFramePixels});
    if (!picture.error.isEmpty()) {
        page.error = picture.error;
        return page;
    }
    page.image = stretchToScreen(picture.image, screen, adjust);
    return page;
}

QImage stretchToScreen(const QImage& picture, QSize screen, bool adjust) {
    QImage image = picture.size() == screen
                       ? picture.convertToFormat(QImage::Format_RGB32)
                       : picture.scaled(screen, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                             .convertToFormat(QImage::Format_RGB32);
    if (adjust) {
        AdjustGamma(image, screen.width(), screen.height());
    }
    return image;
}
