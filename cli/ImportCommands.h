#pragma once

#include "core/ProgramFolder.h"

#include <QString>
#include <QStringList>

// Exit status of import-doc and import-xls beyond those of Commands.h: the
// pictures were written but some pages could not be taken (written black),
// and the office program is missing or could not be started.
enum ImportExitStatus { kExitSomePagesBlack = 1, kExitNoOffice = 4 };

// import-doc FILE [--name BASE] [--list LIST.lis]: one picture per page of
// the document, BASE1.bmp .. BASEn.bmp in the program folder (BASE "LC" by
// default). With --list the list is loaded, the pages placed as the window
// places them, and the list saved. args: what follows the command word, with
// FILE and LIST already absolute.
int runImportDocument(const Folders& folders, const QStringList& args);

// import-xls FILE [--name BASE] [--list LIST.lis]: the cells A1:T20 of the
// first sheet as BASE1.bmp (BASE "LCXLS" by default); with --list it becomes
// the picture of the list's last page and the list is saved.
int runImportSpreadsheet(const Folders& folders, const QStringList& args);
