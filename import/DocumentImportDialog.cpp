#include "import/DocumentImportDialog.h"

TForm1::TForm1(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle(QStringLiteral("WORD转换"));
    setModal(true);
}
