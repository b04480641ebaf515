#include "import/SpreadsheetImport.h"

#include "import/WorkingCopy.h"
#include "platform/PictureFile.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>

QImage spreadsheetScreen(const QImage& picture, QSize screen) {
    QImage page(screen, QImage::Format_RGB32);
    QPainter painter(&page);
    painter.fillRect(QRect(QPoint(0, 0), QPoint(screen.width() + 2, screen.height() + 2)),
                     Qt::white);
    if (!picture.isNull()) {
        painter.drawImage(QPoint(-1, -1), picture);
    }
    painter.end();
    return page;
}

SpreadsheetImportResult importSpreadsheet(const QString& workbook, const ImportSetup& setup,
                                          PageList* pages, OperatorSurface& surface) {
    SpreadsheetImportResult result;
    const QString shownName = QDir::toNativeSeparators(workbook);
    struct Cleared {
        OperatorSurface& surface;
        ~Cleared() { surface.setStatus(1, QString()); }
    } cleared{surface};
    auto show = [&surface](const QString& text) {
        surface.setStatus(1, text);
        surface.repaintNow();
    };

    if (!QFileInfo(workbook).isFile()) {
        result.reason = QStringLiteral("it does not exist");
        surface.message(QStringLiteral("The spreadsheet %1 does not exist.").arg(shownName));
        return result;
    }
    show(QStringLiteral("Copying the workbook..."));
    const WorkingFolder work(setup.workParent);
    if (!work.isValid()) {
        result.reason = work.errorString();
        surface.message(QStringLiteral("No working folder can be made: %1").arg(result.reason));
        return result;
    }
    const QString copy =
        work.copyIn(workbook, QString::fromLatin1(kSpreadsheetCopyName), &result.reason);
    if (copy.isEmpty()) {
        surface.message(
            QStringLiteral("The spreadsheet %1 cannot be read: %2").arg(shownName, result.reason));
        return result;
    }

    show(QStringLiteral("Opening in LibreOffice..."));
    OfficeOptions office = setup.office;
    if (!office.whileWaiting) {
        office.whileWaiting = [&surface] { surface.repaintNow(); };
    }
    const RangePicture range = takeRangePicture(copy, work.path(), office);
    result.failure = range.failure;
    result.reason = range.reason;
    switch (range.failure) {
        case OfficeFailure::None:
            break;
        case OfficeFailure::NotStartable:
            surface.message(QString::fromLatin1(kErrorCreat));
            return result;
        case OfficeFailure::CannotOpen:
            surface.message(QString::fromLatin1(kErrorOpen));
            return result;
        case OfficeFailure::NoPicture:
            surface.message(QStringLiteral("No picture of A1:T20 could be taken from %1: %2")
                                .arg(shownName, range.reason));
            return result;
    }

    const QString name = setup.base + QStringLiteral("1.bmp");
    QString error;
    if (!saveBmp(spreadsheetScreen(range.picture, setup.screen), QDir(setup.folder).filePath(name),
                 &error)) {
        result.reason = error;
        surface.message(error);
        return result;
    }
    result.written = name;
    pages->setLastPagePicture(name);
    result.done = true;
    return result;
}
