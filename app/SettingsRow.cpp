#include "app/SettingsRow.h"

#include "app/Controls.h"
#include "app/DisplayNames.h"
#include "app/PortChooser.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

namespace {

QSpinBox* makeSetting(const char* name, const SettingDef& def) {
    QSpinBox* spin =
        makeSpinner(QString::fromLatin1(name), def.minimum, def.maximum, def.defaultValue);
    spin->setMaximumWidth(spin->fontMetrics().horizontalAdvance(QStringLiteral("20488")) + 36);
    return spin;
}

// The settings' labels as the row shows them, translated.
[[maybe_unused]] const char* const kLabels[] = {
    QT_TRANSLATE_NOOP("SettingsRow", "NUM"),        QT_TRANSLATE_NOOP("SettingsRow", "WIDTH"),
    QT_TRANSLATE_NOOP("SettingsRow", "HEIGHT"),     QT_TRANSLATE_NOOP("SettingsRow", "COMM"),
    QT_TRANSLATE_NOOP("SettingsRow", "SCAN"),       QT_TRANSLATE_NOOP("SettingsRow", "RG-SWAP"),
    QT_TRANSLATE_NOOP("SettingsRow", "COLOR-SWAP"), QT_TRANSLATE_NOOP("SettingsRow", "ADJUST"),
};

QCheckBox* makeFlag(const char* name, const SettingDef& def) {
    auto* box = new QCheckBox(QCoreApplication::translate("SettingsRow", def.label));
    box->setObjectName(QString::fromLatin1(name));
    box->setChecked(def.defaultValue == 1);
    return box;
}

}  // namespace

SettingsRow::SettingsRow(QWidget* parent) : QGroupBox(parent) {
    setObjectName(QStringLiteral("SettingsRow"));
    const auto& defs = settingDefs();
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 4, 8, 4);

    Edit3 = makeSetting("Edit3", defs[kNUM]);
    Edit4 = makeSetting("Edit4", defs[kWIDTH]);
    Edit5 = makeSetting("Edit5", defs[kHEIGHT]);
    Edit6 = makeSetting("Edit6", defs[kCOMM]);
    Edit7 = makeSetting("Edit7", defs[kSCAN]);
    int index = kNUM;
    for (QSpinBox* spin : {Edit3, Edit4, Edit5, Edit6, Edit7}) {
        row->addWidget(makeCaption(tr(defs[static_cast<size_t>(index++)].label)));
        row->addWidget(spin);
    }
    // Shown where there is room for its descriptions: the window places it.
    m_port = new PortChooser(this);
    // COMM counts only while no port is chosen by its path.
    connect(m_port, &PortChooser::portChosen, this, [this] {
        Edit6->setEnabled(m_port->port().isEmpty());
        emit portChosen();
    });
    CheckBox1 = makeFlag("CheckBox1", defs[kRG_SWAP]);
    CheckBox2 = makeFlag("CheckBox2", defs[kCOLOR_SWAP]);
    CheckBox3 = makeFlag("CheckBox3", defs[kADJUST]);
    row->addSpacing(6);
    row->addWidget(CheckBox1);
    row->addWidget(CheckBox2);
    row->addWidget(CheckBox3);

    ComboBox1 = new QComboBox;
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    for (int type = 0; type < typeTexts().size(); ++type) {
        ComboBox1->addItem(moduleTypeName(type));
    }
    // The full texts show in the open list; the closed box stays compact.
    ComboBox1->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    ComboBox1->setMinimumContentsLength(18);
    ComboBox1->setToolTip(tr("LED module type"));
    ComboBox2 = new QComboBox;
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    ComboBox2->addItems(bpsTexts());
    row->addWidget(makeCaption(tr("TYPE")));
    row->addWidget(ComboBox1);
    row->addWidget(makeCaption(tr("BPS")));
    row->addWidget(ComboBox2);
    row->addStretch(1);

    BitBtn2 = makeButton("BitBtn2", tr("READ PARA"));
    connect(BitBtn2, &QPushButton::clicked, this, [this] {
        if (BitBtn2->isEnabled()) {
            emit readParaClicked();
        }
    });
    row->addWidget(BitBtn2);

    for (QSpinBox* size : {Edit4, Edit5}) {
        connect(size, &QSpinBox::valueChanged, this, &SettingsRow::screenSizeChanged);
    }
    for (QCheckBox* box : {CheckBox1, CheckBox2, CheckBox3}) {
        connect(box, &QCheckBox::toggled, this, &SettingsRow::signChanged);
    }
    connect(ComboBox1, &QComboBox::currentIndexChanged, this, &SettingsRow::signChanged);
    for (QSpinBox* spin : {Edit3, Edit4, Edit5, Edit6, Edit7}) {
        connect(spin, &QSpinBox::valueChanged, this, &SettingsRow::changed);
    }
    for (QCheckBox* box : {CheckBox1, CheckBox2, CheckBox3}) {
        connect(box, &QCheckBox::toggled, this, &SettingsRow::changed);
    }
    for (QComboBox* list : {ComboBox1, ComboBox2}) {
        connect(list, &QComboBox::currentIndexChanged, this, &SettingsRow::changed);
    }
}

Settings SettingsRow::settings() const {
    Settings s;
    s.NUM = Edit3->value();
    s.WIDTH = Edit4->value();
    s.HEIGHT = Edit5->value();
    s.COMM = Edit6->value();
    s.PORT = m_port->port();
    s.SCAN = Edit7->value();
    s.RG_SWAP = CheckBox1->isChecked();
    s.COLOR_SWAP = CheckBox2->isChecked();
    s.ADJUST = CheckBox3->isChecked();
    s.TYPE = ComboBox1->currentIndex();
    s.BPS = ComboBox2->currentIndex();
    return s;
}

void SettingsRow::setSettings(const Settings& s) {
    Edit3->setValue(s.NUM);
    Edit4->setValue(s.WIDTH);
    Edit5->setValue(s.HEIGHT);
    Edit6->setValue(s.COMM);
    m_port->setPort(s.PORT);
    Edit6->setEnabled(s.PORT.isEmpty());
    Edit7->setValue(s.SCAN);
    CheckBox1->setChecked(s.RG_SWAP);
    CheckBox2->setChecked(s.COLOR_SWAP);
    CheckBox3->setChecked(s.ADJUST);
    ComboBox1->setCurrentIndex(s.TYPE);
    ComboBox2->setCurrentIndex(s.BPS);
}

void SettingsRow::setReadParaEnabled(bool enabled) {
    BitBtn2->setEnabled(enabled);
}
