#pragma once

#include <QImage>
#include <QString>

// How a command reports to the operator. The window, the command line and
// the tests each implement it; the texts themselves belong to the commands.
class OperatorSurface {
  public:
    virtual ~OperatorSurface() = default;

    // Status panel 0 (page capacity), 1 (write progress) or 2 (outcome).
    virtual void setStatus(int panel, const QString& text) = 0;
    // Show what has changed now, before the command goes on.
    virtual void repaintNow() {}
    // A line for the operator's information that needs no answer (what
    // kind of transfer runs and why).
    virtual void note(const QString& text) { (void)text; }
    // A modal message, with an optional caption.
    virtual void message(const QString& text, const QString& caption = QString()) = 0;
    // Page `page` (1-based) is being prepared for sending; image is what it
    // will show on the sign.
    virtual void preparingPage(int page, const QImage& image) {
        (void)page;
        (void)image;
    }
    // Progress of a long job, 0 .. maximum.
    virtual void progress(int value, int maximum) {
        (void)value;
        (void)maximum;
    }
    // Bytes of a transmission that have left on the line, of total, and the
    // milliseconds the rest needs at the line rate.
    virtual void lineProgress(qint64 sent, qint64 total, qint64 msLeft) {
        (void)sent;
        (void)total;
        (void)msLeft;
    }
    // The whole transmission is out; the controller's reply is awaited for
    // at most timeoutMs.
    virtual void awaitingReply(int timeoutMs) { (void)timeoutMs; }
    // Whether the operator asked to stop (Cancel, Ctrl-C). A transfer stops
    // at the next frame boundary.
    virtual bool cancelRequested() const { return false; }
};
