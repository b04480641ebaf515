#include "pages/Preview.h"

#include <QFileInfo>
#include <QPainter>

PictureLoad PictureCache::load(const QString& path, QSize screen) {
    const QFileInfo info(path);
    const QDateTime modified = info.lastModified();
    const qint64 size = info.exists() ? info.size() : -1;
    if (path == m_path && modified == m_modified && size == m_size && screen == m_screen) {
        return m_last;
    }
    m_path = path;
    m_modified = modified;
    m_size = size;
    m_screen = screen;
    m_last = loadPicture(path, screen);
    return m_last;
}

QImage previewImage(const PictureLoad* picture, QSize screen, bool unscaled) {
    QImage surface(screen, QImage::Format_RGB32);
    surface.fill(Qt::black);
    if (!picture) {
        return surface;
    }
    QPainter painter(&surface);
    if (!picture->error.isEmpty() || picture->image.isNull()) {
        painter.setPen(QPen(QColor(220, 0, 0), 1));
        painter.drawLine(0, 0, screen.width() - 1, screen.height() - 1);
        painter.drawLine(0, screen.height() - 1, screen.width() - 1, 0);
        return surface;
    }
    if (unscaled) {
        painter.drawImage(QPoint(0, 0), picture->image);
    } else {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(QRect(QPoint(0, 0), screen), picture->image);
    }
    return surface;
}

QImage blankCanvas(QSize screen) {
    QImage canvas(screen + QSize(2, 2), QImage::Format_RGB32);
    canvas.fill(Qt::black);
    return canvas;
}
