#pragma once

#include <QByteArray>
#include <QString>

// A transmission handed out frame by frame, as the frames become ready, so
// that a long transfer can start before it is all built.
class FrameSource {
  public:
    virtual ~FrameSource() = default;
    // Bytes of the whole transmission.
    virtual qint64 totalBytes() const = 0;
    // The next frame, waiting until it is ready. False at the end, or with
    // a reason in *error when the rest cannot be built.
    virtual bool nextFrame(QByteArray* frame, QString* error) = 0;
};
