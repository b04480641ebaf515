#pragma once

#include "platform/PictureFile.h"

#include <QImage>
#include <QSize>
#include <QString>

// One page drawn at the screen's size, ready to be packed.
struct PreparedPage {
    QImage image;   // screen-sized, RGB32; null when error is set
    QString error;  // the picture could not be loaded
};

// Prepares a page: a page without a file is black; otherwise its picture is
// stretched to exactly the screen's size (aspect not kept, no smoothing, so
// hard pixel edges stay hard) and, with ADJUST, passed through AdjustGamma.
// fileName is resolved against the program folder.
// jpegWorkBytes caps libjpeg's own memory for the decode.
PreparedPage preparePage(const QString& fileName, const QString& folder, QSize screen, bool adjust,
                         qint64 jpegWorkBytes = kMaxJpegWorkBytes);

// The drawing step of preparePage for a picture already decoded: stretched
// to the screen, RGB32, then AdjustGamma with adjust.
QImage stretchToScreen(const QImage& picture, QSize screen, bool adjust);
