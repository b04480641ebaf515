#pragma once

#include "emulator/Emulator.h"
#include "transfer/EntryEffects.h"

#include <QElapsedTimer>
#include <QRasterWindow>
#include <QTimer>

#include <vector>

// The received list as the sign plays it, over and over: each page's entry
// effect from the page before (the first time from a dark sign), then the
// page for its display time, with the clock running on from when the play
// was taken. The effects are the approximate ones of the window's play.
class SignLoop {
  public:
    explicit SignLoop(SignPlay play = {});

    const SignPlay& play() const { return m_play; }
    // The LEDs ms after the play was taken; *page: the page shown (index
    // into the list), -1 when there is none.
    QImage ledsAt(qint64 ms, int* page = nullptr) const;
    // The controller's clock then.
    QTime clockAt(qint64 ms) const {
        return m_play.clock.addMSecs(static_cast<int>(ms % 86400000));
    }

  private:
    SignPlay m_play;
    ShowTimeline m_show;
};

// The virtual sign: a window showing what the emulated controller plays,
// LED by LED as round dots, as large as the window allows. The emulator's
// thread hands it each new play; it redraws 25 times a second.
class VirtualSignWindow : public QRasterWindow {
    Q_OBJECT
  public:
    // where: the port the controller listens on, for the title and the foot.
    explicit VirtualSignWindow(const QString& where);

    // Safe from any thread: what the sign plays from now on.
    void showPlay(const SignPlay& play);
    // The window's picture ms after the play was taken, at size.
    QImage render(QSize size, qint64 ms) const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void setPlay(const SignPlay& play);

    QString m_where;
    SignLoop m_loop;
    QElapsedTimer m_since;  // since the play was taken
    QTimer m_frames;
};
