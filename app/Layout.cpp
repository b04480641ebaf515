#include "app/Layout.h"

#include <algorithm>

MainLayout layoutMain(QSize area, QSize screen, QSize panel, int tabHeight, int progressHeight) {
    MainLayout layout;
    const QSize frame = screen + QSize(2, 2);
    const int frameLeft = std::max(0, (area.width() - frame.width()) / 2);
    const int frameTop = std::max(0, (area.height() - frame.height()) / 2 - 30);
    layout.frame = QRect(QPoint(frameLeft, frameTop), frame);

    const int panelLeft = std::max(0, (area.width() - panel.width()) / 2);
    layout.panel = QRect(QPoint(panelLeft, layout.frame.bottom() + 1 + 20), panel);
    layout.tabs = QRect(panelLeft, layout.panel.bottom() + 1 + 10, panel.width(), tabHeight);
    layout.progress =
        QRect(panelLeft, layout.tabs.bottom() + 1 + 10, panel.width(), progressHeight);

    const QRect all = layout.frame | layout.panel | layout.tabs | layout.progress;
    layout.extent = QSize(all.right() + 1, all.bottom() + 1);
    return layout;
}
