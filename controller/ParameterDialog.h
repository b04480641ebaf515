#pragma once

#include <QDialog>

// TForm5, the controller parameter setup. Created once at start-up and shown modally.
class TForm5 : public QDialog {
    Q_OBJECT
  public:
    explicit TForm5(QWidget* parent = nullptr);
};
