#include "app/MainWindow.h"

#include "app/CommandRunner.h"
#include "app/Controls.h"
#include "app/DocumentImportDialog.h"
#include "app/PageOverview.h"
#include "app/PagePanel.h"
#include "app/PagePreview.h"
#include "app/ParameterDialog.h"
#include "app/PictureImportDialog.h"
#include "app/PortChooser.h"
#include "app/PreviewStage.h"
#include "app/PreviewSurface.h"
#include "app/SettingsRow.h"
#include "app/SignViewBar.h"
#include "app/SpreadsheetImportDialog.h"
#include "app/StatusArea.h"
#include "app/TextComposerDialog.h"
#include "app/TransferLogDock.h"
#include "app/VirtualSignLauncher.h"
#include "controller/ControllerCommands.h"
#include "core/Preferences.h"
#include "core/ProgramFolder.h"
#include "core/SettingsFile.h"
#include "core/TransferLog.h"
#include "import/PictureImport.h"
#include "pages/PageHistory.h"
#include "pages/PlayListFile.h"
#include "platform/DesktopShell.h"
#include "platform/PictureFile.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QTabBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

TTwpMain::TTwpMain(const Folders& folders, MessageFn messageFn, QWidget* parent)
    : QMainWindow(parent),
      m_folders(folders),
      m_folder(folders.sign),
      showMessage(std::move(messageFn)) {
    setObjectName(QStringLiteral("TwpMain"));
    setWindowTitle(QStringLiteral("Marquee"));
    m_records = ControllerRecords(ControllerRecords::folderFor(folders.data));
    if (!showMessage) {
        showMessage = [this](const QString& text, const QString& caption) {
            QMessageBox::information(this, caption.isEmpty() ? windowTitle() : caption, text);
        };
    }
    createToolbar();

    m_settingsRow = new SettingsRow;
    // The signs and the port on a line of their own under the commands,
    // where the port's descriptions fit.
    addToolBarBreak();
    QToolBar* bar = addToolBar(tr("Signs"));
    bar->setObjectName(QStringLiteral("ToolBar2"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_signChooser = new QComboBox;
    m_signChooser->setObjectName(QStringLiteral("SignChooser"));
    m_signChooser->setToolTip(tr("The sign the settings row shows"));
    m_signChooser->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(m_signChooser, QOverload<int>::of(&QComboBox::activated), this, &TTwpMain::chooseSign);
    bar->addWidget(makeCaption(tr("SIGN")));
    bar->addWidget(m_signChooser);
    m_SignBook = bar->addAction(tr("SIGNS(&G)…"), this, &TTwpMain::editSignBook);
    m_SignBook->setObjectName(QStringLiteral("m_SignBook"));
    m_SignBook->setToolTip(tr("The sign book: named signs, their ports and screens"));
    m_ToSigns = bar->addAction(tr("TO SIGNS(&O)…"), this, &TTwpMain::openSignRun);
    m_ToSigns->setObjectName(QStringLiteral("m_ToSigns"));
    m_ToSigns->setToolTip(tr("SEND, MODE or TIME to several signs in one go"));
    bar->addSeparator();
    bar->addWidget(makeCaption(tr("PORT")));
    bar->addWidget(m_settingsRow->portChooser());
    m_pagePanel = new PagePanel(m_pages);
    PBar = new QProgressBar;
    PBar->setObjectName(QStringLiteral("PBar"));
    PBar->setRange(0, kProgressMaximum);
    PBar->setValue(0);
    PBar->hide();
    m_stage = new PreviewStage(m_pagePanel, m_pagePanel->tabBar(), PBar);
    m_signBar = new SignViewBar(true);
    m_preview = new PagePreview(
        m_folder, m_pages, [this] { return settings(); }, m_signBar, m_stage, this);

    auto* central = new QWidget;
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(6, 6, 6, 0);
    column->addWidget(m_settingsRow);
    column->addWidget(m_signBar);
    column->addWidget(m_stage, 1);
    setCentralWidget(central);
    m_status = new StatusArea(statusBar());
    m_log = new TransferLogDock(transferLogPath(m_folders.data), this);
    addDockWidget(Qt::BottomDockWidgetArea, m_log);
    m_commands = new CommandRunner(m_folder, *this, transferLogPath(m_folders.data), this);
    m_commands->setServiceHold(m_folders.settings,
                               [this] { return m_book.signs.value(m_book.selectedIndex()).name; });
    connect(m_commands, &CommandRunner::logged, m_log, &TransferLogDock::append);
    connect(m_commands, &CommandRunner::busyChanged, this, &TTwpMain::commandRunningChanged);
    connect(m_status, &StatusArea::cancelClicked, m_commands, &CommandRunner::cancel);
    // Pages are prepared beside the window before SEND: its thread comes
    // first. A SEND decodes what is left at full priority: the line waits.
    m_preparation.setYieldToWindow(true);
    m_prepareTimer = new QTimer(this);
    m_prepareTimer->setSingleShot(true);
    m_prepareTimer->setInterval(500);
    connect(m_prepareTimer, &QTimer::timeout, this, &TTwpMain::preparePages);
    connect(m_settingsRow, &SettingsRow::changed, this, &TTwpMain::schedulePreparation);
    connect(m_settingsRow, &SettingsRow::changed, this, &TTwpMain::showPortCommands);
    m_confirm = [this](const QString& findings, bool canSend) {
        return confirmSendWithDialog(this, findings, canSend);
    };
    m_chooseScope = [this](const QString& estimates) { return chooseSendScope(this, estimates); };

    PreviewSurface* surface = m_stage->surface();
    connect(surface, &PreviewSurface::clicked, this, &TTwpMain::DispPlayClick);
    connect(surface, &PreviewSurface::doubleClicked, this, &TTwpMain::DispPlayDblClick);
    connect(m_settingsRow, &SettingsRow::readParaClicked, this, &TTwpMain::BitBtn2Click);
    // WIDTH or HEIGHT changed: the preview frame is re-laid, pages untouched.
    connect(m_settingsRow, &SettingsRow::screenSizeChanged, this, [this] {
        m_preview->pageChanged();
        m_preview->relayout();
    });
    connect(m_settingsRow, &SettingsRow::signChanged, m_preview, &PagePreview::pageChanged);
    connect(m_pagePanel, &PagePanel::addClicked, this, &TTwpMain::AddMuClick);
    connect(m_pagePanel, &PagePanel::deleteClicked, this, &TTwpMain::DelMuClick);
    connect(m_pagePanel, &PagePanel::loadFileClicked, this, &TTwpMain::AddFileClick);
    connect(m_pagePanel, &PagePanel::loadListClicked, this, &TTwpMain::BitBtn1Click);
    connect(m_pagePanel, &PagePanel::tabClicked, this, &TTwpMain::TabClick);
    connect(m_pagePanel, &PagePanel::fieldRejected, this,
            [this](const QString& text) { showMessage(text, QString()); });
    createPageOverview();
    creationStep();
}

void TTwpMain::createToolbar() {
    QToolBar* bar = addToolBar(tr("Commands"));
    bar->setObjectName(QStringLiteral("ToolBar1"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto add = [bar](const char* name, const char* text) {
        QAction* action = bar->addAction(tr(text));
        action->setObjectName(QString::fromLatin1(name));
        // A tool button shows its letter but takes no mnemonic: Alt + the
        // letter is the action's own shortcut.
        action->setShortcut(QKeySequence::mnemonic(action->text()));
        action->setShortcutContext(Qt::WindowShortcut);
        return action;
    };
    m_Send = add("m_Send", QT_TR_NOOP("SEND(&S)"));
    m_EditTxt = add("m_EditTxt", QT_TR_NOOP("EDIT(&E)"));
    m_EditBmp = add("m_EditBmp", QT_TR_NOOP("PICTURE(&P)"));
    m_Help = add("m_Help", QT_TR_NOOP("TIME(&T)"));
    m_Exit = add("m_Exit", QT_TR_NOOP("MODE(&M)"));
    ToolButton1 = add("ToolButton1", QT_TR_NOOP("SAVE LIST(&L)"));
    ToolButton2 = add("ToolButton2", QT_TR_NOOP("SETUP(&U)"));
    m_OpenFolder = add("m_OpenFolder", QT_TR_NOOP("Open sign folder…"));
    m_OpenFolder->setToolTip(tr("Choose the folder of the pages, lists and port links"));
    m_VirtualSign = add("m_VirtualSign", QT_TR_NOOP("Virtual sign"));
    m_VirtualSign->setToolTip(
        tr("Start the controller emulator in a window of its own, set up as this sign, on a new "
           "port, and choose that port"));
    bar->addSeparator();
    Ra1 = new QRadioButton(tr("SINGLE"));
    Ra1->setObjectName(QStringLiteral("Ra1"));
    Ra1->setChecked(true);
    Ra2 = new QRadioButton(tr("ALL"));
    Ra2->setObjectName(QStringLiteral("Ra2"));
    bar->addWidget(Ra1);
    bar->addWidget(Ra2);

    connect(m_Send, &QAction::triggered, this, &TTwpMain::m_SendClick);
    connect(m_Help, &QAction::triggered, this, &TTwpMain::setClockClicked);
    connect(m_Exit, &QAction::triggered, this, &TTwpMain::sendModesClicked);
    connect(m_EditTxt, &QAction::triggered, this, &TTwpMain::m_EditTxtClick);
    connect(m_EditBmp, &QAction::triggered, this, &TTwpMain::m_EditBmpClick);
    connect(ToolButton1, &QAction::triggered, this, &TTwpMain::ToolButton1Click);
    connect(ToolButton2, &QAction::triggered, this, &TTwpMain::ToolButton2Click);
    connect(m_OpenFolder, &QAction::triggered, this, [this] {
        const QString chosen =
            QFileDialog::getExistingDirectory(this, tr("Open sign folder"), m_folder);
        if (!chosen.isEmpty()) {
            openSignFolder(chosen);
        }
    });
    connect(m_VirtualSign, &QAction::triggered, this, &TTwpMain::virtualSignClicked);
    connect(Ra2, &QRadioButton::toggled, this, [this](bool checked) {
        m_pages.chooseScope(checked ? Scope::All : Scope::Single);
        showPagesAndPreview(tr("ALL"));
    });
}

// Start-up, in its fixed order: the effect lists, one blank page of 256
// slots, then ck.ini read from the program folder (now the current folder).
void TTwpMain::creationStep() {
    m_pagePanel->fillLists();
    m_pages.initialise();
    m_pagePanel->showPageList();
    QDir::setCurrent(m_folder);
    Settings s = settings();
    const SettingsReadResult result = readSettings(m_folders, &s);
    setSettings(s);
    m_history->reset();
    m_overview->refresh();
    if (!result.error.isEmpty()) {
        showMessage(result.error, QString());
    }
    loadSignBook(s);
}

void TTwpMain::attachDialogs(TForm1* form1, TForm2* form2, TForm3* form3, TForm5* form5) {
    m_form1 = form1;
    m_form2 = form2;
    m_form3 = form3;
    m_form5 = form5;
    attachFolder();
    if (m_form5) {
        connect(m_form5, &TForm5::saveRequested, this, &TTwpMain::saveParameters);
        connect(m_form5, &TForm5::readRequested, this, &TTwpMain::BitBtn2Click);
        connect(m_form5, &TForm5::downloadRequested, this, &TTwpMain::downloadSetupImage);
    }
}

void TTwpMain::attachFolder() {
    // The importers place pages in this list and report through this window.
    const ImportContext imports{m_folder, &m_pages, this, [this] { return settings(); }};
    if (m_form1) {
        m_form1->attach(imports);
    }
    if (m_form2) {
        m_form2->attach(imports);
    }
    if (m_form3) {
        m_form3->attach({m_folder, [this] { return settings(); }, &m_pages,
                         [this] { showPagesAndPreview(); },
                         [this](const QString& text) { showMessage(text, QString()); }});
    }
    m_commands->setFolder(m_folder);
    m_preview->setFolder(m_folder);
    m_overview->setFolder(m_folder);
    m_overview->refresh();
    updateTitle();
}

void TTwpMain::openSignFolder(const QString& folder) {
    m_folder = QFileInfo(folder).absoluteFilePath();
    m_folders.sign = m_folder;
    QDir::setCurrent(m_folder);
    attachFolder();
    showPagesAndPreview();
    QString reason;
    if (!writePreference(m_folders.settings, QStringLiteral("folder"), m_folder, &reason)) {
        showMessage(reason, QString());
    }
}

Settings TTwpMain::settings() const {
    return m_settingsRow->settings();
}

void TTwpMain::setSettings(const Settings& s) {
    m_settingsRow->setSettings(s);
}

const MainLayout& TTwpMain::currentLayout() const {
    return m_stage->currentLayout();
}

TTwpMain::~TTwpMain() {
    delete m_commands;
    m_preparation.stop();
    // The children go after this window has stopped being one: the history
    // emptied and the overview's model taken down must not call back.
    m_history->stack()->disconnect(this);
    m_history->disconnect(this);
    m_overview->disconnect(this);
}

// ---- Pictures ----------------------------------------------------------

void TTwpMain::AddFileClick() {
    const QString chosen =
        QFileDialog::getOpenFileName(this, tr("LOADFILE"), m_folder, loadFileFilter());
    if (chosen.isEmpty()) {
        return;
    }
    if (loadFileKind(chosen) == LoadFileKind::Picture && m_pages.currentPage() != 0) {
        // The sign view shows how the picture meets the sign before the
        // page changes; a picture that cannot be read is told by loadFile.
        const PictureLoad picture = loadPicture(chosen, QSize(settings().WIDTH, settings().HEIGHT));
        if (picture.error.isEmpty()) {
            PictureImportDialog dialog(picture.image, settings(), this);
            if (dialog.exec() != QDialog::Accepted) {
                return;
            }
            loadPictureFitted(chosen, dialog.options());
            return;
        }
    }
    loadFile(chosen);
}

void TTwpMain::loadPictureFitted(const QString& path, const FitOptions& options) {
    if (options.isDefault()) {
        loadFile(path);
        return;
    }
    const Settings s = settings();
    const FittedPicture fitted = writeFittedPicture(path, m_folder, QSize(s.WIDTH, s.HEIGHT),
                                                    options, m_pages.filesInUse(m_folder));
    if (!fitted.error.isEmpty()) {
        showMessage(fitted.error, QString());
        return;
    }
    loadFile(QDir(m_folder).filePath(fitted.name));
}

void TTwpMain::loadFile(const QString& path) {
    switch (loadFileKind(path)) {
        case LoadFileKind::Picture:
        case LoadFileKind::Live: {  // rendered by the sign view
            if (m_pages.currentPage() == 0) {
                showMessage(tr("No page is selected: click a page tab first."), QString());
                break;
            }
            m_pages.setPagePicture(path);
            showPagesAndPreview(tr("LOADFILE"));
            const QString error = m_preview->pictureError(path);
            if (!error.isEmpty()) {
                showMessage(error, QString());
            }
            break;
        }
        case LoadFileKind::Text:
            if (m_form3) {
                m_form3->Open(path);
            }
            TabClick(m_pages.currentTab());
            break;
        case LoadFileKind::Document:
            if (m_form1) {
                m_form1->setDocument(path);
                m_form1->exec();
            }
            showPagesAndPreview();
            break;
        case LoadFileKind::Spreadsheet:
            if (m_form2) {
                m_form2->setWorkbook(path);
                m_form2->exec();
            }
            showPagesAndPreview();
            break;
        case LoadFileKind::Other:
            break;
    }
}

void TTwpMain::m_EditBmpClick() {
    const Settings s = settings();
    const QString error = editPagePicture(currentPageFile(), m_folder, QSize(s.WIDTH, s.HEIGHT));
    if (!error.isEmpty()) {
        showMessage(error, QString());
    }
}

void TTwpMain::m_EditTxtClick() {
    if (!startTextEditor(m_folder)) {
        showMessage(textEditorMissingText(), QString());
    }
}

void TTwpMain::ToolButton2Click() {
    if (!m_form5) {
        return;
    }
    if (QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        m_form5->adjustSize();
        m_form5->move(area.center() - m_form5->rect().center());
    }
    m_form5->exec();
}

QString TTwpMain::currentPageFile() const {
    return m_pages.item(m_pages.currentPage()).FileName;
}

// ---- Preview -----------------------------------------------------------

QImage TTwpMain::previewShown() const {
    PreviewSurface* surface = m_stage->surface();
    m_preview->finishLoading();
    surface->grab();  // paints what is due
    return surface->shown();
}

void TTwpMain::DispPlayClick() {
    const QString error = m_preview->click();
    if (!error.isEmpty()) {
        showMessage(error, QString());
    }
}

void TTwpMain::DispPlayDblClick() {
    const QString file = currentPageFile();
    if (!file.isEmpty()) {
        openWithDefaultProgram(resolveInFolder(m_folder, file));
    }
}

void TTwpMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // The log starts a few lines high; the preview has the room.
    auto* pages = findChild<QDockWidget*>(QStringLiteral("PageOverviewDock"));
    resizeDocks({pages, m_log},
                {pages->minimumSizeHint().height(), m_log->minimumSizeHint().height()},
                Qt::Vertical);
    m_preview->relayout();
}

void TTwpMain::closeEvent(QCloseEvent* event) {
    if (!mayDropList()) {
        event->ignore();
        return;
    }
    if (m_commands->busy()) {
        m_commands->cancel();
        m_commands->waitIdle();
    }
    storeRowInBook();
    if (m_bookKept) {
        keepSignBook();
    }
    QString reason;
    if (!writeSettingsFile(m_folders.settings, settings(), &reason)) {
        showMessage(cannotSaveText(m_folders.settings, reason), QString());
    } else if (!writePortChoice(m_folders.settings, settings().PORT, &reason)) {
        showMessage(QStringLiteral("%1\n%2").arg(QString::fromLatin1(kCannotSaveParameter), reason),
                    QString());
    }
    event->accept();
}

// ---- Operator surface --------------------------------------------------

void TTwpMain::setStatus(int panel, const QString& text) {
    m_status->setText(panel, text);
}

void TTwpMain::repaintNow() {
    repaint();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TTwpMain::message(const QString& text, const QString& caption) {
    showMessage(text, caption);
}

void TTwpMain::note(const QString& text) {
    m_log->append(text);
}

void TTwpMain::preparingPage(int page, const QImage& image) {
    TabClick(page - 1);
    m_preview->showSending(image);
}

void TTwpMain::progress(int value, int maximum) {
    if (m_lineProgress) {
        return;  // the bar counts bytes once they go out
    }
    PBar->setVisible(value < maximum);
    PBar->setValue(maximum > 0
                       ? static_cast<int>(static_cast<qint64>(value) * kProgressMaximum / maximum)
                       : 0);
}
