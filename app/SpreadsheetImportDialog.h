#pragma once

#include "app/ImportDialog.h"
#include "import/SpreadsheetImport.h"

// TForm2, "EXCEL转换", the spreadsheet importer. Created once at start-up and
// shown modally by LOADFILE for a ".xls"; its FILENAME keeps its text for the
// whole run. It closes after every CHANGE, whatever came of it.
class TForm2 : public OfficeImportDialog {
    Q_OBJECT
  public:
    explicit TForm2(QWidget* parent = nullptr);

    // The spreadsheet chosen with LOADFILE.
    void setWorkbook(const QString& path) { setFile(path); }
    QString workbook() const { return file(); }
    // What the last CHANGE did.
    const SpreadsheetImportResult& lastResult() const { return m_result; }

  protected:
    bool runImport(const ImportSetup& setup, PageList* pages, OperatorSurface& surface) override;

  private:
    SpreadsheetImportResult m_result;
};
