#include "app/StatusArea.h"

#include <QLabel>
#include <QStatusBar>

namespace {

constexpr int kWidths[3] = {100, 200, 50};

}  // namespace

StatusArea::StatusArea(QStatusBar* bar) : QObject(bar) {
    for (int i = 0; i < 3; ++i) {
        m_panels[i] = new QLabel;
        m_panels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        m_panels[i]->setFixedWidth(kWidths[i]);
        m_panels[i]->setFrameShape(QFrame::Panel);
        m_panels[i]->setFrameShadow(QFrame::Sunken);
        bar->addWidget(m_panels[i]);
    }
    bar->setSizeGripEnabled(true);
}

void StatusArea::setText(int panel, const QString& text) {
    if (panel >= 0 && panel < 3) {
        m_panels[panel]->setText(text);
    }
}

QString StatusArea::text(int panel) const {
    return panel >= 0 && panel < 3 ? m_panels[panel]->text() : QString();
}
