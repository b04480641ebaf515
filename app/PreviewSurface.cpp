#include "app/PreviewSurface.h"

#include <QMouseEvent>
#include <QPainter>

PreviewSurface::PreviewSurface(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("DispPlay"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::PointingHandCursor);
    setToolTip(tr("Click: the picture at its own size. Double click: open it."));
}

void PreviewSurface::setZoom(int zoom) {
    if (zoom != m_zoom) {
        m_zoom = zoom;
        update();
    }
}

void PreviewSurface::paintEvent(QPaintEvent*) {
    if (m_renderer) {
        m_shown = m_renderer();
    }
    const qint64 key = m_shown.leds.cacheKey();
    if (key != m_viewKey || m_zoom != m_viewZoom || m_shown.style != m_viewStyle) {
        m_view = zoomView(m_shown.leds, m_zoom, m_shown.style);
        m_viewKey = key;
        m_viewZoom = m_zoom;
        m_viewStyle = m_shown.style;
    }
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    painter.drawImage(QPoint(0, 0), m_view);
}

void PreviewSurface::mouseReleaseEvent(QMouseEvent* event) {
    // The release that ends a double click is not another click.
    if (event->button() == Qt::LeftButton && !m_doubleClicking) {
        emit clicked();
    }
    m_doubleClicking = false;
}

void PreviewSurface::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_doubleClicking = true;
        emit doubleClicked();
    }
}
