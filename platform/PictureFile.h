#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

// A decoded page picture, or the reason it could not be decoded.
struct PictureLoad {
    QImage image;   // Format_RGB32; null when error is set
    QString error;  // empty on success
};

// Decoded pictures larger than this are refused, checked from the header
// before any pixel memory is taken.
constexpr qint64 kMaxPictureBytes = 256LL * 1024 * 1024;

// Loads a page picture. ".jpg" and ".jpeg" files (any case) are decoded with
// libjpeg, everything else (".bmp") with Qt's image reader. When targetSize
// is not empty and a JPEG is at least twice as large in both directions, it is
// decoded at 1/2, 1/4 or 1/8 size, never smaller than targetSize. Errors name
// the file. Transparent parts come out black, as unlit on the sign.
PictureLoad loadPicture(const QString& path, QSize targetSize = QSize());

// Decodes JPEG data held in memory, as loadPicture does for a JPEG file.
// Corrupt or cut-short data is an error, not a partly grey picture.
PictureLoad decodeJpeg(const QByteArray& data, QSize targetSize = QSize());

// Decodes a Windows BMP held in memory, as loadPicture does for a BMP file.
PictureLoad decodeBmp(const QByteArray& data);

// Writes image as a 24-bit Windows BMP, replacing the file in one step.
// Returns false with a reason in *error.
bool saveBmp(const QImage& image, const QString& path, QString* error);
