#pragma once

#include <QRect>
#include <QSize>

// Where the preview frame and the panels below it go.
struct MainLayout {
    QRect frame;     // the sign's shown size plus 2: (WIDTH + 2) x (HEIGHT + 2) at 1:1
    QRect panel;     // the parameter panel
    QRect tabs;      // the tab strip
    QRect progress;  // the progress bar
    QSize extent;    // the area everything needs (the window scrolls beyond it)
};

// The layout rule, for a sign shown at the given size (WIDTH x HEIGHT at
// 1:1, zoom times that when zoomed): the frame centred horizontally on the area, its top at
// (area height - frame height) / 2 - 30; the parameter panel centred, 20
// pixels below the frame; the tab strip and the progress bar with the panel's
// left edge and width, each 10 pixels below the one above. Halves round
// toward zero. Where the rule would put something outside a small area it is
// kept inside (at 0), so the window scrolls instead of cutting it off.
MainLayout layoutMain(QSize area, QSize screen, QSize panel, int tabHeight, int progressHeight);
