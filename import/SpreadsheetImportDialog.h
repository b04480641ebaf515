#pragma once

#include <QDialog>

// TForm2, the spreadsheet importer. Created once at start-up and shown modally.
class TForm2 : public QDialog {
    Q_OBJECT
  public:
    explicit TForm2(QWidget* parent = nullptr);
};
