#pragma once

#include <QDialog>

// TForm1, the word-processor document importer. Created once at start-up and shown modally.
class TForm1 : public QDialog {
    Q_OBJECT
  public:
    explicit TForm1(QWidget* parent = nullptr);
};
