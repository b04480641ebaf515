#pragma once

#include <QSize>
#include <QString>

// What LOADFILE does with a chosen file, by its extension in lower case.
enum class LoadFileKind { Picture, Text, Document, Spreadsheet, Other };
LoadFileKind loadFileKind(const QString& path);

// The filter of the LOADFILE dialog: every kind LOADFILE takes, then each
// kind alone.
QString loadFileFilter();

// What PICTURE and EDIT say when no paint program or text editor is
// installed, with the Debian packages that bring one.
QString paintProgramMissingText();
QString textEditorMissingText();

inline constexpr char kBlankCanvasName[] = "qzrn.bmp";

// PICTURE: opens the page's picture file in the paint program, with the
// file's folder as working folder; a page without an existing file gets a
// freshly written black canvas "qzrn.bmp" of (WIDTH + 2) x (HEIGHT + 2) in
// the program folder instead. The page itself is not changed. Returns an
// error text when no paint program is installed or the canvas could not be
// written.
QString editPagePicture(const QString& pageFile, const QString& folder, QSize screen);
