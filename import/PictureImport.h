#pragma once

#include <QSize>
#include <QString>

// What LOADFILE does with a chosen file, by its extension in lower case.
enum class LoadFileKind { Picture, Text, Document, Spreadsheet, Other };
LoadFileKind loadFileKind(const QString& path);

// The filter of the LOADFILE dialog.
QString loadFileFilter();

inline constexpr char kBlankCanvasName[] = "qzrn.bmp";

// PICTURE: opens the page's picture file in the paint program, with the
// file's folder as working folder; a page without an existing file gets a
// freshly written black canvas "qzrn.bmp" of (WIDTH + 2) x (HEIGHT + 2) in
// the program folder instead. The page itself is not changed. Returns an
// error text when the canvas could not be written.
QString editPagePicture(const QString& pageFile, const QString& folder, QSize screen);
