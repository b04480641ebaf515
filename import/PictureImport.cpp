#include "import/PictureImport.h"

#include "core/ProgramFolder.h"
#include "pages/Preview.h"
#include "platform/DesktopShell.h"
#include "platform/PictureFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

struct KindOf {
    const char* suffix;
    LoadFileKind kind;
};
constexpr KindOf kKinds[] = {
    {"bmp", LoadFileKind::Picture},      {"jpg", LoadFileKind::Picture},
    {"jpeg", LoadFileKind::Picture},     {"png", LoadFileKind::Picture},
    {"txt", LoadFileKind::Text},         {"doc", LoadFileKind::Document},
    {"docx", LoadFileKind::Document},    {"odt", LoadFileKind::Document},
    {"xls", LoadFileKind::Spreadsheet},  {"xlsx", LoadFileKind::Spreadsheet},
    {"ods", LoadFileKind::Spreadsheet},
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

QString tr(const char* text) {
    return QCoreApplication::translate("LoadFile", text);
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
        tr("Pictures (%1)").arg(patterns(LoadFileKind::Picture)),
        tr("Texts (%1)").arg(patterns(LoadFileKind::Text)),
        tr("Documents (%1)").arg(patterns(LoadFileKind::Document)),
        tr("Spreadsheets (%1)").arg(patterns(LoadFileKind::Spreadsheet)),
    }
        .join(QStringLiteral(";;"));
}

QString paintProgramMissingText() {
    return tr("No paint program was found, so PICTURE cannot open the page's picture.\n"
              "Install one, for example:\n  sudo apt install kolourpaint\n"
              "(pinta, gimp, mtpaint, drawing and krita serve as well)");
}

QString textEditorMissingText() {
    return tr("No text editor was found, so EDIT cannot start one.\n"
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
