#pragma once

#include "app/ImportDialog.h"
#include "import/DocumentImport.h"

// TForm1, "WORD转换", the word-processor document importer. Created once at
// start-up and shown modally by LOADFILE for a ".doc"; its FILENAME keeps its
// text for the whole run. It stays open when the import could not finish.
class TForm1 : public OfficeImportDialog {
    Q_OBJECT
  public:
    explicit TForm1(QWidget* parent = nullptr);

    // The document chosen with LOADFILE.
    void setDocument(const QString& path) { setFile(path); }
    QString document() const { return file(); }
    // What the last CHANGE did.
    const DocumentImportResult& lastResult() const { return m_result; }

  protected:
    bool runImport(const ImportSetup& setup, PageList* pages, OperatorSurface& surface) override;

  private:
    DocumentImportResult m_result;
};
