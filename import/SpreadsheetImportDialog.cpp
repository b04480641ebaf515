#include "import/SpreadsheetImportDialog.h"

TForm2::TForm2(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TForm2"));
    setWindowTitle(QStringLiteral("EXCEL转换"));
    setModal(true);
}
