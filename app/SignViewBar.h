#pragma once

#include <QWidget>

#include <functional>

class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;

// The controls of a sign view: the zoom ("fit", "1:1", "2×" .. "16×", also
// Ctrl + wheel and Ctrl +/-), "sign" (the LEDs as the sign lights them) or
// "picture" (the source), and optionally the play buttons with the
// "approximate" label that the effect preview carries.
class SignViewBar : public QWidget {
    Q_OBJECT
  public:
    enum class Mode { Sign, Picture };
    static constexpr int kFit = 0;
    static constexpr int kMaxZoom = 16;

    explicit SignViewBar(bool withPlay, QWidget* parent = nullptr);

    // kFit, or the zoom chosen (1 .. 16).
    int chosenZoom() const;
    void chooseZoom(int zoom);
    // Steps above largest are not offered (their views would be too large).
    void setZoomLimit(int largest);
    // The zoom the view shows now (what fit came to), for stepping from fit.
    void setShownZoom(std::function<int()> shown) { m_shownZoom = std::move(shown); }
    // One step larger (+1) or smaller (-1) than the zoom shown.
    void stepZoom(int direction);
    // Ctrl + wheel over widget steps the zoom.
    void watchWheel(QWidget* widget);

    Mode mode() const;

    // While an effect plays: the button that started it reads "stop" and the
    // label says what plays; playing false puts both back.
    void showPlaying(bool playing, bool wholeList, const QString& what);

  signals:
    void zoomChanged();
    void modeChanged();
    void playPageClicked();
    void playListClicked();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QComboBox* m_zoom;
    QRadioButton* m_sign;
    QRadioButton* m_picture;
    QPushButton* m_playPage = nullptr;
    QPushButton* m_playList = nullptr;
    QLabel* m_approximate = nullptr;
    std::function<int()> m_shownZoom;
};
