#include "app/ParameterDialog.h"

#include "app/DisplayNames.h"

#include "core/Settings.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

// A spinner with the range of a field of the parameter block.
QSpinBox* spin(const char* name, qint64 ControllerParameters::*member) {
    const ParameterField& field = parameterField(member);
    auto* box = new QSpinBox;
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(static_cast<int>(field.minimum), static_cast<int>(field.maximum));
    box->setValue(static_cast<int>(ControllerParameters().*member));
    return box;
}

QCheckBox* check(const char* name, const QString& text, bool on) {
    auto* box = new QCheckBox(text);
    box->setObjectName(QString::fromLatin1(name));
    box->setChecked(on);
    return box;
}

QComboBox* list(const char* name, const QStringList& items, int index) {
    auto* box = new QComboBox;
    box->setObjectName(QString::fromLatin1(name));
    box->addItems(items);
    box->setCurrentIndex(index);
    return box;
}

QLabel* label(const char* text) {
    return new QLabel(QCoreApplication::translate("TForm5", text));
}

// "hour : minute" in one row.
QWidget* timeRow(QSpinBox* hour, QSpinBox* minute) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(hour);
    layout->addWidget(new QLabel(QStringLiteral(":")));
    layout->addWidget(minute);
    layout->addStretch(1);
    return row;
}

}  // namespace

TForm5::TForm5(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TForm5"));
    setWindowTitle(tr("High class constitution"));
    setModal(true);

    using P = ControllerParameters;
    Edit3 = spin("Edit3", &P::num);
    Edit4 = spin("Edit4", &P::width);
    Edit5 = spin("Edit5", &P::height);
    ComboBox2 = list("ComboBox2", clockTexts(), clockTexts().indexOf(QStringLiteral("18432000")));
    ComboBox3 = list("ComboBox3", parameterBpsTexts(), 0);
    // Changed only by "read parameter" and by the reset after a download.
    ComboBox2->setEnabled(false);
    ComboBox3->setEnabled(false);
    Edit7 = spin("Edit7", &P::scanMode);
    Edit1 = spin("Edit1", &P::scanFrequency);
    SpinEdit1 = spin("SpinEdit1", &P::light);
    Label10 = new QLabel;
    Label10->setObjectName(QStringLiteral("Label10"));
    Label10->setObjectName(QStringLiteral("Label10"));
    CheckBox8 = check("CheckBox8", tr("8 bit swap"), false);
    CheckBox2 = check("CheckBox2", tr("data com"), true);
    CheckBox1 = check("CheckBox1", tr("oe com"), true);
    ComboBox4 = list("ComboBox4", translateTexts(), 0);
    CheckBox3 = check("CheckBox3", tr("Auto switch"), false);
    CheckBox5 = check("CheckBox5", tr("Saturday shut down"), false);
    CheckBox6 = check("CheckBox6", tr("Sunday shut down"), false);
    CheckBox4 = check("CheckBox4", tr("自动关机"), false);
    CheckBox4->hide();
    SpinEdit2 = spin("SpinEdit2", &P::onHour);
    SpinEdit3 = spin("SpinEdit3", &P::onMinute);
    SpinEdit4 = spin("SpinEdit4", &P::onSecond);
    SpinEdit5 = spin("SpinEdit5", &P::offHour);
    SpinEdit6 = spin("SpinEdit6", &P::offMinute);
    SpinEdit7 = spin("SpinEdit7", &P::offSecond);
    // Hidden and in no layout: owned by the dialog all the same.
    SpinEdit4->setParent(this);
    SpinEdit7->setParent(this);
    SpinEdit4->hide();
    SpinEdit7->hide();
    CheckBox7 = check("CheckBox7", tr("English format"), false);
    QStringList types;
    for (int type = 0; type < typeTexts().size(); ++type) {
        types << moduleTypeName(type);
    }
    ComboBox1 = list("ComboBox1", types, 0);
    Button1 = new QPushButton(tr("save parameter"));
    Button1->setObjectName(QStringLiteral("Button1"));
    Button4 = new QPushButton(tr("read parameter"));
    Button4->setObjectName(QStringLiteral("Button4"));
    Button3 = new QPushButton(tr("Download"));
    Button3->setObjectName(QStringLiteral("Button3"));

    GroupBox1 = new QGroupBox(tr("Parameter"));
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto* grid = new QGridLayout(GroupBox1);
    int row = 0;
    auto add = [&](const char* text, QWidget* left, const char* text2, QWidget* right) {
        grid->addWidget(label(text), row, 0);
        grid->addWidget(left, row, 1);
        if (right) {
            grid->addWidget(label(text2), row, 2);
            grid->addWidget(right, row, 3);
        }
        ++row;
    };
    add(QT_TRANSLATE_NOOP("TForm5", "num"), Edit3, QT_TRANSLATE_NOOP("TForm5", "clock"), ComboBox2);
    add(QT_TRANSLATE_NOOP("TForm5", "width"), Edit4, QT_TRANSLATE_NOOP("TForm5", "bps"), ComboBox3);
    add(QT_TRANSLATE_NOOP("TForm5", "high"), Edit5, QT_TRANSLATE_NOOP("TForm5", "Translate"),
        ComboBox4);
    add(QT_TRANSLATE_NOOP("TForm5", "scan mode"), Edit7,
        QT_TRANSLATE_NOOP("TForm5", "Scan frequency"), Edit1);
    auto* lightRow = new QWidget;
    auto* lightLayout = new QHBoxLayout(lightRow);
    lightLayout->setContentsMargins(0, 0, 0, 0);
    lightLayout->addWidget(SpinEdit1);
    lightLayout->addWidget(Label10);
    add(QT_TRANSLATE_NOOP("TForm5", "light"), lightRow, "", nullptr);
    grid->addWidget(CheckBox8, row, 0, 1, 2);
    grid->addWidget(CheckBox3, row++, 2, 1, 2);
    grid->addWidget(CheckBox2, row, 0, 1, 2);
    grid->addWidget(CheckBox5, row++, 2, 1, 2);
    grid->addWidget(CheckBox1, row, 0, 1, 2);
    grid->addWidget(CheckBox6, row++, 2, 1, 2);
    add(QT_TRANSLATE_NOOP("TForm5", "on"), timeRow(SpinEdit2, SpinEdit3),
        QT_TRANSLATE_NOOP("TForm5", "off"), timeRow(SpinEdit5, SpinEdit6));
    grid->addWidget(CheckBox7, row, 0, 1, 2);
    grid->addWidget(CheckBox4, row++, 2, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button4);
    grid->addLayout(buttons, row++, 0, 1, 4);

    GroupBox2 = new QGroupBox(tr("Download setup"));
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    auto* download = new QHBoxLayout(GroupBox2);
    download->addWidget(label(QT_TRANSLATE_NOOP("TForm5", "Type:")));
    download->addWidget(ComboBox1, 1);
    download->addWidget(Button3);

    auto* column = new QVBoxLayout(this);
    column->addWidget(GroupBox1);
    column->addWidget(GroupBox2);

    // A change of clock, scan mode or scan frequency sets light to the maximum.
    const auto timingChanged = [this] {
        m_lightFromController = false;
        recomputeLight();
    };
    connect(ComboBox2, &QComboBox::currentIndexChanged, this, timingChanged);
    connect(Edit7, &QSpinBox::textChanged, this, timingChanged);
    connect(Edit1, &QSpinBox::textChanged, this, timingChanged);
    connect(ComboBox1, &QComboBox::activated, this, &TForm5::typeChanged);
    connect(Button1, &QPushButton::clicked, this, &TForm5::saveRequested);
    connect(Button4, &QPushButton::clicked, this, &TForm5::readRequested);
    connect(Button3, &QPushButton::clicked, this, &TForm5::downloadRequested);
    recomputeLight();
    updateLock();
}

ControllerParameters TForm5::parameters() const {
    ControllerParameters p;
    p.num = Edit3->value();
    p.type = ComboBox1->currentIndex();
    p.width = Edit4->value();
    p.height = Edit5->value();
    p.clock = ComboBox2->currentText().toLongLong();
    p.bps = ComboBox3->currentText().toLongLong();
    p.scanMode = Edit7->value();
    p.scanFrequency = Edit1->value();
    p.bitSwap8 = CheckBox8->isChecked();
    p.light = SpinEdit1->value();
    p.dataCom = CheckBox2->isChecked();
    p.oeCom = CheckBox1->isChecked();
    p.autoSwitch = CheckBox3->isChecked();
    p.translate = ComboBox4->currentIndex();
    p.saturdayOff = CheckBox5->isChecked();
    p.sundayOff = CheckBox6->isChecked();
    p.onHour = SpinEdit2->value();
    p.onMinute = SpinEdit3->value();
    p.onSecond = SpinEdit4->value();
    p.offHour = SpinEdit5->value();
    p.offMinute = SpinEdit6->value();
    p.offSecond = SpinEdit7->value();
    p.english = CheckBox7->isChecked();
    return p;
}

void TForm5::showParameters(const ControllerParameters& p, bool fromController) {
    const auto set = [](QSpinBox* box, qint64 value) { box->setValue(static_cast<int>(value)); };
    set(Edit3, p.num);
    if (p.type >= 0 && p.type < ComboBox1->count()) {
        ComboBox1->setCurrentIndex(static_cast<int>(p.type));
    }
    set(Edit4, p.width);
    set(Edit5, p.height);
    // A rate that is not in a list keeps the list's choice.
    const int clock = clockTexts().indexOf(QString::number(p.clock));
    if (clock >= 0) {
        ComboBox2->setCurrentIndex(clock);
    }
    const int bps = parameterBpsTexts().indexOf(QString::number(p.bps));
    if (bps >= 0) {
        ComboBox3->setCurrentIndex(bps);
    }
    set(Edit7, p.scanMode);
    set(Edit1, p.scanFrequency);
    CheckBox8->setChecked(p.bitSwap8 != 0);
    set(SpinEdit1, p.light);
    CheckBox2->setChecked(p.dataCom != 0);
    CheckBox1->setChecked(p.oeCom != 0);
    CheckBox3->setChecked(p.autoSwitch != 0);
    if (p.translate >= 0 && p.translate < ComboBox4->count()) {
        ComboBox4->setCurrentIndex(static_cast<int>(p.translate));
    }
    CheckBox5->setChecked(p.saturdayOff != 0);
    CheckBox6->setChecked(p.sundayOff != 0);
    set(SpinEdit2, p.onHour);
    set(SpinEdit3, p.onMinute);
    set(SpinEdit4, p.onSecond);
    set(SpinEdit5, p.offHour);
    set(SpinEdit6, p.offMinute);
    set(SpinEdit7, p.offSecond);
    CheckBox7->setChecked(p.english != 0);
    m_lightFromController = fromController;
}

void TForm5::clearGeometry() {
    Edit3->setValue(0);
    Edit4->setValue(0);
    Edit5->setValue(0);
}

int TForm5::downloadType() const {
    return ComboBox1->currentIndex();
}

bool TForm5::unlocked() const {
    return m_unlocked;
}

void TForm5::recomputeLight(bool keepLight) {
    // While a field holds no number (the operator is typing), or the
    // product is not positive, there is no maximum: light keeps its value.
    bool clockOk = false;
    bool scanOk = false;
    bool frequencyOk = false;
    const qint64 clock = ComboBox2->currentText().toLongLong(&clockOk);
    const int scan = Edit7->text().toInt(&scanOk);
    const int frequency = Edit1->text().toInt(&frequencyOk);
    if (!clockOk || !scanOk || !frequencyOk || static_cast<qint64>(scan) * frequency <= 0) {
        Label10->setText(tr("(max-)"));
        return;
    }
    const int maximum = lightMaximum(clock, scan, frequency);
    Label10->setText(tr("(max%1)").arg(maximum));
    if (!keepLight) {
        SpinEdit1->setValue(maximum);
    }
}

void TForm5::typeChanged(int type) {
    if (const std::optional<int> scan = scanModeForChosenType(type)) {
        Edit7->setValue(*scan);
    }
}

void TForm5::updateLock() {
    // Once open, the groups stay open for the whole run.
    m_unlocked = m_unlocked || m_accessCode.granted();
    GroupBox1->setEnabled(m_unlocked && !m_commandRunning);
    GroupBox2->setEnabled(m_unlocked && !m_commandRunning);
}

void TForm5::setCommandRunning(bool running) {
    m_commandRunning = running;
    updateLock();
}

void TForm5::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QScreen* screen = this->screen()) {
        const QRect area = screen->geometry();
        move((area.width() - width()) / 2, (area.height() - height()) / 2);
    }
    // Light read from the controller stays; the label still shows the maximum.
    recomputeLight(m_lightFromController);
    // Every key typed in the dialog feeds the access code first.
    qApp->installEventFilter(this);
}

void TForm5::hideEvent(QHideEvent* event) {
    qApp->removeEventFilter(this);
    QDialog::hideEvent(event);
}

bool TForm5::eventFilter(QObject* watched, QEvent* event) {
    // A key press travels up from the control it was typed in to its
    // parents as one event: count it once, at the first sight.
    if (event->type() == QEvent::KeyRelease) {
        m_lastKey = nullptr;
    } else if (event->type() == QEvent::KeyPress && event != m_lastKey) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && (widget == this || isAncestorOf(widget))) {
            m_lastKey = event;
            const QString text = static_cast<QKeyEvent*>(event)->text();
            for (QChar c : text) {
                m_accessCode.feed(c);
            }
            updateLock();
        }
    }
    return QDialog::eventFilter(watched, event);
}
