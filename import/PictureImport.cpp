#include "import/PictureImport.h"

#include "core/ProgramFolder.h"
#include "pages/Preview.h"
#include "platform/DesktopShell.h"
#include "platform/PictureFile.h"

#include <QDir>
#include <QFileInfo>

LoadFileKind loadFileKind(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("bmp") || suffix == QLatin1String("jpg") ||
        suffix == QLatin1String("jpeg") || suffix == QLatin1String("png")) {
        return LoadFileKind::Picture;
    }
    if (suffix == QLatin1String("txt")) {
        return LoadFileKind::Text;
    }
    if (suffix == QLatin1String("doc")) {
        return LoadFileKind::Document;
    }
    if (suffix == QLatin1String("xls")) {
        return LoadFileKind::Spreadsheet;
    }
    return LoadFileKind::Other;
}

QString loadFileFilter() {
    // Both cases: file names on Linux are case-sensitive.
    return QStringLiteral(
        "ALL FILE (*.BMP *.TXT *.JPG *.JPEG *.PNG *.bmp *.txt *.jpg *.jpeg *.png)");
}

QString editPagePicture(const QString& pageFile, const QString& folder, QSize screen) {
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
