#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

// What LOADFILE does with a chosen file, by its extension in lower case.
enum class LoadFileKind { Picture, Text, Document, Spreadsheet, Live, Other };
LoadFileKind loadFileKind(const QString& path);

// The filter of the LOADFILE dialog: every kind LOADFILE takes, then each
// kind alone.
QString loadFileFilter();

// What PICTURE and EDIT say when no paint program or text editor is
// installed, with the Debian packages that bring one.
QString paintProgramMissingText();
QString textEditorMissingText();

inline constexpr char kBlankCanvasName[] = "qzrn.bmp";

// How an imported picture meets the sign: stretched over the whole screen
// (the default: the picture is used as it is and stretched when drawn and
// sent), fitted inside with black bars, or scaled to fill and cropped; and
// optionally inverted, for dark text on light paper.
enum class FitMode { Stretch, Fit, Crop };
struct FitOptions {
    FitMode mode = FitMode::Stretch;
    bool invert = false;
    bool isDefault() const { return mode == FitMode::Stretch && !invert; }
};

// The picture as the options put it on a screen of this size.
QImage fitPicture(const QImage& picture, QSize screen, const FitOptions& options);

// An importer's page under the options: its own placement (described)
// when stretching, the picture fitted or cropped otherwise; then inverted
// when asked.
QImage withFitOptions(const QImage& described, const QImage& picture, QSize screen,
                      const FitOptions& options);

struct FittedPicture {
    QString name;   // the page's new file, a bare name in folder
    QString error;  // why it could not be made
};
// LOADFILE of a picture with options other than the default: the fitted
// picture is written to folder as <name>-fit1.bmp (numbered on past the
// files taken, the pages' own), so the original stays untouched.
FittedPicture writeFittedPicture(const QString& path, const QString& folder, QSize screen,
                                 const FitOptions& options, const QStringList& taken);

// PICTURE: opens the page's picture file in the paint program, with the
// file's folder as working folder; a page without an existing file gets a
// freshly written black canvas "qzrn.bmp" of (WIDTH + 2) x (HEIGHT + 2) in
// the program folder instead. The page itself is not changed. Returns an
// error text when no paint program is installed or the canvas could not be
// written.
QString editPagePicture(const QString& pageFile, const QString& folder, QSize screen);
