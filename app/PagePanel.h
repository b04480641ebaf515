#pragma once

#include "pages/PageList.h"

#include <QFrame>

class QComboBox;
class QPushButton;
class QSpinBox;
class QTabBar;

// The parameter panel below the preview (DISPTIME, DISPSPEED, DISPMODE,
// ADDPAGE, DELETE, LOADFILE, LOADLIST) and the strip of page tabs. It shows
// what the page list reports and hands every edit to it; the rules live in
// PageList.
class PagePanel : public QFrame {
    Q_OBJECT
  public:
    explicit PagePanel(PageList& pages, QWidget* parent = nullptr);

    // The tab strip, placed on the stage below the panel.
    QTabBar* tabBar() const { return Tab; }

    // Fills the effect lists and selects entry 0 in each.
    void fillLists();
    // Mirrors the page list's tabs, fields and DELETE state.
    void showPageList();

  signals:
    void addClicked();       // ADDPAGE
    void deleteClicked();    // DELETE
    void loadFileClicked();  // LOADFILE
    void loadListClicked();  // LOADLIST
    void newListClicked();   // NEW LIST
    // The operator changed a field of the list: 0 DISPTIME, 1 DISPSPEED,
    // 2 DISPMODE (also the hidden lists).
    void edited(int field);
    void tabClicked(int tab);
    // A DISPTIME or DISPSPEED text that is not a number, told when the
    // operator leaves the field.
    void fieldRejected(const QString& message);

  private:
    void fieldEdited(bool time, const QString& text);

    PageList& m_pages;
    QString m_pendingFieldError;
    bool m_syncing = false;
    QSpinBox* Edit2;  // DISPTIME
    QSpinBox* Edit1;  // DISPSPEED
    QComboBox* InModeList;
    QComboBox* OutModeList;
    QComboBox* AddModeList;
    QPushButton* AddMu;
    QPushButton* DelMu;
    QPushButton* AddFile;
    QPushButton* BitBtn1;  // LOADLIST
    QPushButton* m_newList;
    QTabBar* Tab;
};
