#pragma once

#include <QByteArray>
#include <QImage>

// Writes an animated PNG: frames of one size, each shown for its own time,
// played in a loop. Viewers that know only PNG show the first frame.
//   signature, IHDR, acTL (frame count, loops 0 = for ever),
//   fcTL + IDAT for frame 1, fcTL + fdAT for every later frame, IEND
// The frame and data chunks share one sequence count.
class AnimatedPngWriter {
  public:
    // Adds a frame shown for ms milliseconds; false when it cannot be encoded
    // or is not the size of the first frame.
    bool addFrame(const QImage& frame, int ms);
    int frameCount() const { return m_frames; }
    // The whole file; empty when no frame was added.
    QByteArray finish();

  private:
    QByteArray m_head;  // signature and IHDR
    QByteArray m_body;  // the frames
    QSize m_size;
    int m_frames = 0;
    quint32 m_sequence = 0;
};
