#pragma once

#include "core/Settings.h"
#include "import/PictureImport.h"

#include <QDialog>
#include <QImage>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;

// How imported pictures meet the sign: stretch (the default), fit inside,
// crop to fill, and invert. Used by LOADFILE's picture dialog and by the
// document and spreadsheet importers.
class FitChooser : public QWidget {
    Q_OBJECT
  public:
    explicit FitChooser(QWidget* parent = nullptr);
    FitOptions options() const;

  signals:
    void changed();

  private:
    QComboBox* m_mode;
    QCheckBox* m_invert;
};

// A page as the sign view shows it: its LEDs as round dots, zoomed to fit
// room.
QImage signViewOf(const QImage& page, const Settings& settings, QSize room);

// LOADFILE with a picture: the sign view shows the page as the chosen fit
// makes it, before the page is changed.
class PictureImportDialog : public QDialog {
    Q_OBJECT
  public:
    PictureImportDialog(const QImage& picture, const Settings& settings, QWidget* parent = nullptr);
    FitOptions options() const { return m_chooser->options(); }
    // What the sign view shows now, one pixel a LED.
    const QImage& shownLeds() const { return m_leds; }

  private:
    void showResult();

    QImage m_picture;
    Settings m_settings;
    FitChooser* m_chooser;
    QLabel* m_view;
    QImage m_leds;
};
