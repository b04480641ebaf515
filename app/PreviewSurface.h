#pragma once

#include "transfer/SignView.h"

#include <QImage>
#include <QWidget>

#include <functional>

// What the surface shows: WIDTH x HEIGHT pixels, one a LED, and how a
// zoomed view draws each of them.
struct SurfacePicture {
    QImage leds;
    ViewStyle style = ViewStyle::Squares;
};

// The drawing surface inside the preview frame (DispPlay): WIDTH x HEIGHT
// LEDs at the zoom, zoom x zoom screen pixels each. It asks for its picture
// at every paint, so a page file changed on disk shows as soon as the
// surface is redrawn.
class PreviewSurface : public QWidget {
    Q_OBJECT
  public:
    explicit PreviewSurface(QWidget* parent = nullptr);

    // Gives the picture to show; called at every paint.
    void setRenderer(std::function<SurfacePicture()> renderer) { m_renderer = std::move(renderer); }
    void setZoom(int zoom);
    int zoom() const { return m_zoom; }

    // The picture the last paint showed, one pixel a LED.
    const QImage& shown() const { return m_shown.leds; }

  signals:
    void clicked();
    void doubleClicked();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    std::function<SurfacePicture()> m_renderer;
    SurfacePicture m_shown;
    int m_zoom = 1;
    // The zoomed view of the last picture, kept while neither changes.
    QImage m_view;
    qint64 m_viewKey = 0;
    int m_viewZoom = 0;
    ViewStyle m_viewStyle = ViewStyle::Squares;
    bool m_doubleClicking = false;
};
