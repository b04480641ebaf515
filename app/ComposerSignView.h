#pragma once

#include "core/Settings.h"

#include <QImage>
#include <QWidget>

#include <vector>

class QComboBox;
class QLabel;
class QScrollArea;
class PagesCanvas;
class SignViewBar;

// The text composer's sign view: the pages a CHANGE would write, one under
// another with their page breaks marked, as the sign lights them (or as
// pictures), zoomed like the main window's preview.
class ComposerSignView : public QWidget {
    Q_OBJECT
  public:
    explicit ComposerSignView(QWidget* parent = nullptr);

    // Which CHANGE the view shows: 0 ONE LINE, 1 MANY LINE.
    int layoutShown() const;
    void showLayout(int layout);

    // The composed pages (screen-sized pictures) and the settings they are
    // sent with; note says what there is to say (a text too long).
    void showPages(const std::vector<QImage>& pages, const Settings& settings, const QString& note);

    // The zoom the pages are drawn at.
    int shownZoom() const;
    // Page i (0-based) as the view draws it, one pixel a LED.
    QImage pageShown(size_t i) const;

  signals:
    void layoutChanged();

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void decode();    // the pages' LEDs, for the settings and the mode
    void relayout();  // the zoom

    SignViewBar* m_bar;
    QComboBox* m_layout;
    QLabel* m_note;
    QScrollArea* m_area;
    PagesCanvas* m_canvas;
    std::vector<QImage> m_pictures;
    std::vector<QImage> m_leds;
    Settings m_settings;
};
