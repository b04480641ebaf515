#pragma once

#include <QImage>
#include <QWidget>

#include <functional>

// The drawing surface inside the preview frame (DispPlay): WIDTH x HEIGHT
// pixels, one screen pixel per LED. It asks for its picture at every paint,
// so a page file changed on disk shows as soon as the surface is redrawn.
class PreviewSurface : public QWidget {
    Q_OBJECT
  public:
    explicit PreviewSurface(QWidget* parent = nullptr);

    // Gives the picture to show; called at every paint.
    void setRenderer(std::function<QImage()> renderer) { m_renderer = std::move(renderer); }

    // The picture the last paint showed.
    const QImage& shown() const { return m_shown; }

  signals:
    void clicked();
    void doubleClicked();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    std::function<QImage()> m_renderer;
    QImage m_shown;
    bool m_doubleClicking = false;
};
