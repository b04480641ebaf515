#include "app/MainWindow.h"

#include "app/DocumentImportDialog.h"
#include "app/ParameterDialog.h"
#include "app/PreviewSurface.h"
#include "app/SpreadsheetImportDialog.h"
#include "app/TextComposerDialog.h"
#include "controller/ControllerCommands.h"
#include "core/ProgramFolder.h"
#include "core/SettingsFile.h"
#include "import/PictureImport.h"
#include "pages/EffectCatalogue.h"
#include "pages/PlayListFile.h"
#include "platform/DesktopShell.h"
#include "transfer/SetupImage.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabBar>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

constexpr int kProgressMaximum = 100000;
constexpr int kStatusWidths[3] = {100, 200, 50};

QSpinBox* makeSpinner(const QString& name, int minimum, int maximum, int value) {
    auto* spin = new QSpinBox;
    spin->setObjectName(name);
    spin->setRange(minimum, maximum);
    spin->setValue(value);
    spin->setAccelerated(true);
    return spin;
}

QSpinBox* makeSetting(const char* name, const SettingDef& def) {
    QSpinBox* spin =
        makeSpinner(QString::fromLatin1(name), def.minimum, def.maximum, def.defaultValue);
    spin->setMaximumWidth(spin->fontMetrics().horizontalAdvance(QStringLiteral("20488")) + 36);
    return spin;
}

QCheckBox* makeFlag(const char* name, const SettingDef& def) {
    auto* box = new QCheckBox(QString::fromLatin1(def.label));
    box->setObjectName(QString::fromLatin1(name));
    box->setChecked(def.defaultValue == 1);
    return box;
}

QPushButton* makeButton(const char* name, const char* caption) {
    auto* button = new QPushButton(QString::fromUtf8(caption));
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

QLabel* caption(const char* text) {
    auto* label = new QLabel(QString::fromLatin1(text));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

}  // namespace

TTwpMain::TTwpMain(const QString& folder, MessageFn messageFn, QWidget* parent)
    : QMainWindow(parent),
      m_folder(folder),
      showMessage(std::move(messageFn)),
      m_link(folder, *this) {
    setObjectName(QStringLiteral("TwpMain"));
    setWindowTitle(QStringLiteral("Marquee"));
    if (!showMessage) {
        showMessage = [this](const QString& text, const QString& caption) {
            QMessageBox::information(this, caption.isEmpty() ? windowTitle() : caption, text);
        };
    }

    createToolbar();

    auto* central = new QWidget;
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(6, 6, 6, 0);
    column->addWidget(createSettingsRow());

    // The preview frame, the parameter panel, the tabs and the progress bar
    // are placed by the layout rule on a stage that scrolls when the window
    // is smaller than they need.
    m_scroll = new QScrollArea;
    m_scroll->setObjectName(QStringLiteral("Stage"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(false);
    m_stage = new QWidget;
    m_scroll->setWidget(m_stage);
    column->addWidget(m_scroll, 1);

    Panel1 = new QFrame(m_stage);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setAutoFillBackground(true);
    QPalette black = Panel1->palette();
    black.setColor(QPalette::Window, Qt::black);
    Panel1->setPalette(black);
    DispPlay = new PreviewSurface(Panel1);
    DispPlay->setRenderer([this] { return renderPreview(); });
    connect(DispPlay, &PreviewSurface::clicked, this, &TTwpMain::DispPlayClick);
    connect(DispPlay, &PreviewSurface::doubleClicked, this, &TTwpMain::DispPlayDblClick);

    m_panel = createParameterPanel();
    m_panel->setParent(m_stage);

    Tab = new QTabBar(m_stage);
    Tab->setObjectName(QStringLiteral("Tab"));
    Tab->setExpanding(false);
    Tab->setUsesScrollButtons(true);
    Tab->setDocumentMode(true);
    connect(Tab, &QTabBar::tabBarClicked, this, &TTwpMain::TabClick);

    PBar = new QProgressBar(m_stage);
    PBar->setObjectName(QStringLiteral("PBar"));
    PBar->setRange(0, kProgressMaximum);
    PBar->setValue(0);
    PBar->hide();

    setCentralWidget(central);
    createStatusBar();
    creationStep();
}

void TTwpMain::createToolbar() {
    QToolBar* bar = addToolBar(QStringLiteral("Commands"));
    bar->setObjectName(QStringLiteral("ToolBar1"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto add = [bar](const char* name, const char* text) {
        QAction* action = bar->addAction(QString::fromUtf8(text));
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    m_Send = add("m_Send", "SEND(&S)");
    m_EditTxt = add("m_EditTxt", "EDIT(&E)");
    m_EditBmp = add("m_EditBmp", "PICTURE(&P)");
    m_Help = add("m_Help", "TIME(&T)");
    m_Exit = add("m_Exit", "MODE(&M)");
    ToolButton1 = add("ToolButton1", "SAVE LIST(&L)");
    ToolButton2 = add("ToolButton2", "SETUP(&U)");
    bar->addSeparator();
    Ra1 = new QRadioButton(QStringLiteral("SINGLE"));
    Ra1->setObjectName(QStringLiteral("Ra1"));
    Ra1->setChecked(true);
    Ra2 = new QRadioButton(QStringLiteral("ALL"));
    Ra2->setObjectName(QStringLiteral("Ra2"));
    bar->addWidget(Ra1);
    bar->addWidget(Ra2);

    connect(m_Send, &QAction::triggered, this, &TTwpMain::m_SendClick);
    connect(m_Help, &QAction::triggered, this, &TTwpMain::m_HelpClick);
    connect(m_Exit, &QAction::triggered, this, &TTwpMain::m_ExitClick);
    connect(m_EditTxt, &QAction::triggered, this, &TTwpMain::m_EditTxtClick);
    connect(m_EditBmp, &QAction::triggered, this, &TTwpMain::m_EditBmpClick);
    connect(ToolButton1, &QAction::triggered, this, &TTwpMain::ToolButton1Click);
    connect(ToolButton2, &QAction::triggered, this, &TTwpMain::ToolButton2Click);
    connect(Ra2, &QRadioButton::toggled, this,
            [this](bool checked) { m_pages.chooseScope(checked ? Scope::All : Scope::Single); });
}

QWidget* TTwpMain::createSettingsRow() {
    const auto& defs = settingDefs();
    auto* group = new QGroupBox;
    group->setObjectName(QStringLiteral("SettingsRow"));
    auto* row = new QHBoxLayout(group);
    row->setContentsMargins(8, 4, 8, 4);

    Edit3 = makeSetting("Edit3", defs[0]);
    Edit4 = makeSetting("Edit4", defs[1]);
    Edit5 = makeSetting("Edit5", defs[2]);
    Edit6 = makeSetting("Edit6", defs[3]);
    Edit7 = makeSetting("Edit7", defs[4]);
    const std::pair<const char*, QSpinBox*> spinners[] = {{defs[0].label, Edit3},
                                                          {defs[1].label, Edit4},
                                                          {defs[2].label, Edit5},
                                                          {defs[3].label, Edit6},
                                                          {defs[4].label, Edit7}};
    for (const auto& [label, spin] : spinners) {
        row->addWidget(caption(label));
        row->addWidget(spin);
    }
    CheckBox1 = makeFlag("CheckBox1", defs[5]);
    CheckBox2 = makeFlag("CheckBox2", defs[6]);
    CheckBox3 = makeFlag("CheckBox3", defs[7]);
    row->addSpacing(6);
    row->addWidget(CheckBox1);
    row->addWidget(CheckBox2);
    row->addWidget(CheckBox3);

    ComboBox1 = new QComboBox;
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->addItems(typeTexts());
    // The full texts show in the open list; the closed box stays compact.
    ComboBox1->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    ComboBox1->setMinimumContentsLength(18);
    ComboBox1->setToolTip(QStringLiteral("LED module type"));
    ComboBox2 = new QComboBox;
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    ComboBox2->addItems(bpsTexts());
    row->addWidget(caption("TYPE"));
    row->addWidget(ComboBox1);
    row->addWidget(caption("BPS"));
    row->addWidget(ComboBox2);
    row->addStretch(1);

    BitBtn2 = makeButton("BitBtn2", "READ PARA");
    connect(BitBtn2, &QPushButton::clicked, this, &TTwpMain::BitBtn2Click);
    row->addWidget(BitBtn2);

    // WIDTH or HEIGHT changed: the preview frame is re-laid, pages untouched.
    for (QSpinBox* size : {Edit4, Edit5}) {
        connect(size, &QSpinBox::valueChanged, this, [this] {
            m_unscaled = false;
            relayout();
            redrawPreview();
        });
    }
    return group;
}

QWidget* TTwpMain::createParameterPanel() {
    auto* panel = new QFrame;
    panel->setObjectName(QStringLiteral("ParameterPanel"));
    panel->setFrameShape(QFrame::StyledPanel);
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(10, 8, 10, 8);
    grid->setHorizontalSpacing(8);

    Edit2 = makeSpinner(QStringLiteral("Edit2"), PageList::kSpinnerMin, PageList::kSpinnerMax, 5);
    Edit1 = makeSpinner(QStringLiteral("Edit1"), PageList::kSpinnerMin, PageList::kSpinnerMax, 0);
    InModeList = new QComboBox;
    InModeList->setObjectName(QStringLiteral("InModeList"));
    InModeList->setMinimumContentsLength(28);
    InModeList->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    OutModeList = new QComboBox(panel);
    OutModeList->setObjectName(QStringLiteral("OutModeList"));
    OutModeList->hide();
    AddModeList = new QComboBox(panel);
    AddModeList->setObjectName(QStringLiteral("AddModeList"));
    AddModeList->hide();

    grid->addWidget(caption("DISPTIME"), 0, 0);
    grid->addWidget(Edit2, 0, 1);
    grid->addWidget(caption("DISPSPEED"), 0, 2);
    grid->addWidget(Edit1, 0, 3);
    grid->addWidget(caption("DISPMODE"), 1, 0);
    grid->addWidget(InModeList, 1, 1, 1, 3);

    AddMu = makeButton("AddMu", "ADDPAGE");
    DelMu = makeButton("DelMu", "DELETE");
    AddFile = makeButton("AddFile", "LOADFILE");
    BitBtn1 = makeButton("BitBtn1", "LOADLIST");
    grid->addWidget(AddMu, 0, 4);
    grid->addWidget(DelMu, 0, 5);
    grid->addWidget(AddFile, 1, 4);
    grid->addWidget(BitBtn1, 1, 5);

    connect(AddMu, &QPushButton::clicked, this, &TTwpMain::AddMuClick);
    connect(DelMu, &QPushButton::clicked, this, &TTwpMain::DelMuClick);
    connect(AddFile, &QPushButton::clicked, this, &TTwpMain::AddFileClick);
    connect(BitBtn1, &QPushButton::clicked, this, &TTwpMain::BitBtn1Click);
    connect(Edit2, &QSpinBox::textChanged, this,
            [this](const QString& text) { fieldEdited(true, text); });
    connect(Edit1, &QSpinBox::textChanged, this,
            [this](const QString& text) { fieldEdited(false, text); });
    // A text that is not a number is reported when the operator leaves the
    // field, not at every key while typing.
    for (QSpinBox* field : {Edit1, Edit2}) {
        connect(field, &QSpinBox::editingFinished, this, [this] {
            if (!m_pendingFieldError.isEmpty()) {
                const QString text = m_pendingFieldError;
                m_pendingFieldError.clear();
                showMessage(text, QString());
            }
        });
    }
    connect(InModeList, &QComboBox::activated, this,
            [this](int index) { m_pages.clickInMode(InModeList->itemData(index).toInt()); });
    connect(OutModeList, &QComboBox::activated, this,
            [this](int index) { m_pages.clickOutMode(OutModeList->itemData(index).toInt()); });
    connect(AddModeList, &QComboBox::activated, this,
            [this](int index) { m_pages.clickAddMode(AddModeList->itemData(index).toInt()); });
    return panel;
}

void TTwpMain::createStatusBar() {
    for (int i = 0; i < 3; ++i) {
        m_statusPanels[i] = new QLabel;
        m_statusPanels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        m_statusPanels[i]->setFixedWidth(kStatusWidths[i]);
        m_statusPanels[i]->setFrameShape(QFrame::Panel);
        m_statusPanels[i]->setFrameShadow(QFrame::Sunken);
        statusBar()->addWidget(m_statusPanels[i]);
    }
    statusBar()->setSizeGripEnabled(true);
}

// The creation step, in its fixed order.
void TTwpMain::creationStep() {
    m_syncing = true;
    // 1. The entry effects, entry 0; the hidden exit effects, entry 0.
    InModeList->clear();
    const QStringList& effects = entryEffects();
    for (int code = 0; code < effects.size(); ++code) {
        InModeList->addItem(effects[code], code);
    }
    InModeList->setCurrentIndex(0);
    for (int i = 0; i < exitEffects().size(); ++i) {
        OutModeList->addItem(exitEffects()[i], i);
    }
    OutModeList->setCurrentIndex(0);
    // 2.-4. One page, tab 0; the add modes, entry 0; all 256 slots.
    AddModeList->clear();
    for (int i = 0; i < addModes().size(); ++i) {
        AddModeList->addItem(addModes()[i], i);
    }
    AddModeList->setCurrentIndex(0);
    m_pages.initialise();
    m_syncing = false;
    showPageList();
    // 5.-7. The program folder is the current folder; read ck.ini there.
    QDir::setCurrent(m_folder);
    Settings s = settings();
    const SettingsReadResult result = readSettingsFile(m_folder, &s);
    setSettings(s);
    if (!result.error.isEmpty()) {
        showMessage(result.error, QString());
    }
}

void TTwpMain::attachDialogs(TForm1* form1, TForm2* form2, TForm3* form3, TForm5* form5) {
    m_form1 = form1;
    m_form2 = form2;
    m_form3 = form3;
    m_form5 = form5;
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
    if (m_form5) {
        connect(m_form5, &TForm5::saveRequested, this, &TTwpMain::saveParameters);
        connect(m_form5, &TForm5::readRequested, this, &TTwpMain::BitBtn2Click);
        connect(m_form5, &TForm5::downloadRequested, this, &TTwpMain::downloadSetupImage);
    }
}

Settings TTwpMain::settings() const {
    Settings s;
    s.NUM = Edit3->value();
    s.WIDTH = Edit4->value();
    s.HEIGHT = Edit5->value();
    s.COMM = Edit6->value();
    s.SCAN = Edit7->value();
    s.RG_SWAP = CheckBox1->isChecked();
    s.COLOR_SWAP = CheckBox2->isChecked();
    s.ADJUST = CheckBox3->isChecked();
    s.TYPE = ComboBox1->currentIndex();
    s.BPS = ComboBox2->currentIndex();
    return s;
}

void TTwpMain::setSettings(const Settings& s) {
    Edit3->setValue(s.NUM);
    Edit4->setValue(s.WIDTH);
    Edit5->setValue(s.HEIGHT);
    Edit6->setValue(s.COMM);
    Edit7->setValue(s.SCAN);
    CheckBox1->setChecked(s.RG_SWAP);
    CheckBox2->setChecked(s.COLOR_SWAP);
    CheckBox3->setChecked(s.ADJUST);
    ComboBox1->setCurrentIndex(s.TYPE);
    ComboBox2->setCurrentIndex(s.BPS);
}

// ---- Page list ---------------------------------------------------------

void TTwpMain::showPageList() {
    m_syncing = true;
    const QStringList& captions = m_pages.tabCaptions();
    // Rebuild only what differs: a long list has 255 tabs.
    while (Tab->count() > captions.size()) {
        Tab->removeTab(Tab->count() - 1);
    }
    for (int i = 0; i < captions.size(); ++i) {
        if (i < Tab->count()) {
            if (Tab->tabText(i) != captions[i]) {
                Tab->setTabText(i, captions[i]);
            }
        } else {
            Tab->addTab(captions[i]);
        }
    }
    if (m_pages.currentTab() >= 0) {
        Tab->setCurrentIndex(m_pages.currentTab());
    }
    // No tab selected (after LOADLIST): the page fields wait for a click.
    const bool pageSelected = m_pages.currentTab() >= 0;
    for (QWidget* field : {static_cast<QWidget*>(Edit1), static_cast<QWidget*>(Edit2),
                           static_cast<QWidget*>(InModeList)}) {
        field->setEnabled(pageSelected || m_pages.scope() == Scope::All);
    }

    const PanelFields& fields = m_pages.fields();
    if (Edit2->text() != fields.dispTimeText) {
        Edit2->setValue(fields.dispTimePosition);
    }
    if (Edit1->text() != fields.dispSpeedText) {
        Edit1->setValue(fields.dispSpeedPosition);
    }
    // A code the list lacks shows as a marked entry of its own.
    const int known = static_cast<int>(entryEffects().size());
    if (InModeList->count() > known) {
        InModeList->removeItem(known);
    }
    if (fields.inMode >= known || fields.inMode < 0) {
        InModeList->addItem(unknownCodeText(fields.inMode), fields.inMode);
    }
    InModeList->setCurrentIndex(InModeList->findData(fields.inMode));
    OutModeList->setCurrentIndex(OutModeList->findData(fields.outMode));
    AddModeList->setCurrentIndex(AddModeList->findData(fields.addMode));
    DelMu->setEnabled(m_pages.deleteEnabled());
    m_syncing = false;
}

void TTwpMain::showPagesAndPreview() {
    showPageList();
    m_unscaled = false;
    redrawPreview();
}

void TTwpMain::fieldEdited(bool time, const QString& text) {
    if (m_syncing) {
        return;
    }
    const QString error = time ? m_pages.editDispTime(text) : m_pages.editDispSpeed(text);
    m_pendingFieldError = error;
}

void TTwpMain::AddMuClick() {
    const QString error = m_pages.addPage();
    showPagesAndPreview();
    if (!error.isEmpty()) {
        showMessage(error, QString());
    }
}

void TTwpMain::DelMuClick() {
    m_pages.deletePage();
    showPagesAndPreview();
}

void TTwpMain::TabClick(int tab) {
    if (tab < 0) {
        return;
    }
    m_pages.selectTab(tab);
    showPagesAndPreview();
}

void TTwpMain::ToolButton1Click() {
    const QString chosen =
        QFileDialog::getSaveFileName(this, QStringLiteral("SAVE LIST"),
                                     QDir(m_folder).filePath(QString::fromLatin1(kDefaultListName)),
                                     QStringLiteral("LIST (*.lis)"));
    if (!chosen.isEmpty()) {
        saveListTo(chosen);
    }
}

void TTwpMain::saveListTo(const QString& path) {
    const QString error = savePlayList(path, m_pages);
    if (!error.isEmpty()) {
        showMessage(error, QString());
    }
}

void TTwpMain::BitBtn1Click() {
    const QString chosen = QFileDialog::getOpenFileName(this, QStringLiteral("LOADLIST"), m_folder,
                                                        QStringLiteral("LIST (*.lis)"));
    if (!chosen.isEmpty()) {
        loadListFrom(chosen);
    }
}

void TTwpMain::loadListFrom(const QString& path) {
    const LoadListOutcome outcome = loadPlayList(path, &m_pages);
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

// ---- Pictures ----------------------------------------------------------

void TTwpMain::AddFileClick() {
    const QString chosen =
        QFileDialog::getOpenFileName(this, QStringLiteral("LOADFILE"), m_folder, loadFileFilter());
    if (!chosen.isEmpty()) {
        loadFile(chosen);
    }
}

void TTwpMain::loadFile(const QString& path) {
    switch (loadFileKind(path)) {
        case LoadFileKind::Picture: {
            if (m_pages.currentPage() == 0) {
                showMessage(QStringLiteral("No page is selected: click a page tab first."),
                            QString());
                break;
            }
            m_pages.setPagePicture(path);
            m_unscaled = false;
            const PictureLoad picture =
                m_pictures.load(resolveInFolder(m_folder, path), DispPlay->size());
            redrawPreview();
            if (!picture.error.isEmpty()) {
                showMessage(picture.error, QString());
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

void TTwpMain::m_SendClick() {
    QDir::setCurrent(m_folder);
    sendPages(m_link, *this, settings(), m_pages, m_folder);
    m_sendingPage = QImage();
    redrawPreview();
}

void TTwpMain::m_HelpClick() {
    setClock(m_link, *this, settings(), QDateTime());
}

void TTwpMain::m_ExitClick() {
    sendPlayModes(m_link, *this, settings(), m_pages);
}

void TTwpMain::BitBtn2Click() {
    const ReadParaResult result = readParameters(m_link, *this, settings());
    if (!result.received) {
        return;
    }
    if (m_form5) {
        m_form5->clearGeometry();
    }
    if (result.apply) {
        setSettings(result.settings);
        if (m_form5) {
            m_form5->showParameters(result.parameters);
        }
    }
}

void TTwpMain::saveParameters() {
    if (!m_form5) {
        return;
    }
    const ExchangeResult result =
        ::saveParameters(m_link, *this, settings(), m_form5->parameters());
    if (result.stage != ExchangeResult::Stage::PortError) {
        setSettings(settingsAfterSave(settings(), m_form5->parameters()));
    }
}

void TTwpMain::downloadSetupImage() {
    if (!m_form5) {
        return;
    }
    QDir::setCurrent(m_folder);
    const int type = m_form5->downloadType();
    const SetupImage setup = loadSetupImage(m_folder, type);
    if (!setup.error.isEmpty()) {
        showMessage(setup.error, QString());
        return;
    }
    const ExchangeResult result = downloadSetup(m_link, *this, settings(), setup.image);
    if (result.stage == ExchangeResult::Stage::PortError) {
        return;
    }
    m_form5->showParameters(defaultParameters(type));
    setSettings(settingsAfterDownload(settings(), type));
}

void TTwpMain::m_EditBmpClick() {
    const Settings s = settings();
    const QString error = editPagePicture(currentPageFile(), m_folder, QSize(s.WIDTH, s.HEIGHT));
    if (!error.isEmpty()) {
        showMessage(error, QString());
    }
}

void TTwpMain::m_EditTxtClick() {
    startTextEditor(m_folder);
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

QImage TTwpMain::renderPreview() {
    const QSize screen(Edit4->value(), Edit5->value());
    if (!m_sendingPage.isNull()) {
        return m_sendingPage;
    }
    const QString file = currentPageFile();
    if (file.isEmpty()) {
        return previewImage(nullptr, screen);
    }
    const PictureLoad picture = m_pictures.load(resolveInFolder(m_folder, file), screen);
    return previewImage(&picture, screen, m_unscaled);
}

QImage TTwpMain::previewShown() const {
    return DispPlay->grab().toImage();
}

void TTwpMain::redrawPreview() {
    DispPlay->update();
}

void TTwpMain::DispPlayClick() {
    const QString file = currentPageFile();
    if (file.isEmpty()) {
        return;
    }
    const PictureLoad picture = m_pictures.load(resolveInFolder(m_folder, file), DispPlay->size());
    if (!picture.error.isEmpty()) {
        showMessage(picture.error, QString());
        return;
    }
    m_unscaled = !m_unscaled;
    redrawPreview();
}

void TTwpMain::DispPlayDblClick() {
    const QString file = currentPageFile();
    if (!file.isEmpty()) {
        openWithDefaultProgram(resolveInFolder(m_folder, file));
    }
}

void TTwpMain::relayout() {
    const QSize screen(Edit4->value(), Edit5->value());
    const QSize area = m_scroll->viewport()->size();
    m_layout = layoutMain(area, screen, m_panel->sizeHint(), Tab->sizeHint().height(),
                          PBar->sizeHint().height());
    m_stage->resize(m_layout.extent.expandedTo(area));
    Panel1->setGeometry(m_layout.frame);
    DispPlay->setGeometry(1, 1, screen.width(), screen.height());
    m_panel->setGeometry(m_layout.panel);
    Tab->setGeometry(m_layout.tabs);
    PBar->setGeometry(m_layout.progress);
}

void TTwpMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    relayout();
    redrawPreview();
}

void TTwpMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    relayout();
}

void TTwpMain::closeEvent(QCloseEvent* event) {
    if (!writeSettingsFile(m_folder, settings())) {
        showMessage(QString::fromLatin1(kCannotSaveParameter), QString());
    }
    event->accept();
}

// ---- Operator surface --------------------------------------------------

void TTwpMain::setStatus(int panel, const QString& text) {
    if (panel >= 0 && panel < 3) {
        m_statusPanels[panel]->setText(text);
    }
}

void TTwpMain::repaintNow() {
    repaint();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TTwpMain::message(const QString& text, const QString& caption) {
    showMessage(text, caption);
}

void TTwpMain::preparingPage(int page, const QImage& image) {
    TabClick(page - 1);
    m_sendingPage = image;
    DispPlay->repaint();
}

void TTwpMain::progress(int value, int maximum) {
    PBar->setVisible(value < maximum);
    PBar->setValue(maximum > 0
                       ? static_cast<int>(static_cast<qint64>(value) * kProgressMaximum / maximum)
                       : 0);
}
