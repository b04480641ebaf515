#pragma once

#include "app/Layout.h"

#include <QScrollArea>

class QFrame;
class PreviewSurface;

// The middle of the main window: the black preview frame with the drawing
// surface inside (the frame is the sign's size at the zoom plus a one-pixel
// border), and below it the parameter panel, the tab strip and the
// progress bar, all placed by the layout rule. The stage scrolls when the
// window is smaller than they need.
class PreviewStage : public QScrollArea {
    Q_OBJECT
  public:
    // panel, tabs and progress are placed on the stage below the frame.
    PreviewStage(QWidget* panel, QWidget* tabs, QWidget* progress, QWidget* parent = nullptr);

    PreviewSurface* surface() const { return DispPlay; }
    const MainLayout& currentLayout() const { return m_layout; }

    // Places everything for a screen of this size in the visible area, the
    // frame holding the sign at zoom (0: the largest zoom at which the frame
    // and the panels below it fit the visible area, never below 1:1).
    void relayout(QSize screen, int zoom = 1);
    // The zoom of the last layout.
    int shownZoom() const { return m_zoom; }

  signals:
    // The visible area changed size (the window, or a dock beside the stage).
    void areaResized();

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    QWidget* m_stage;
    QWidget* m_panel;
    QWidget* m_tabs;
    QWidget* m_progress;
    QFrame* Panel1;
    PreviewSurface* DispPlay;
    MainLayout m_layout;
    int m_zoom = 1;
};
