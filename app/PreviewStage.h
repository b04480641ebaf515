#pragma once

#include "app/Layout.h"

#include <QScrollArea>

class QFrame;
class PreviewSurface;

// The middle of the main window: the black preview frame with the drawing
// surface inside, and below it the parameter panel, the tab strip and the
// progress bar, all placed by the layout rule. The stage scrolls when the
// window is smaller than they need.
class PreviewStage : public QScrollArea {
    Q_OBJECT
  public:
    // panel, tabs and progress are placed on the stage below the frame.
    PreviewStage(QWidget* panel, QWidget* tabs, QWidget* progress, QWidget* parent = nullptr);

    PreviewSurface* surface() const { return DispPlay; }
    const MainLayout& currentLayout() const { return m_layout; }

    // Places everything for a screen of this size in the visible area.
    void relayout(QSize screen);

  private:
    QWidget* m_stage;
    QWidget* m_panel;
    QWidget* m_tabs;
    QWidget* m_progress;
    QFrame* Panel1;
    PreviewSurface* DispPlay;
    MainLayout m_layout;
};
