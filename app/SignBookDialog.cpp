#include "app/SignBookDialog.h"

#include "app/Controls.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QJsonArray>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The columns: name, port, then the ten settings in ck.ini's order with
// BPS as its rate, then the play list and whether SEND writes the changed
// pages only.
enum Column {
    kName,
    kPort,
    kFirstSetting,
    kList = kFirstSetting + kSettingCount,
    kChangesOnly,
    kService,  // how the running sign service finds the sign (shown while one runs)
    kColumns
};

// A dot of the health's colour: green ok, amber retrying, red failing, grey
// not yet served.
QIcon healthDot(const QString& state) {
    const QColor colour = state == QLatin1String("ok")         ? QColor(0x2e, 0xa0, 0x43)
                          : state == QLatin1String("retrying") ? QColor(0xe0, 0x9a, 0x00)
                          : state == QLatin1String("failing")  ? QColor(0xc8, 0x20, 0x20)
                                                               : QColor(0x90, 0x90, 0x90);
    QPixmap dot(14, 14);
    dot.fill(Qt::transparent);
    QPainter painter(&dot);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(colour.darker(130));
    painter.setBrush(colour);
    painter.drawEllipse(1, 1, 12, 12);
    return QIcon(dot);
}

QString settingLabel(int index) {
    // Translated as the settings row shows them.
    return QCoreApplication::translate("SettingsRow", settingDefs()[size_t(index)].label);
}

}  // namespace

SignBookDialog::SignBookDialog(const SignBook& book, QWidget* parent, const QJsonObject& service)
    : QDialog(parent), m_book(book) {
    setObjectName(QStringLiteral("SignBook"));
    setWindowTitle(tr("Sign book"));
    m_table = new QTableWidget(0, kColumns);
    m_table->setObjectName(QStringLiteral("SignTable"));
    QStringList headers = {tr("name"), tr("port")};
    for (int i = 0; i < kSettingCount; ++i) {
        headers << settingLabel(i);
    }
    headers << tr("play list") << tr("changes only") << tr("sign service");
    m_table->setHorizontalHeaderLabels(headers);
    m_table->horizontalHeaderItem(kChangesOnly)
        ->setToolTip(tr("SEND writes only the pages that differ from what the controller last "
                        "acknowledged"));
    m_table->horizontalHeaderItem(kPort)->setToolTip(
        tr("A device (/dev/serial/by-id/...), tcp://HOST:PORT or "
           "rfc2217://HOST:PORT; empty: com + COMM"));
    m_table->horizontalHeaderItem(kFirstSetting + kTYPE)
        ->setToolTip(tr("The module type, 0 (T0) to 26 (T26)"));
    m_table->verticalHeader()->hide();
    for (int i = 0; i < m_book.signs.size(); ++i) {
        addRow(m_book.signs[i]);
        // What the table does not show (the schedule, the clock time) is
        // taken from the sign the row was made from, renamed or not.
        m_table->item(i, kName)->setData(Qt::UserRole, i);
    }
    showHealth(service);
    m_selected = m_table->item(m_book.selectedIndex(), kName);
    m_table->resizeColumnsToContents();
    m_table->setColumnWidth(kName, std::max(m_table->columnWidth(kName), 140));
    m_table->setColumnWidth(kPort, std::max(m_table->columnWidth(kPort), 220));
    m_table->horizontalHeader()->setSectionResizeMode(kList, QHeaderView::Stretch);

    m_problem = new QLabel;
    m_problem->setObjectName(QStringLiteral("Problem"));
    m_problem->setStyleSheet(QStringLiteral("color: #b00000"));
    m_problem->setWordWrap(true);

    QPushButton* add = makeButton("AddSign", tr("Add sign"));
    QPushButton* remove = makeButton("RemoveSign", tr("Remove sign"));
    QPushButton* ok = makeButton("OkSigns", tr("OK"));
    QPushButton* cancel = makeButton("CancelSigns", tr("Cancel"));
    ok->setDefault(true);
    connect(add, &QPushButton::clicked, this, [this] {
        Sign sign;
        sign.name = tr("Sign %1").arg(m_table->rowCount() + 1);
        addRow(sign);
        m_table->setCurrentCell(m_table->rowCount() - 1, kName);
    });
    connect(remove, &QPushButton::clicked, this, [this] {
        if (m_table->currentRow() >= 0) {
            m_table->removeRow(m_table->currentRow());
        }
    });
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(remove);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* column = new QVBoxLayout(this);
    column->addWidget(new QLabel(
        tr("Each sign: its name, the port that reaches it (a device, tcp://HOST:PORT for a raw "
           "serial server, rfc2217://HOST:PORT for one set from here; empty: com + COMM), its "
           "controller number and screen, and the play list it shows.")));
    column->itemAt(0)->widget()->setProperty("wordWrap", true);
    auto* changesOnly = new QLabel(
        tr("Changes only: SEND writes just the pages that differ from what the controller "
           "acknowledged last, which takes seconds instead of minutes. A controller that lost "
           "its memory since then (a power cut without a backup battery, another program) "
           "shows old or empty pages until a SEND of every page (Send all)."));
    changesOnly->setObjectName(QStringLiteral("ChangesOnlyNote"));
    changesOnly->setWordWrap(true);
    column->addWidget(changesOnly);
    column->addWidget(m_table, 1);
    column->addWidget(m_problem);
    column->addLayout(buttons);
    resize(1240, 360);
}

void SignBookDialog::showHealth(const QJsonObject& service) {
    m_table->setColumnHidden(kService, service.isEmpty());
    QHash<QString, QJsonObject> health;
    for (const QJsonValue& value : service.value(QStringLiteral("signs")).toArray()) {
        health.insert(value[QStringLiteral("name")].toString(), value.toObject());
    }
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const QString name = m_table->item(row, kName)->text();
        auto* item = new QTableWidgetItem;
        item->setFlags(Qt::ItemIsEnabled);
        if (health.contains(name)) {
            const QJsonObject sign = health.value(name);
            const QString state = sign.value(QStringLiteral("state")).toString();
            const QStringList texts = {tr("starting"), tr("ok"), tr("retrying"), tr("failing")};
            const int known = QStringList{"starting", "ok", "retrying", "failing"}.indexOf(state);
            item->setIcon(healthDot(state));
            item->setText(known >= 0 ? texts[known] : state);
            QString tip = tr("Shows: %1").arg(sign.value(QStringLiteral("list")).toString());
            const QString reason = sign.value(QStringLiteral("reason")).toString();
            if (!reason.isEmpty()) {
                tip += QLatin1Char('\n') + tr("Last failure: %1").arg(reason);
            }
            item->setToolTip(tip);
        } else {
            item->setText(tr("not served"));
        }
        m_table->setItem(row, kService, item);
    }
}

void SignBookDialog::addRow(const Sign& sign) {
    const int row = m_table->rowCount();
    m_table->insertRow(row);
    m_table->setItem(row, kName, new QTableWidgetItem(sign.name));
    m_table->setItem(row, kPort, new QTableWidgetItem(sign.settings.PORT));
    const auto values = settingValues(sign.settings);
    for (int i = 0; i < kSettingCount; ++i) {
        auto* item = new QTableWidgetItem;
        if (settingDefs()[size_t(i)].isFlag) {
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
            item->setCheckState(values[size_t(i)] == 1 ? Qt::Checked : Qt::Unchecked);
        } else {
            item->setText(i == kBPS ? QString::number(sign.settings.baudRate())
                                    : QString::number(values[size_t(i)]));
        }
        m_table->setItem(row, kFirstSetting + i, item);
    }
    m_table->setItem(row, kList, new QTableWidgetItem(sign.list));
    auto* changesOnly = new QTableWidgetItem;
    changesOnly->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    changesOnly->setCheckState(sign.sendChangesOnly ? Qt::Checked : Qt::Unchecked);
    m_table->setItem(row, kChangesOnly, changesOnly);
}

bool SignBookDialog::readBook(SignBook* book, QString* problem) const {
    SignBook read;
    read.selected = m_book.selected;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        Sign sign;
        auto text = [&](int column) {
            return m_table->item(row, column) ? m_table->item(row, column)->text().trimmed()
                                              : QString();
        };
        sign.name = text(kName);
        sign.settings.PORT = text(kPort);
        sign.list = text(kList);
        sign.sendChangesOnly = m_table->item(row, kChangesOnly)->checkState() == Qt::Checked;
        const QVariant origin = m_table->item(row, kName)->data(Qt::UserRole);
        if (origin.isValid()) {
            const Sign& was = m_book.signs[origin.toInt()];
            sign.schedule = was.schedule;
            sign.setClock = was.setClock;
        }
        const QString which =
            sign.name.isEmpty() ? tr("Row %1").arg(row + 1) : tr("Sign \"%1\"").arg(sign.name);
        for (int i = 0; i < kSettingCount; ++i) {
            const SettingDef& def = settingDefs()[size_t(i)];
            if (def.isFlag) {
                const bool on = m_table->item(row, kFirstSetting + i)->checkState() == Qt::Checked;
                applySettingValue(sign.settings, i, on ? 1 : 0);
                continue;
            }
            bool ok = false;
            const int value = text(kFirstSetting + i).toInt(&ok);
            if (i == kBPS) {
                sign.settings.BPS = int(bpsTexts().indexOf(QString::number(value)));
                ok = ok && sign.settings.BPS >= 0;
            } else if (ok && value >= def.minimum && value <= def.maximum) {
                applySettingValue(sign.settings, i, value);
            } else {
                ok = false;
            }
            if (!ok) {
                *problem = i == kBPS ? tr("%1: BPS must be one of %2")
                                           .arg(which, bpsTexts().join(QStringLiteral(", ")))
                                     : tr("%1: %2 must be a number from %3 to %4")
                                           .arg(which, settingLabel(i))
                                           .arg(def.minimum)
                                           .arg(def.maximum);
                return false;
            }
        }
        read.signs << sign;
    }
    *problem = checkSignBook(read);
    if (!problem->isEmpty()) {
        *problem = tr("The sign book cannot be kept: %1.").arg(*problem);
        return false;
    }
    // The selected sign keeps its selection through a new name.
    const int selectedRow = m_selected ? m_table->row(m_selected) : -1;
    read.selected = read.signs[std::max(0, selectedRow)].name;
    *book = read;
    return true;
}

void SignBookDialog::accept() {
    QString problem;
    if (!readBook(&m_book, &problem)) {
        m_problem->setText(problem);
        return;
    }
    QDialog::accept();
}
