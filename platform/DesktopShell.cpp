#include "platform/DesktopShell.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>

const QStringList& paintPrograms() {
    static const QStringList programs = {
        QStringLiteral("kolourpaint"), QStringLiteral("pinta"),   QStringLiteral("gimp"),
        QStringLiteral("mtpaint"),     QStringLiteral("drawing"), QStringLiteral("krita"),
    };
    return programs;
}

const QStringList& textEditors() {
    static const QStringList editors = {
        QStringLiteral("gedit"),    QStringLiteral("gnome-text-editor"),
        QStringLiteral("mousepad"), QStringLiteral("kate"),
        QStringLiteral("kwrite"),   QStringLiteral("pluma"),
        QStringLiteral("xed"),      QStringLiteral("featherpad"),
        QStringLiteral("leafpad"),  QStringLiteral("geany"),
    };
    return editors;
}

QString findProgram(const QStringList& candidates) {
    for (const QString& name : candidates) {
        const QString path = QStandardPaths::findExecutable(name);
        if (!path.isEmpty()) {
            return path;
        }
    }
    return {};
}

bool startDetached(const QString& program, const QStringList& arguments,
                   const QString& workingFolder) {
    if (program.isEmpty()) {
        return false;
    }
    return QProcess::startDetached(program, arguments, workingFolder);
}

bool openWithDefaultProgram(const QString& file) {
    const QString opener = findProgram({QStringLiteral("xdg-open")});
    return startDetached(opener, {file}, QDir::currentPath());
}

bool openInPaintProgram(const QString& fileName, const QString& workingFolder) {
    const QString paint = findProgram(paintPrograms());
    if (paint.isEmpty()) {
        return openWithDefaultProgram(QDir(workingFolder).filePath(fileName));
    }
    return startDetached(paint, {fileName}, workingFolder);
}

bool startTextEditor(const QString& workingFolder) {
    return startDetached(findProgram(textEditors()), {}, workingFolder);
}
