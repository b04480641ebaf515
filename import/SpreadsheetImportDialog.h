#pragma once

#include "import/ImportSetup.h"
#include "import/SpreadsheetImport.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// TForm2, "EXCEL转换", the spreadsheet importer. Created once at start-up and
// shown modally by LOADFILE for a ".xls"; its FILENAME keeps its text for the
// whole run.
class TForm2 : public QDialog {
    Q_OBJECT
  public:
    explicit TForm2(QWidget* parent = nullptr);

    // What the import needs from the main window, handed over once.
    void attach(const ImportContext& context);
    // The spreadsheet chosen with LOADFILE.
    void setWorkbook(const QString& path);
    QString workbook() const { return m_workbook; }
    // What the last CHANGE did.
    const SpreadsheetImportResult& lastResult() const { return m_result; }

  private:
    void Button1Click();  // CHANGE

    ImportContext m_context;
    QString m_workbook;
    SpreadsheetImportResult m_result;
    QLineEdit* Edit1;      // FILENAME
    QPushButton* Button1;  // CHANGE
    QLabel* m_file;
    QLabel* m_step;
};
