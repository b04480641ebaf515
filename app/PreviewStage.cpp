#include "app/PreviewStage.h"

#include "app/PreviewSurface.h"

#include <QFrame>

#include <algorithm>

namespace {

// Fit goes no further than this: dots larger than this tell nothing more.
constexpr int kLargestFit = 32;

}  // namespace

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

void PreviewStage::relayout(QSize screen, int zoom) {
    const QSize area = viewport()->size();
    const auto place = [&](int z) {
        return layoutMain(area, screen * z, m_panel->sizeHint(), m_tabs->sizeHint().height(),
                          m_progress->sizeHint().height());
    };
    const int largest = maxZoom(screen, kLargestFit);
    m_zoom = std::clamp(zoom, 1, largest);
    if (zoom <= 0) {
        m_zoom = largest;
        while (m_zoom > 1 && (place(m_zoom).extent.width() > area.width() ||
                              place(m_zoom).extent.height() > area.height())) {
            --m_zoom;
        }
    }
    m_layout = place(m_zoom);
    m_stage->resize(m_layout.extent.expandedTo(area));
    Panel1->setGeometry(m_layout.frame);
    DispPlay->setGeometry(1, 1, screen.width() * m_zoom, screen.height() * m_zoom);
    DispPlay->setZoom(m_zoom);
    m_panel->setGeometry(m_layout.panel);
    m_tabs->setGeometry(m_layout.tabs);
    m_progress->setGeometry(m_layout.progress);
}

void PreviewStage::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    emit areaResized();
}
