#include "import/SpreadsheetImport.h"

#include "import/DocumentImport.h"

#include "import/WorkingCopy.h"
#include "platform/PictureFile.h"

#include <QCoreApplication>
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
    StepShown step(surface);

    if (!QFileInfo(workbook).isFile()) {
        result.reason = QStringLiteral("it does not exist");
        surface.message(QCoreApplication::translate("Import", "The spreadsheet %1 does not exist.")
                            .arg(shownName));
        return result;
    }
    step.show(QCoreApplication::translate("Import", "Copying the workbook..."));
    const WorkingFolder work(setup.workParent);
    const QString copy =
        copyToWorkingFolder(work, workbook, QString::fromLatin1(kSpreadsheetCopyName),
                            QStringLiteral("spreadsheet"), surface, &result.reason);
    if (copy.isEmpty()) {
        return result;
    }

    step.show(QCoreApplication::translate("Import", "Opening in LibreOffice..."));
    const OfficeOptions office = importOfficeOptions(setup, surface);
    const RangePicture range = takeRangePicture(copy, work.path(), office);
    result.failure = range.failure;
    result.reason = range.reason;
    switch (range.failure) {
        case OfficeFailure::None:
            break;
        case OfficeFailure::NotStartable:
            surface.message(QString::fromLatin1(kErrorCreat) + QLatin1Char('\n') +
                            officeMissingMessage());
            return result;
        case OfficeFailure::CannotOpen:
            surface.message(QString::fromLatin1(kErrorOpen));
            return result;
        case OfficeFailure::NoPicture:
            surface.message(QCoreApplication::translate(
                                "Import", "No picture of A1:T20 could be taken from %1: %2")
                                .arg(shownName, range.reason));
            return result;
    }

    // base + "1.bmp", or numbered on when a page of the list shows that file.
    const QString name = generatedPageNames(
        setup.base, 1,
        firstFreeNumber(setup.folder, setup.base, 1, pages->filesInUse(setup.folder)))[0];
    QString error;
    const QImage shown = withFitOptions(spreadsheetScreen(range.picture, setup.screen),
                                        range.picture, setup.screen, setup.fit);
    surface.preparingPage(1, shown);
    if (setup.confirm && !setup.confirm({shown})) {
        result.declined = true;
        return result;
    }
    if (!saveBmp(shown, QDir(setup.folder).filePath(name), &error)) {
        result.reason = error;
        surface.message(error);
        return result;
    }
    result.written = name;
    pages->setLastPagePicture(name);
    result.done = true;
    return result;
}
