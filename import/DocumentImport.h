#pragma once

#include "import/ImportSetup.h"

#include <QImage>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

// TForm1's message when the office program is missing or cannot be started.
QString officeMissingMessage();

// The working copy's name inside the import's private folder.
inline constexpr char kDocumentCopyName[] = "qzrntempdoc";
// FILENAME's start value.
inline constexpr char kDocumentBase[] = "LC";

struct DocumentImportResult {
    OfficeFailure failure = OfficeFailure::None;  // where the office stopped, if it did
    bool done = false;                            // every page written and the pages placed
    int pageCount = 0;                            // pages of the document
    QStringList written;                          // the files written, bare names in page order
    QList<int> blackPages;                        // pages whose picture could not be taken
    QString reason;                               // what went wrong, beyond the operator's message
    bool declined = false;  // the operator did not place the pages: nothing written
};

// A page as the sign shows it: WIDTH x HEIGHT filled black, the page picture
// unscaled with its top-left corner at (0, 0); what lies beyond is cut off.
QImage documentScreen(const QImage& picture, QSize screen);

// CHANGE of TForm1: one picture of the screen's size per page of the
// document, written as base + page + ".bmp" in the program folder and placed
// in the list (the first into the last page, the others appended, tabs
// captioned "第 n幕", the last page selected). Failures are told through the
// surface, which also shows the step in progress. When the office program
// is missing or the document cannot be copied or opened nothing is written
// and the list stays as it was; a page whose picture cannot be taken is
// written black and named in a message.
DocumentImportResult importDocument(const QString& document, const ImportSetup& setup,
                                    PageList* pages, OperatorSurface& surface);
