#include "app/PreviewStage.h"

#include "app/PreviewSurface.h"

#include <QFrame>

PreviewStage::PreviewStage(QWidget* panel, QWidget* tabs, QWidget* progress, QWidget* parent)
    : QScrollArea(parent), m_panel(panel), m_tabs(tabs), m_progress(progress) {
    setObjectName(QStringLiteral("Stage"));
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(false);
    m_stage = new QWidget;
    setWidget(m_stage);

    Panel1 = new QFrame(m_stage);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setAutoFillBackground(true);
    QPalette black = Panel1->palette();
    black.setColor(QPalette::Window, Qt::black);
    Panel1->setPalette(black);
    DispPlay = new PreviewSurface(Panel1);
    for (QWidget* widget : {m_panel, m_tabs, m_progress}) {
        widget->setParent(m_stage);
    }
}

void PreviewStage::relayout(QSize screen) {
    const QSize area = viewport()->size();
    m_layout = layoutMain(area, screen, m_panel->sizeHint(), m_tabs->sizeHint().height(),
                          m_progress->sizeHint().height());
    m_stage->resize(m_layout.extent.expandedTo(area));
    Panel1->setGeometry(m_layout.frame);
    DispPlay->setGeometry(1, 1, screen.width(), screen.height());
    m_panel->setGeometry(m_layout.panel);
    m_tabs->setGeometry(m_layout.tabs);
    m_progress->setGeometry(m_layout.progress);
}
