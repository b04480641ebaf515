#include "app/MainWindow.h"

#include "app/PageOverview.h"
#include "app/PagePanel.h"
#include "app/PagePreview.h"
#include "app/TransferLogDock.h"
#include "core/Preferences.h"
#include "pages/PageHistory.h"
#include "pages/PlayListFile.h"

#include <QAction>
#include <QDir>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QListView>
#include <QMessageBox>
#include <QRadioButton>
#include <QUndoStack>

namespace {

// marquee.conf's entry for the list reopened at start.
constexpr char kLastListPreference[] = "list";

// The merge keys of the panel's fields: edits of one field of one page in a
// row are one step.
int fieldKey(int field, int page) {
    return 1000 * (field + 1) + page;
}

}  // namespace

void TTwpMain::createPageOverview() {
    m_history = new PageHistory(m_pages, this);
    m_undo = m_history->stack()->createUndoAction(this, tr("Undo"));
    m_undo->setObjectName(QStringLiteral("Undo"));
    m_undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    m_redo = m_history->stack()->createRedoAction(this, tr("Redo"));
    m_redo->setObjectName(QStringLiteral("Redo"));
    m_redo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    for (QAction* action : {m_undo, m_redo}) {
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
    }
    connect(m_history, &PageHistory::restored, this, &TTwpMain::showRestoredList);
    connect(m_history->stack(), &QUndoStack::cleanChanged, this, &TTwpMain::updateTitle);

    m_overview = new PageOverview(m_pages, [this] { return settings(); });
    m_overview->addHistoryActions(m_undo, m_redo);
    auto* dock = new QDockWidget(tr("Pages"), this);
    dock->setObjectName(QStringLiteral("PageOverviewDock"));
    dock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    dock->setWidget(m_overview);
    // Below the preview, above the transfer log: the settings row keeps the
    // window's whole width.
    addDockWidget(Qt::BottomDockWidgetArea, dock);
    splitDockWidget(dock, m_log, Qt::Vertical);

    connect(m_overview, &PageOverview::pageClicked, this, &TTwpMain::TabClick);
    connect(m_overview, &PageOverview::moveRequested, this, [this](int from, int to) {
        m_pages.movePage(from, to);
        showPagesAndPreview(tr("Move page %1 to %2").arg(from).arg(to));
    });
    connect(m_overview, &PageOverview::insertRequested, this, [this](bool after) {
        const QString error = m_pages.insertPage(after);
        showPagesAndPreview(after ? tr("Insert page after") : tr("Insert page before"));
        if (!error.isEmpty()) {
            showMessage(error, QString());
        }
    });
    connect(m_overview, &PageOverview::duplicateRequested, this, [this] {
        const QString error = m_pages.duplicatePage();
        showPagesAndPreview(tr("Duplicate page"));
        if (!error.isEmpty()) {
            showMessage(error, QString());
        }
    });
    connect(m_overview, &PageOverview::deleteRequested, this, &TTwpMain::DelMuClick);
    connect(m_overview, &PageOverview::newListRequested, this, &TTwpMain::newList);
    connect(m_pagePanel, &PagePanel::newListClicked, this, &TTwpMain::newList);
    connect(m_pagePanel, &PagePanel::edited, this, [this](int field) {
        static const char* const names[] = {QT_TR_NOOP("Change DISPTIME"),
                                            QT_TR_NOOP("Change DISPSPEED"),
                                            QT_TR_NOOP("Change DISPMODE")};
        m_history->commit(tr(names[std::clamp(field, 0, 2)]),
                          fieldKey(field, m_pages.currentPage()));
        schedulePreparation();
        m_overview->refresh();
        updateTitle();
    });
}

// ---- Page list ---------------------------------------------------------

void TTwpMain::showPagesAndPreview(const QString& step) {
    m_history->commit(step.isEmpty() ? tr("Change pages") : step);
    schedulePreparation();
    m_pagePanel->showPageList();
    m_overview->refresh();
    m_preview->pageChanged();
    updateTitle();
}

void TTwpMain::showRestoredList() {
    schedulePreparation();
    m_pagePanel->showPageList();
    m_overview->refresh();
    m_preview->pageChanged();
    updateTitle();
}

bool TTwpMain::listModified() const {
    return m_history->modified();
}

void TTwpMain::updateTitle() {
    const QString shown = m_listPath.isEmpty() ? QDir::toNativeSeparators(m_folder)
                                               : QDir::toNativeSeparators(m_listPath);
    setWindowTitle(QStringLiteral("Marquee — %1[*]").arg(shown));
    setWindowModified(m_history->modified());
}

bool TTwpMain::mayDropList() {
    if (!m_history->modified()) {
        return true;
    }
    SaveAnswer answer = SaveAnswer::Cancel;
    if (m_savePrompt) {
        answer = m_savePrompt();
    } else {
        const auto button = QMessageBox::warning(
            this, windowTitle(), tr("The page list has changes that are not saved. Save them?"),
            QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
        answer = button == QMessageBox::Save      ? SaveAnswer::Save
                 : button == QMessageBox::Discard ? SaveAnswer::Discard
                                                  : SaveAnswer::Cancel;
    }
    switch (answer) {
        case SaveAnswer::Discard:
            return true;
        case SaveAnswer::Cancel:
            return false;
        case SaveAnswer::Save:
            break;
    }
    if (!m_listPath.isEmpty()) {
        return saveListTo(m_listPath);
    }
    ToolButton1Click();
    return !m_history->modified();
}

void TTwpMain::newList() {
    if (!mayDropList()) {
        return;
    }
    m_pages.initialise();
    m_pages.chooseScope(Ra2->isChecked() ? Scope::All : Scope::Single);
    m_listPath.clear();
    m_history->reset();
    showPagesAndPreview();
}

void TTwpMain::AddMuClick() {
    const QString error = m_pages.addPage();
    showPagesAndPreview(tr("ADDPAGE"));
    if (!error.isEmpty()) {
        showMessage(error, QString());
    }
}

void TTwpMain::DelMuClick() {
    m_pages.deletePage();
    showPagesAndPreview(tr("DELETE"));
}

void TTwpMain::TabClick(int tab) {
    if (tab < 0) {
        return;
    }
    m_pages.selectTab(tab);
    // With ALL chosen, showing a page's values is an edit of every page.
    showPagesAndPreview(tr("Page values to every page"));
}

void TTwpMain::ToolButton1Click() {
    const QString start = m_listPath.isEmpty()
                              ? QDir(m_folder).filePath(QString::fromLatin1(kDefaultListName))
                              : m_listPath;
    const QString chosen =
        QFileDialog::getSaveFileName(this, tr("SAVE LIST"), start, tr("LIST (*.lis)"));
    if (!chosen.isEmpty()) {
        saveListTo(chosen);
    }
}

bool TTwpMain::saveListTo(const QString& path) {
    const QString error = savePlayList(path, m_pages);
    if (!error.isEmpty()) {
        showMessage(error, QString());
        return false;
    }
    m_listPath = QFileInfo(withListExtension(path)).absoluteFilePath();
    m_history->markSaved();
    updateTitle();
    QString reason;
    if (!writePreference(m_folders.settings, QString::fromLatin1(kLastListPreference), m_listPath,
                         &reason)) {
        showMessage(reason, QString());
    }
    return true;
}

void TTwpMain::BitBtn1Click() {
    if (!mayDropList()) {
        return;
    }
    const QString chosen =
        QFileDialog::getOpenFileName(this, tr("LOADLIST"), m_folder, tr("LIST (*.lis)"));
    if (!chosen.isEmpty()) {
        loadListFrom(chosen);
    }
}

void TTwpMain::loadListFrom(const QString& path) {
    const LoadListOutcome outcome = loadPlayList(path, &m_pages);
    if (outcome.loaded) {
        // A list read whole is the list of that file; one cut short is not,
        // so that saving it asks for a name instead of shortening the file.
        m_listPath = outcome.messages.isEmpty() ? QFileInfo(path).absoluteFilePath() : QString();
        m_history->reset();
        if (!m_listPath.isEmpty()) {
            QString reason;
            writePreference(m_folders.settings, QString::fromLatin1(kLastListPreference),
                            m_listPath, &reason);
        }
    }
    showPagesAndPreview();
    if (!outcome.messages.isEmpty()) {
        showMessage(outcome.messages.join(QLatin1Char('\n')), QString());
    }
}

void TTwpMain::openListAtStart(const QString& path) {
    loadListFrom(path);
    if (m_pages.currentTab() < 0) {
        TabClick(0);
    }
}

void TTwpMain::reopenLastList() {
    const QString last =
        readPreference(m_folders.settings, QString::fromLatin1(kLastListPreference));
    if (!last.isEmpty() && QFileInfo(last).isFile()) {
        openListAtStart(last);
    }
}
