#include "app/PageOverview.h"

#include "app/DisplayNames.h"
#include "core/ProgramFolder.h"
#include "import/LivePage.h"
#include "platform/PictureFile.h"
#include "platform/ThreadPriority.h"
#include "transfer/ModuleType.h"
#include "transfer/PagePreparation.h"
#include "transfer/SignView.h"

#include <QAction>
#include <QDataStream>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QMimeData>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

namespace {

constexpr char kPageMime[] = "application/x-marquee-page";
// A thumbnail fits this box; small signs are shown with round dots.
constexpr int kThumbWidth = 160;
constexpr int kThumbHeight = 40;

// The strip of pages: each thumbnail above its texts.
class PageStrip : public QListView {
  public:
    using QListView::QListView;

  protected:
    void initViewItemOption(QStyleOptionViewItem* option) const override {
        QListView::initViewItemOption(option);
        option->decorationPosition = QStyleOptionViewItem::Top;
        option->displayAlignment = Qt::AlignHCenter | Qt::AlignTop;
        option->textElideMode = Qt::ElideRight;
    }
};

// The thumbnail of the picture at path (none: a blank page) on the sign of
// settings s. Runs on a worker thread: it reads only its arguments.
QImage drawThumbnail(const QString& path, const Settings& s) {
    const QSize screen(s.WIDTH, s.HEIGHT);
    QImage leds(screen, QImage::Format_RGB32);
    leds.fill(Qt::black);
    if (!path.isEmpty()) {
        const PictureLoad picture = loadPicture(path, screen);
        if (picture.error.isEmpty()) {
            leds = pictureLeds(picture.image, s);
        } else {
            leds.fill(QColor(90, 0, 0));  // a picture that cannot be read: dark red
        }
    }
    const int zoom = std::clamp(std::min(kThumbWidth / std::max(screen.width(), 1),
                                         kThumbHeight / std::max(screen.height(), 1)),
                                1, 4);
    QImage shown = zoomView(leds, zoom, ViewStyle::Dots);
    if (shown.width() > kThumbWidth || shown.height() > kThumbHeight) {
        shown =
            shown.scaled(kThumbWidth, kThumbHeight, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    return shown;
}

}  // namespace

PageOverviewModel::PageOverviewModel(const PageList& pages, std::function<Settings()> settings,
                                     QObject* parent)
    : QAbstractListModel(parent), m_pages(pages), m_settings(std::move(settings)) {
    // Thumbnails of a full list of large signs stay; older ones go first.
    m_thumbnails.setMaxCost(64 * 1024 * 1024);
    // One thumbnail at a time: the window's own thread keeps the other core.
    m_workers.setMaxThreadCount(1);
}

PageOverviewModel::~PageOverviewModel() {
    // No worker may deliver to a model that is gone.
    m_workers.waitForDone();
}

void PageOverviewModel::refresh() {
    beginResetModel();
    // Rows that are not shown any more need not be drawn; a thumbnail being
    // drawn still lands under its own key, which no changed row shares.
    m_waiting.clear();
    endResetModel();
}

QImage PageOverviewModel::placeholder() {
    static const QImage grey = [] {
        QImage image(kThumbWidth, kThumbHeight, QImage::Format_RGB32);
        image.fill(QColor(40, 40, 40));
        return image;
    }();
    return grey;
}

int PageOverviewModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_pages.PageCount();
}

QImage PageOverviewModel::thumbnail(int page) const {
    const Settings s = m_settings();
    const QSize screen(s.WIDTH, s.HEIGHT);
    const QString file = m_pages.item(page).FileName;
    // A live page shows its latest rendering (the sign view renders it).
    const QString path = file.isEmpty()     ? QString()
                         : isLivePage(file) ? lastLiveRendering(m_folder, file, screen)
                                            : resolveInFolder(m_folder, file);
    const QFileInfo info(path);
    const QString key = QStringLiteral("%1|%2|%3|%4x%5|%6|%7%8%9")
                            .arg(path)
                            .arg(info.lastModified().toMSecsSinceEpoch())
                            .arg(info.size())
                            .arg(s.WIDTH)
                            .arg(s.HEIGHT)
                            .arg(s.TYPE)
                            .arg(s.RG_SWAP)
                            .arg(s.COLOR_SWAP)
                            .arg(s.ADJUST);
    if (const QImage* kept = m_thumbnails.object(key)) {
        return *kept;
    }
    if (!m_drawn.contains(key)) {
        const auto same = std::find_if(m_waiting.begin(), m_waiting.end(),
                                       [&key](const Request& r) { return r.key == key; });
        if (same != m_waiting.end()) {
            m_waiting.erase(same);
        }
        m_waiting.append({key, path, s});
        // About two strips of rows: more than can be shown at once.
        constexpr int kMaxWaiting = 32;
        if (m_waiting.size() > kMaxWaiting) {
            m_waiting.remove(0, m_waiting.size() - kMaxWaiting);
        }
        drawNext();
    }
    return placeholder();
}

void PageOverviewModel::drawNext() const {
    if (m_drawing > 0 || m_waiting.isEmpty()) {
        return;
    }
    const Request next = m_waiting.takeLast();
    ++m_drawing;
    m_drawn.insert(next.key);
    auto* self = const_cast<PageOverviewModel*>(this);
    m_workers.start([self, next] {
        lowerThisThreadPriority();
        const QImage shown = drawThumbnail(next.path, next.settings);
        QMetaObject::invokeMethod(
            self, [self, key = next.key, shown] { self->thumbnailDrawn(key, shown); },
            Qt::QueuedConnection);
    });
}

void PageOverviewModel::thumbnailDrawn(const QString& key, const QImage& shown) {
    --m_drawing;
    m_drawn.remove(key);
    m_thumbnails.insert(key, new QImage(shown),
                        int(std::min<qint64>(shown.sizeInBytes(), INT_MAX)));
    // The rows asking for this key fetch it again; the others are read from
    // the cache, which costs no drawing.
    if (rowCount() > 0) {
        emit dataChanged(index(0), index(rowCount() - 1), {Qt::DecorationRole});
    }
    drawNext();
    emit thumbnailReady();
}

QVariant PageOverviewModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const int page = index.row() + 1;
    const PlayItem& item = m_pages.item(page);
    switch (role) {
        case Qt::DisplayRole:
            return tr("%1 · time %2 · speed %3\n%4")
                .arg(page)
                .arg(item.DispTime)
                .arg(item.DispSpeed)
                .arg(effectName(item.InMode));
        case Qt::DecorationRole:
            return thumbnail(page);
        case Qt::ToolTipRole:
            return QStringLiteral("%1\n%2").arg(
                item.FileName.isEmpty() ? tr("a blank page") : item.FileName,
                effectName(item.InMode));
        default:
            return {};
    }
}

Qt::ItemFlags PageOverviewModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::ItemIsDropEnabled;  // dropped between pages
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

QStringList PageOverviewModel::mimeTypes() const {
    return {QString::fromLatin1(kPageMime)};
}

QMimeData* PageOverviewModel::mimeData(const QModelIndexList& indexes) const {
    if (indexes.isEmpty()) {
        return nullptr;
    }
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kPageMime), QByteArray::number(indexes.first().row()));
    return data;
}

bool PageOverviewModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int,
                                     const QModelIndex& parent) {
    if (action != Qt::MoveAction || !data->hasFormat(QString::fromLatin1(kPageMime))) {
        return false;
    }
    bool ok = false;
    const int source = data->data(QString::fromLatin1(kPageMime)).toInt(&ok);
    if (!ok) {
        return false;
    }
    // Dropped on a page: before it.
    requestMove(source, row >= 0 ? row : (parent.isValid() ? parent.row() : rowCount()));
    return true;
}

bool PageOverviewModel::moveRows(const QModelIndex&, int sourceRow, int count, const QModelIndex&,
                                 int destinationChild) {
    if (count != 1) {
        return false;
    }
    requestMove(sourceRow, destinationChild);
    return true;
}

void PageOverviewModel::requestMove(int sourceRow, int beforeRow) {
    // beforeRow counts the rows before the move; the page's new place does not.
    const int to = beforeRow > sourceRow ? beforeRow - 1 : beforeRow;
    if (sourceRow >= 0 && sourceRow < rowCount() && to != sourceRow && to >= 0 && to < rowCount()) {
        emit moveRequested(sourceRow + 1, to + 1);
    }
}

// ---- The overview ----------------------------------------------------------

PageOverview::PageOverview(const PageList& pages, std::function<Settings()> settings,
                           QWidget* parent)
    : QWidget(parent), m_pages(pages) {
    setObjectName(QStringLiteral("PageOverview"));
    m_model = new PageOverviewModel(pages, std::move(settings), this);
    m_view = new PageStrip;
    m_view->setObjectName(QStringLiteral("PageOverviewList"));
    m_view->setModel(m_model);
    m_view->setIconSize(QSize(kThumbWidth, kThumbHeight));
    m_view->setFlow(QListView::LeftToRight);
    m_view->setWrapping(false);
    m_view->setSpacing(3);
    m_view->setUniformItemSizes(true);
    m_view->setGridSize(QSize(kThumbWidth + 12, kThumbHeight + 2 * fontMetrics().height() + 12));
    m_view->setMinimumHeight(m_view->gridSize().height() +
                             m_view->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 8);
    m_view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    // Pages only come from this list (the model takes no other kind of
    // data); a drop between two pages moves the page there.
    m_view->setDragDropMode(QAbstractItemView::DragDrop);
    m_view->setDragDropOverwriteMode(false);
    m_view->setDropIndicatorShown(true);
    m_view->setDefaultDropAction(Qt::MoveAction);
    m_view->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_position = new QLabel;
    m_position->setObjectName(QStringLiteral("PagePosition"));

    m_buttons = new QGridLayout;
    m_buttons->setContentsMargins(0, 0, 0, 0);
    m_buttons->setSpacing(2);
    auto* column = new QVBoxLayout;
    column->addWidget(m_position);
    column->addLayout(m_buttons);
    column->addStretch(1);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 0, 4, 0);
    row->addLayout(column);
    row->addWidget(m_view, 1);

    const auto key = [](QKeyCombination k) { return QKeySequence(k); };
    QAction* before =
        addAction("InsertBefore", tr("Insert before"), {key(Qt::SHIFT | Qt::Key_Insert)});
    QAction* after =
        addAction("InsertAfter", tr("Insert after"), {key(QKeyCombination(Qt::Key_Insert))});
    QAction* duplicate = addAction("Duplicate", tr("Duplicate"), {key(Qt::CTRL | Qt::Key_D)});
    QAction* earlier = addAction("MoveEarlier", tr("Move up"),
                                 {key(Qt::CTRL | Qt::Key_Up), key(Qt::CTRL | Qt::Key_Left)});
    QAction* later = addAction("MoveLater", tr("Move down"),
                               {key(Qt::CTRL | Qt::Key_Down), key(Qt::CTRL | Qt::Key_Right)});
    QAction* remove = addAction("DeletePage", tr("Delete"), {key(QKeyCombination(Qt::Key_Delete))});
    QAction* fresh = addAction("NewList", tr("NEW LIST"), {key(Qt::CTRL | Qt::Key_N)});
    for (QAction* action : {before, after, duplicate, earlier, later, remove, fresh}) {
        placeButton(action);
    }

    connect(before, &QAction::triggered, this, [this] { emit insertRequested(false); });
    connect(after, &QAction::triggered, this, [this] { emit insertRequested(true); });
    connect(duplicate, &QAction::triggered, this, &PageOverview::duplicateRequested);
    connect(earlier, &QAction::triggered, this, [this] { moveCurrent(-1); });
    connect(later, &QAction::triggered, this, [this] { moveCurrent(1); });
    connect(remove, &QAction::triggered, this, &PageOverview::deleteRequested);
    connect(fresh, &QAction::triggered, this, &PageOverview::newListRequested);
    connect(m_view, &QListView::clicked, this,
            [this](const QModelIndex& index) { emit pageClicked(index.row()); });
    // The arrow keys choose the page too (moving to the page shown already,
    // as refresh does, changes nothing).
    connect(m_view->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& index) {
                if (index.isValid() && index.row() != m_pages.currentTab()) {
                    emit pageClicked(index.row());
                }
            });
    connect(m_model, &PageOverviewModel::moveRequested, this, &PageOverview::moveRequested,
            Qt::QueuedConnection);
}

QAction* PageOverview::addAction(const char* name, const QString& text,
                                 const QList<QKeySequence>& keys) {
    auto* action = new QAction(text, this);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    action->setToolTip(
        QStringLiteral("%1 (%2)").arg(text, keys.first().toString(QKeySequence::NativeText)));
    QWidget::addAction(action);
    m_view->addAction(action);
    m_actions << action;
    return action;
}

void PageOverview::placeButton(QAction* action) {
    constexpr int kColumns = 3;
    auto* button = new QToolButton;
    button->setDefaultAction(action);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    const int at = m_buttons->count();
    m_buttons->addWidget(button, at / kColumns, at % kColumns);
}

void PageOverview::addHistoryActions(QAction* undo, QAction* redo) {
    placeButton(undo);
    placeButton(redo);
}

void PageOverview::moveCurrent(int step) {
    const int from = m_pages.currentPage();
    const int to = from + step;
    if (from >= 1 && to >= 1 && to <= m_pages.PageCount()) {
        emit moveRequested(from, to);
    }
}

void PageOverview::refresh() {
    m_model->refresh();
    const int current = m_pages.currentTab();
    if (current >= 0 && current < m_model->rowCount()) {
        m_view->setCurrentIndex(m_model->index(current));
    }
    m_position->setText(
        tr("page %1 of %2").arg(std::max(m_pages.currentPage(), 1)).arg(m_pages.PageCount()));
    for (QAction* action : m_actions) {
        if (action->objectName() == QLatin1String("DeletePage")) {
            action->setEnabled(m_pages.deleteEnabled());
        }
    }
}
