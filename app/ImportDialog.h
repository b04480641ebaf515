#pragma once

#include "import/ImportSetup.h"

#include <QDialog>
#include <QImage>
#include <QList>

#include <functional>

class FitChooser;
class QLabel;
class QLineEdit;
class QPushButton;

// What the two office importers' dialogs share: the chosen file, FILENAME
// (`Edit1`), CHANGE (`Button1`) and a line that shows the step in progress.
// CHANGE runs the import with a busy cursor; the dialog then closes when the
// import says so.
class OfficeImportDialog : public QDialog {
    Q_OBJECT
  public:
    // What the import needs from the main window, handed over once.
    void attach(const ImportContext& context);
    // The pages CHANGE has shown in the sign view, in order.
    const QList<int>& pagesShown() const { return m_shown; }
    // Asked, with every page as the sign will show it, whether they are
    // written and placed (a dialog that pages through them unless given).
    using ConfirmPagesFn = std::function<bool(const QList<QImage>& pages)>;
    void setPageConfirmation(ConfirmPagesFn confirm) { m_confirm = std::move(confirm); }

  protected:
    OfficeImportDialog(const QString& name, const QString& caption, const QString& fileLabel,
                       const QString& defaultBase, QWidget* parent);
    // The file chosen with LOADFILE.
    void setFile(const QString& path);
    const QString& file() const { return m_path; }
    // Runs the import; returns whether the dialog closes.
    virtual bool runImport(const ImportSetup& setup, PageList* pages, OperatorSurface& surface) = 0;

  private:
    void Button1Click();  // CHANGE

    ImportContext m_context;
    QString m_path;
    QLineEdit* Edit1;      // FILENAME
    QPushButton* Button1;  // CHANGE
    QLabel* m_file;
    QLabel* m_step;
    QLabel* m_view;  // the sign view: each page as it is made, before it is placed
    QList<int> m_shown;
    FitChooser* m_fit;
    ConfirmPagesFn m_confirm;
};

// The pages an import made, one at a time in a sign view with the previous
// and next ones a click away; true when the operator places them.
bool confirmImportedPages(QWidget* parent, const QList<QImage>& pages, const Settings& settings);
