#include "app/MainWindow.h"

#include "app/SettingsFile.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QSpinBox* makeSpinner(const char* name, const SettingDef& def) {
    auto* spin = new QSpinBox;
    spin->setObjectName(QString::fromLatin1(name));
    spin->setRange(def.minimum, def.maximum);
    spin->setValue(def.defaultValue);
    spin->setAccelerated(true);
    return spin;
}

QCheckBox* makeFlag(const char* name, const SettingDef& def) {
    auto* box = new QCheckBox(QString::fromLatin1(def.label));
    box->setObjectName(QString::fromLatin1(name));
    box->setChecked(def.defaultValue == 1);
    return box;
}

}  // namespace

TTwpMain::TTwpMain(const QString& folder, MessageFn messageFn, QWidget* parent)
    : QMainWindow(parent), m_folder(folder), showMessage(std::move(messageFn)) {
    setObjectName(QStringLiteral("TwpMain"));
    setWindowTitle(QStringLiteral("Marquee"));
    if (!showMessage) {
        showMessage = [this](const QString& text, const QString& caption) {
            QMessageBox::information(this, caption.isEmpty() ? windowTitle() : caption, text);
        };
    }

    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    layout->addWidget(createSettingsRow());
    layout->addStretch(1);
    setCentralWidget(central);

    readSettings();
}

QWidget* TTwpMain::createSettingsRow() {
    const auto& defs = settingDefs();
    auto* group = new QGroupBox;
    group->setObjectName(QStringLiteral("SettingsRow"));
    auto* row = new QHBoxLayout(group);

    Edit3 = makeSpinner("Edit3", defs[0]);
    Edit4 = makeSpinner("Edit4", defs[1]);
    Edit5 = makeSpinner("Edit5", defs[2]);
    Edit6 = makeSpinner("Edit6", defs[3]);
    Edit7 = makeSpinner("Edit7", defs[4]);
    const std::pair<const char*, QSpinBox*> spinners[] = {{defs[0].label, Edit3},
                                                          {defs[1].label, Edit4},
                                                          {defs[2].label, Edit5},
                                                          {defs[3].label, Edit6},
                                                          {defs[4].label, Edit7}};
    for (const auto& [label, spin] : spinners) {
        row->addWidget(new QLabel(QString::fromLatin1(label)));
        row->addWidget(spin);
    }

    CheckBox1 = makeFlag("CheckBox1", defs[5]);
    CheckBox2 = makeFlag("CheckBox2", defs[6]);
    CheckBox3 = makeFlag("CheckBox3", defs[7]);
    row->addWidget(CheckBox1);
    row->addWidget(CheckBox2);
    row->addWidget(CheckBox3);

    ComboBox1 = new QComboBox;
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->addItems(typeTexts());
    ComboBox2 = new QComboBox;
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    ComboBox2->addItems(bpsTexts());
    row->addWidget(new QLabel(QStringLiteral("TYPE")));
    row->addWidget(ComboBox1, 1);
    row->addWidget(new QLabel(QStringLiteral("BPS")));
    row->addWidget(ComboBox2);
    return group;
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

void TTwpMain::readSettings() {
    Settings s = settings();
    const SettingsReadResult result = readSettingsFile(m_folder, &s);
    setSettings(s);
    if (!result.error.isEmpty()) {
        showMessage(result.error, QString());
    }
}

void TTwpMain::closeEvent(QCloseEvent* event) {
    if (!writeSettingsFile(m_folder, settings())) {
        showMessage(QString::fromLatin1(kCannotSaveParameter), QString());
    }
    event->accept();
}
