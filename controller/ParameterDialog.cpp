#include "controller/ParameterDialog.h"

TForm5::TForm5(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TForm5"));
    setWindowTitle(QStringLiteral("High class constitution"));
    setModal(true);
}
