#pragma once

#include "import/DocumentImport.h"
#include "import/ImportSetup.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// TForm1, "WORD转换", the word-processor document importer. Created once at
// start-up and shown modally by LOADFILE for a ".doc"; its FILENAME keeps its
// text for the whole run.
class TForm1 : public QDialog {
    Q_OBJECT
  public:
    explicit TForm1(QWidget* parent = nullptr);

    // What the import needs from the main window, handed over once.
    void attach(const ImportContext& context);
    // The document chosen with LOADFILE.
    void setDocument(const QString& path);
    QString document() const { return m_document; }
    // What the last CHANGE did.
    const DocumentImportResult& lastResult() const { return m_result; }

  private:
    void Button1Click();  // CHANGE

    ImportContext m_context;
    QString m_document;
    DocumentImportResult m_result;
    QLineEdit* Edit1;      // FILENAME
    QPushButton* Button1;  // CHANGE
    QLabel* m_file;
    QLabel* m_step;
};
