#include "app/PagePanel.h"

#include "app/Controls.h"
#include "app/DisplayNames.h"
#include "pages/EffectCatalogue.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>

PagePanel::PagePanel(PageList& pages, QWidget* parent) : QFrame(parent), m_pages(pages) {
    setObjectName(QStringLiteral("ParameterPanel"));
    setFrameShape(QFrame::StyledPanel);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(10, 8, 10, 8);
    grid->setHorizontalSpacing(8);

    Edit2 = makeSpinner(QStringLiteral("Edit2"), PageList::kSpinnerMin, PageList::kSpinnerMax, 5);
    Edit1 = makeSpinner(QStringLiteral("Edit1"), PageList::kSpinnerMin, PageList::kSpinnerMax, 0);
    InModeList = new QComboBox;
    InModeList->setObjectName(QStringLiteral("InModeList"));
    InModeList->setMinimumContentsLength(28);
    InModeList->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    OutModeList = new QComboBox(this);
    OutModeList->setObjectName(QStringLiteral("OutModeList"));
    OutModeList->hide();
    AddModeList = new QComboBox(this);
    AddModeList->setObjectName(QStringLiteral("AddModeList"));
    AddModeList->hide();

    grid->addWidget(makeCaption(tr("DISPTIME")), 0, 0);
    grid->addWidget(Edit2, 0, 1);
    grid->addWidget(makeCaption(tr("DISPSPEED")), 0, 2);
    grid->addWidget(Edit1, 0, 3);
    grid->addWidget(makeCaption(tr("DISPMODE")), 1, 0);
    grid->addWidget(InModeList, 1, 1, 1, 3);

    AddMu = makeButton("AddMu", tr("ADDPAGE"));
    DelMu = makeButton("DelMu", tr("DELETE"));
    AddFile = makeButton("AddFile", tr("LOADFILE"));
    BitBtn1 = makeButton("BitBtn1", tr("LOADLIST"));
    grid->addWidget(AddMu, 0, 4);
    grid->addWidget(DelMu, 0, 5);
    grid->addWidget(AddFile, 1, 4);
    grid->addWidget(BitBtn1, 1, 5);
    m_newList = makeButton("NewListButton", tr("NEW LIST"));
    grid->addWidget(m_newList, 0, 6);

    Tab = new QTabBar;
    Tab->setObjectName(QStringLiteral("Tab"));
    Tab->setExpanding(false);
    Tab->setUsesScrollButtons(true);
    Tab->setDocumentMode(true);

    connect(AddMu, &QPushButton::clicked, this, &PagePanel::addClicked);
    connect(DelMu, &QPushButton::clicked, this, &PagePanel::deleteClicked);
    connect(AddFile, &QPushButton::clicked, this, &PagePanel::loadFileClicked);
    connect(BitBtn1, &QPushButton::clicked, this, &PagePanel::loadListClicked);
    connect(m_newList, &QPushButton::clicked, this, &PagePanel::newListClicked);
    connect(Tab, &QTabBar::tabBarClicked, this, &PagePanel::tabClicked);
    connect(Edit2, &QSpinBox::textChanged, this,
            [this](const QString& text) { fieldEdited(true, text); });
    connect(Edit1, &QSpinBox::textChanged, this,
            [this](const QString& text) { fieldEdited(false, text); });
    // A text that is not a number is reported when the operator leaves the
    // field, not at every key while typing.
    for (QSpinBox* field : {Edit1, Edit2}) {
        connect(field, &QSpinBox::editingFinished, this, [this] {
            if (!m_pendingFieldError.isEmpty()) {
                emit fieldRejected(std::exchange(m_pendingFieldError, QString()));
            }
        });
    }
    connect(InModeList, &QComboBox::activated, this, [this](int index) {
        m_pages.clickInMode(InModeList->itemData(index).toInt());
        emit edited(2);
    });
    connect(OutModeList, &QComboBox::activated, this, [this](int index) {
        m_pages.clickOutMode(OutModeList->itemData(index).toInt());
        emit edited(2);
    });
    connect(AddModeList, &QComboBox::activated, this, [this](int index) {
        m_pages.clickAddMode(AddModeList->itemData(index).toInt());
        emit edited(2);
    });
}

void PagePanel::fillLists() {
    m_syncing = true;
    const auto fill = [](QComboBox* list, const QStringList& texts) {
        list->clear();
        for (int code = 0; code < texts.size(); ++code) {
            list->addItem(texts[code], code);
        }
        list->setCurrentIndex(0);
    };
    QStringList effects;
    for (int code = 0; code < entryEffects().size(); ++code) {
        effects << effectName(code);
    }
    fill(InModeList, effects);
    fill(OutModeList, exitEffects());
    fill(AddModeList, addModes());
    m_syncing = false;
}

void PagePanel::fieldEdited(bool time, const QString& text) {
    if (!m_syncing) {
        m_pendingFieldError = time ? m_pages.editDispTime(text) : m_pages.editDispSpeed(text);
        emit edited(time ? 0 : 1);
    }
}

void PagePanel::showPageList() {
    m_syncing = true;
    const QStringList& captions = m_pages.tabCaptions();
    // Rebuild only what differs: a long list has 255 tabs.
    while (Tab->count() > captions.size()) {
        Tab->removeTab(Tab->count() - 1);
    }
    for (int i = 0; i < captions.size(); ++i) {
        if (i >= Tab->count()) {
            Tab->addTab(captions[i]);
        } else if (Tab->tabText(i) != captions[i]) {
            Tab->setTabText(i, captions[i]);
        }
    }
    if (m_pages.currentTab() >= 0) {
        Tab->setCurrentIndex(m_pages.currentTab());
    }
    // No tab selected (after LOADLIST): the page fields wait for a click.
    const bool editable = m_pages.currentTab() >= 0 || m_pages.scope() == Scope::All;
    for (QWidget* field : std::initializer_list<QWidget*>{Edit1, Edit2, InModeList}) {
        field->setEnabled(editable);
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
        InModeList->addItem(effectName(fields.inMode), fields.inMode);
    }
    InModeList->setCurrentIndex(InModeList->findData(fields.inMode));
    OutModeList->setCurrentIndex(OutModeList->findData(fields.outMode));
    AddModeList->setCurrentIndex(AddModeList->findData(fields.addMode));
    DelMu->setEnabled(m_pages.deleteEnabled());
    m_syncing = false;
}
