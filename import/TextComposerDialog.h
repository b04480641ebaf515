#pragma once

#include <QDialog>

// TForm3, the text page composer. Created once at start-up and shown modally.
class TForm3 : public QDialog {
    Q_OBJECT
  public:
    explicit TForm3(QWidget* parent = nullptr);
};
