#pragma once

#include "platform/PictureFile.h"

#include <QDateTime>
#include <QImage>
#include <QSize>
#include <QString>

// Loads page pictures for the preview, keeping the last one so that a page
// redrawn many times is decoded once (until its file changes).
class PictureCache {
  public:
    // The picture of the file at path (already resolved against the program
    // folder); decoded at no less than screen size.
    PictureLoad load(const QString& path, QSize screen);

  private:
    QString m_path;
    QDateTime m_modified;
    qint64 m_size = -1;
    QSize m_screen;
    PictureLoad m_last;
};

// What the preview surface shows, WIDTH x HEIGHT pixels:
//  - a blank page: black;
//  - a picture: stretched over the whole surface, aspect not kept;
//  - unscaled: the picture at its own size, top-left at (0, 0), cut off;
//  - a picture that cannot be loaded: black with a thin red cross, so the
//    operator sees the page has no usable picture.
QImage previewImage(const PictureLoad* picture, QSize screen, bool unscaled = false);

// The black (WIDTH + 2) x (HEIGHT + 2) canvas that PICTURE opens for a page
// without a picture.
QImage blankCanvas(QSize screen);
