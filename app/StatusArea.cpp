#include "app/StatusArea.h"

#include <QLabel>
#include <QPushButton>
#include <QStatusBar>

namespace {

// The least widths; a panel grows past them to hold its whole text.
constexpr int kWidths[3] = {100, 200, 50};

QLabel* makePanel(const QString& name, int minimumWidth) {
    auto* label = new QLabel;
    label->setObjectName(name);
    label->setMinimumWidth(minimumWidth);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    label->setTextFormat(Qt::PlainText);
    return label;
}

}  // namespace

StatusArea::StatusArea(QStatusBar* bar) : QObject(bar) {
    for (int i = 0; i < 3; ++i) {
        m_panels[i] = makePanel(QStringLiteral("StatusPanel%1").arg(i), kWidths[i]);
        bar->addWidget(m_panels[i], i == 2 ? 1 : 0);
    }
    m_state = makePanel(QStringLiteral("CommandState"), 0);
    m_state->hide();
    m_cancel = new QPushButton(tr("Cancel"));
    m_cancel->setObjectName(QStringLiteral("CancelCommand"));
    m_cancel->setToolTip(tr("Stop the transfer at the next frame boundary"));
    m_cancel->hide();
    bar->addPermanentWidget(m_state);
    bar->addPermanentWidget(m_cancel);
    bar->setSizeGripEnabled(true);
    connect(m_cancel, &QPushButton::clicked, this, &StatusArea::cancelClicked);
}

void StatusArea::setText(int panel, const QString& text) {
    if (panel >= 0 && panel < 3) {
        m_panels[panel]->setText(text);
        m_panels[panel]->setToolTip(text);
    }
}

QString StatusArea::text(int panel) const {
    return panel >= 0 && panel < 3 ? m_panels[panel]->text() : QString();
}

void StatusArea::setCommandState(const QString& text) {
    m_state->setText(text);
    m_state->setToolTip(text);
    m_state->setVisible(!text.isEmpty());
}

QString StatusArea::commandState() const {
    return m_state->text();
}

void StatusArea::setCancelVisible(bool visible) {
    m_cancel->setVisible(visible);
    m_cancel->setEnabled(visible);
}
