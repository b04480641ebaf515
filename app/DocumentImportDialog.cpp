#include "app/DocumentImportDialog.h"

TForm1::TForm1(QWidget* parent)
    : OfficeImportDialog(QStringLiteral("TForm1"), tr("WORD转换"), QStringLiteral("DocumentName"),
                         QString::fromLatin1(kDocumentBase), parent) {}

bool TForm1::runImport(const ImportSetup& setup, PageList* pages, OperatorSurface& surface) {
    m_result = importDocument(file(), setup, pages, surface);
    return m_result.done;
}
