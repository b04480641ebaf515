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

// What libjpeg may use of its own for one decode, on top of the decoded
// picture, unless a caller sets a lower cap. Progressive files keep every
// coefficient of the full-size picture even when decoded at a reduced size.
constexpr qint64 kMaxJpegWorkBytes = 1024LL * 1024 * 1024;

// Progressive JPEG files with more scans than this are refused: each scan
// is a pass over the whole picture, and a crafted file may hold hundreds.
constexpr int kMaxJpegScans = 100;

// Loads a page picture. ".jpg" and ".jpeg" files (any case) are decoded with
// libjpeg, everything else (".bmp") with Qt's image reader. When targetSize
// is not empty and a JPEG is at least twice as large in both directions, it is
// decoded at 1/2, 1/4 or 1/8 size, never smaller than targetSize. Errors name
// the file. Transparent parts come out black, as unlit on the sign.
// jpegWorkBytes caps libjpeg's own memory for this decode.
PictureLoad loadPicture(const QString& path, QSize targetSize = QSize(),
                        qint64 jpegWorkBytes = kMaxJpegWorkBytes);

// Decodes JPEG data held in memory, as loadPicture does for a JPEG file.
// Corrupt or cut-short data is an error, not a partly grey picture.
PictureLoad decodeJpeg(const QByteArray& data, QSize targetSize = QSize(),
                       qint64 jpegWorkBytes = kMaxJpegWorkBytes);

// About how much memory decoding the picture file at path for targetSize
// takes: the file's bytes, the decoded pixels twice (decoded and
// stretched), and for a progressive JPEG its coefficients: 2 bytes each,
// width x height x components x 2 without chroma subsampling, half that with
// the usual 4:2:0. Reads the header only; a file it cannot read costs
// its size.
qint64 decodeMemoryEstimate(const QString& path, QSize targetSize);

// Decodes a Windows BMP held in memory, as loadPicture does for a BMP file.
PictureLoad decodeBmp(const QByteArray& data);

// Writes image as a 24-bit Windows BMP, replacing the file in one step.
// Returns false with a reason in *error.
bool saveBmp(const QImage& image, const QString& path, QString* error);
