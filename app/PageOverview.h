#pragma once

#include "core/Settings.h"
#include "pages/PageList.h"

#include <QAbstractListModel>
#include <QCache>
#include <QImage>
#include <QList>
#include <QSet>
#include <QThreadPool>
#include <QWidget>

#include <functional>

class QAction;
class QGridLayout;
class QLabel;
class QListView;

// The pages of the list as the overview shows them: a small sign view of
// each, its number, effect, display time and speed. Dragging a page asks
// for a move; the list itself is changed by the window, through PageList.
// Thumbnails are drawn on worker threads: a row asked for first shows a
// grey placeholder, and its thumbnail once drawn.
class PageOverviewModel : public QAbstractListModel {
    Q_OBJECT
  public:
    PageOverviewModel(const PageList& pages, std::function<Settings()> settings,
                      QObject* parent = nullptr);
    ~PageOverviewModel() override;
    void setFolder(const QString& folder) { m_folder = folder; }
    // The list or the settings changed: every row is read again, and
    // thumbnails not yet started for the old rows are dropped.
    void refresh();
    // What a row shows while its thumbnail is being drawn.
    static QImage placeholder();
    // Thumbnails being drawn or waiting for a worker.
    int thumbnailsPending() const { return int(m_waiting.size()) + m_drawing; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;
    bool moveRows(const QModelIndex& sourceParent, int sourceRow, int count,
                  const QModelIndex& destinationParent, int destinationChild) override;

  signals:
    // Page from (1..n) should become page to.
    void moveRequested(int from, int to);
    // A thumbnail has been drawn and its rows told.
    void thumbnailReady();

  private:
    QImage thumbnail(int page) const;
    void drawNext() const;
    void thumbnailDrawn(const QString& key, const QImage& shown);
    void requestMove(int sourceRow, int beforeRow);

    const PageList& m_pages;
    std::function<Settings()> m_settings;
    QString m_folder;
    // By file, its date and size, and the sign; bounded by bytes.
    mutable QCache<QString, QImage> m_thumbnails;
    // Thumbnails asked for and not yet drawn, the latest last: the rows
    // shown now are drawn first, rows scrolled past are forgotten (asked
    // for again when they are shown again).
    struct Request {
        QString key;
        QString path;
        Settings settings;
    };
    mutable QList<Request> m_waiting;
    mutable QSet<QString> m_drawn;  // keys on a worker now
    mutable int m_drawing = 0;
    mutable QThreadPool m_workers;
};

// The page overview beside the preview: every page as a thumbnail, "page k
// of n", and the list's edits (insert, duplicate, move, delete, undo, redo,
// NEW LIST) as buttons, in the context menu and on keys.
class PageOverview : public QWidget {
    Q_OBJECT
  public:
    PageOverview(const PageList& pages, std::function<Settings()> settings,
                 QWidget* parent = nullptr);
    void setFolder(const QString& folder) { m_model->setFolder(folder); }
    // Mirrors the list: thumbnails, texts, the current page.
    void refresh();
    // Undo and redo of the page history, shown with the list's edits.
    void addHistoryActions(QAction* undo, QAction* redo);

    QListView* view() const { return m_view; }
    PageOverviewModel* model() const { return m_model; }

  signals:
    void pageClicked(int tab);
    void moveRequested(int from, int to);
    void insertRequested(bool after);
    void duplicateRequested();
    void deleteRequested();
    void newListRequested();

  private:
    QAction* addAction(const char* name, const QString& text, const QList<QKeySequence>& keys);
    void moveCurrent(int step);
    void placeButton(QAction* action);

    const PageList& m_pages;
    PageOverviewModel* m_model;
    QListView* m_view;
    QLabel* m_position;  // "page k of n"
    QGridLayout* m_buttons;
    QList<QAction*> m_actions;
};
