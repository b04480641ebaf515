#include "import/TextComposerDialog.h"

TForm3::TForm3(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TForm3"));
    setWindowTitle(QStringLiteral("TXT EDIT"));
    setModal(true);
}
