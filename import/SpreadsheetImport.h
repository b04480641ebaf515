#pragma once

#include "import/ImportSetup.h"

#include <QImage>
#include <QSize>
#include <QString>

// TForm2's messages when the office program is missing or cannot be started,
// and when the workbook cannot be opened.
inline constexpr char kErrorCreat[] = "error creat";
inline constexpr char kErrorOpen[] = "error open";

// The working copy's name inside the import's private folder.
inline constexpr char kSpreadsheetCopyName[] = "tempexec.xls";
// FILENAME's start value.
inline constexpr char kSpreadsheetBase[] = "LCXLS";

struct SpreadsheetImportResult {
    OfficeFailure failure = OfficeFailure::None;  // where the office stopped, if it did
    bool done = false;                            // the picture written and given to the last page
    QString written;                              // the file written, a bare name
    QString reason;                               // what went wrong, beyond the operator's message
    bool declined = false;  // the operator did not place the pages: nothing written
};

// The range as the sign shows it: WIDTH x HEIGHT filled white, the range
// picture unscaled with its top-left corner at (-1, -1), so that its
// outermost row and column are cut off, as is what lies beyond the screen.
QImage spreadsheetScreen(const QImage& picture, QSize screen);

// CHANGE of TForm2: the cells A1:T20 of the first sheet as one picture of
// the screen's size, written as base + "1.bmp" in the program folder and
// made the picture of the last page; nothing else in the list changes.
// Failures are told through the surface, which also shows the step in
// progress; after any failure nothing is written and the list stays as it
// was.
SpreadsheetImportResult importSpreadsheet(const QString& workbook, const ImportSetup& setup,
                                          PageList* pages, OperatorSurface& surface);
