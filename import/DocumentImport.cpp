#include "import/DocumentImport.h"

#include "import/WorkingCopy.h"
#include "platform/PictureFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QPainter>

namespace {

// Shows the step in progress while the import runs and clears it after.
QString pageListText(const QList<int>& pages) {
    QStringList numbers;
    for (int page : pages) {
        numbers << QString::number(page);
    }
    return numbers.join(QStringLiteral(", "));
}

}  // namespace

QString officeMissingMessage() {
    return QCoreApplication::translate(
        "Import",
        "LibreOffice is not installed or cannot be started, so documents and spreadsheets "
        "cannot be imported.\nInstall it with:\n  sudo apt install libreoffice-writer-nogui "
        "libreoffice-calc-nogui libreoffice-draw-nogui python3-uno");
}

QImage documentScreen(const QImage& picture, QSize screen) {
    QImage page(screen, QImage::Format_RGB32);
    page.fill(Qt::black);
    if (!picture.isNull()) {
        QPainter painter(&page);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(QPoint(0, 0), picture);
    }
    return page;
}

DocumentImportResult importDocument(const QString& document, const ImportSetup& setup,
                                    PageList* pages, OperatorSurface& surface) {
    DocumentImportResult result;
    StepShown step(surface);
    const QString shownName = QDir::toNativeSeparators(document);

    // The working copy, in a folder of this import's own.
    step.show(QCoreApplication::translate("Import", "Copying the document..."));
    const WorkingFolder work(setup.workParent);
    const QString copy = copyToWorkingFolder(work, document, QString::fromLatin1(kDocumentCopyName),
                                             QStringLiteral("document"), surface, &result.reason);
    if (copy.isEmpty()) {
        return result;
    }

    // Start the office unseen, open the copy, count its pages.
    step.show(QCoreApplication::translate("Import", "Opening in LibreOffice..."));
    const OfficeOptions office = importOfficeOptions(setup, surface);
    OfficeDocument pagesOf;
    result.failure = pagesOf.open(copy, work.path(), office);
    result.reason = pagesOf.reason();
    if (result.failure == OfficeFailure::NotStartable) {
        surface.message(officeMissingMessage());
        return result;
    }
    if (result.failure != OfficeFailure::None) {
        surface.message(QCoreApplication::translate("Import", "The document %1 cannot be opened.")
                            .arg(shownName));
        return result;
    }

    // One screen per page, black where the picture does not reach; only as
    // many pages as the list has room for are written.
    result.pageCount = pagesOf.pageCount();
    const int count = std::min(result.pageCount, pages->generatedPageRoom());
    if (count < result.pageCount) {
        surface.message(
            QCoreApplication::translate("Import",
                                        "The list holds at most %1 pages: pages 1 to %2 of %3 "
                                        "were imported, pages %4 to %5 were not.")
                .arg(PageList::kMaxPages)
                .arg(count)
                .arg(shownName)
                .arg(count + 1)
                .arg(result.pageCount));
    }
    // Numbered on past the files the list shows, so an import never
    // overwrites another page's picture.
    const int first =
        firstFreeNumber(setup.folder, setup.base, count, pages->filesInUse(setup.folder));
    const QStringList names = generatedPageNames(setup.base, count, first);
    QList<QImage> screens;
    for (int i = 1; i <= count; ++i) {
        step.show(QCoreApplication::translate("Import", "Page %1 of %2").arg(i).arg(count));
        surface.progress(i - 1, count);
        QString why;
        const QImage picture = pagesOf.pagePicture(i - 1, &why);
        if (picture.isNull()) {
            result.blackPages << i;
        }
        screens << withFitOptions(documentScreen(picture, setup.screen), picture, setup.screen,
                                  setup.fit);
        surface.preparingPage(i, screens.last());
    }
    if (setup.confirm && !setup.confirm(screens)) {
        result.declined = true;
        return result;
    }
    for (int i = 1; i <= count; ++i) {
        const QString name = names[i - 1];
        QString error;
        if (!saveBmp(screens[i - 1], QDir(setup.folder).filePath(name), &error)) {
            result.reason = error;
            surface.message(error);
            return result;
        }
        result.written << name;
    }

    // Into the list: the first page replaces the last one's picture.
    if (count > 0) {
        const PlaceResult placed =
            pages->placeGeneratedPages(setup.base, count, CaptionStyle::Act, first);
        if (!placed.message.isEmpty()) {
            surface.message(placed.message);
        }
    }
    result.done = true;
    if (!result.blackPages.isEmpty()) {
        surface.message(
            QStringLiteral("%1 %2 of %3 could not be taken as a picture and %4 written black.")
                .arg(result.blackPages.size() == 1 ? QStringLiteral("Page")
                                                   : QStringLiteral("Pages"),
                     pageListText(result.blackPages), shownName,
                     result.blackPages.size() == 1 ? QStringLiteral("was")
                                                   : QStringLiteral("were")));
    }
    return result;
}
