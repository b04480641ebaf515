#include "import/PictureImport.h"

#include "core/ProgramFolder.h"
#include "pages/PageList.h"
#include "pages/Preview.h"
#include "platform/DesktopShell.h"
#include "platform/PictureFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPainter>

namespace {

struct KindOf {
    const char* suffix;
    LoadFileKind kind;
};
constexpr KindOf kKinds[] = {
    {"bmp", LoadFileKind::Picture},     {"jpg", LoadFileKind::Picture},
    {"jpeg", LoadFileKind::Picture},    {"png", LoadFileKind::Picture},
    {"txt", LoadFileKind::Text},        {"doc", LoadFileKind::Document},
    {"docx", LoadFileKind::Document},   {"odt", LoadFileKind::Document},
    {"xls", LoadFileKind::Spreadsheet}, {"xlsx", LoadFileKind::Spreadsheet},
    {"ods", LoadFileKind::Spreadsheet}, {"live", LoadFileKind::Live},
};

QString patterns(LoadFileKind kind) {
    // Both cases: file names on Linux are case-sensitive.
    QStringList found;
    for (const KindOf& entry : kKinds) {
        if (kind == LoadFileKind::Other || entry.kind == kind) {
            const QString suffix = QString::fromLatin1(entry.suffix);
            found << QStringLiteral("*.") + suffix << QStringLiteral("*.") + suffix.toUpper();
        }
    }
    return found.join(QLatin1Char(' '));
}

}  // namespace

LoadFileKind loadFileKind(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    for (const KindOf& entry : kKinds) {
        if (suffix == QLatin1String(entry.suffix)) {
            return entry.kind;
        }
    }
    return LoadFileKind::Other;
}

QString loadFileFilter() {
    return QStringList{
        QStringLiteral("ALL FILE (%1)").arg(patterns(LoadFileKind::Other)),
        QCoreApplication::translate("LoadFile", "Pictures (%1)")
            .arg(patterns(LoadFileKind::Picture)),
        QCoreApplication::translate("LoadFile", "Texts (%1)").arg(patterns(LoadFileKind::Text)),
        QCoreApplication::translate("LoadFile", "Documents (%1)")
            .arg(patterns(LoadFileKind::Document)),
        QCoreApplication::translate("LoadFile", "Spreadsheets (%1)")
            .arg(patterns(LoadFileKind::Spreadsheet)),
        QCoreApplication::translate("LoadFile", "Live pages (%1)")
            .arg(patterns(LoadFileKind::Live)),
    }
        .join(QStringLiteral(";;"));
}

QString paintProgramMissingText() {
    return QCoreApplication::translate(
        "LoadFile",
        "No paint program was found, so PICTURE cannot open the page's picture.\n"
        "Install one, for example:\n  sudo apt install kolourpaint\n"
        "(pinta, gimp, mtpaint, drawing and krita serve as well)");
}

QString textEditorMissingText() {
    return QCoreApplication::translate(
        "LoadFile",
        "No text editor was found, so EDIT cannot start one.\n"
        "Install one, for example:\n  sudo apt install mousepad\n"
        "(gedit, gnome-text-editor, kate, pluma, featherpad and geany serve as well)");
}

QString editPagePicture(const QString& pageFile, const QString& folder, QSize screen) {
    if (findProgram(paintPrograms()).isEmpty()) {
        return paintProgramMissingText();
    }
    const QString path = resolveInFolder(folder, pageFile);
    const QFileInfo info(path);
    if (!pageFile.isEmpty() && info.isFile()) {
        openInPaintProgram(info.fileName(), info.absolutePath());
        return {};
    }
    QString error;
    if (!saveBmp(blankCanvas(screen), QDir(folder).filePath(QString::fromLatin1(kBlankCanvasName)),
                 &error)) {
        return error;
    }
    openInPaintProgram(QString::fromLatin1(kBlankCanvasName), folder);
    return {};
}

QImage fitPicture(const QImage& picture, QSize screen, const FitOptions& options) {
    QImage page(screen, QImage::Format_RGB32);
    page.fill(Qt::black);
    if (!picture.isNull() && !screen.isEmpty()) {
        const Qt::AspectRatioMode aspect = options.mode == FitMode::Stretch ? Qt::IgnoreAspectRatio
                                           : options.mode == FitMode::Fit
                                               ? Qt::KeepAspectRatio
                                               : Qt::KeepAspectRatioByExpanding;
        const QImage scaled = picture.convertToFormat(QImage::Format_RGB32)
                                  .scaled(screen, aspect, Qt::SmoothTransformation);
        // Centred: bars on both sides, or the middle of the picture.
        const QPoint at((screen.width() - scaled.width()) / 2,
                        (screen.height() - scaled.height()) / 2);
        QPainter painter(&page);
        painter.drawImage(at, scaled);
    }
    if (options.invert) {
        page.invertPixels();
    }
    return page;
}

QImage withFitOptions(const QImage& described, const QImage& picture, QSize screen,
                      const FitOptions& options) {
    if (options.mode == FitMode::Stretch) {
        QImage page = described;
        if (options.invert) {
            page.invertPixels();
        }
        return page;
    }
    return fitPicture(picture, screen, options);
}

FittedPicture writeFittedPicture(const QString& path, const QString& folder, QSize screen,
                                 const FitOptions& options, const QStringList& taken) {
    FittedPicture result;
    const PictureLoad picture = loadPicture(path);
    if (!picture.error.isEmpty()) {
        result.error = picture.error;
        return result;
    }
    const QString base = QFileInfo(path).completeBaseName() + QStringLiteral("-fit");
    result.name = generatedPageNames(base, 1, firstFreeNumber(folder, base, 1, taken))[0];
    if (!saveBmp(fitPicture(picture.image, screen, options), QDir(folder).filePath(result.name),
                 &result.error)) {
        result.name.clear();
    }
    return result;
}
