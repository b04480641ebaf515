#include "app/SpreadsheetImportDialog.h"

TForm2::TForm2(QWidget* parent)
    : OfficeImportDialog(QStringLiteral("TForm2"), tr("EXCEL转换"), QStringLiteral("WorkbookName"),
                         QString::fromLatin1(kSpreadsheetBase), parent) {}

bool TForm2::runImport(const ImportSetup& setup, PageList* pages, OperatorSurface& surface) {
    m_result = importSpreadsheet(file(), setup, pages, surface);
    return !m_result.declined;  // declined: the operator may choose again
}
