#pragma once

#include "platform/PictureHeader.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

// A decoded page picture, or the reason it could not be decoded.
struct PictureLoad {
    QImage image;   // Format_RGB32; null when error is set
    QString error;  // empty on success
};

// What one decode may take: the pixel budget, and the memory libjpeg may
// use of its own on top of the decoded picture (a progressive file keeps
// every coefficient of the full-size picture even when decoded reduced), and
// the largest JPEG frame.
// Smaller limits serve the fuzz targets, where every decode must be quick.
constexpr qint64 kMaxJpegWorkBytes = 512LL * 1024 * 1024;
struct PictureLimits {
    qint64 pixels = kMaxPicturePixels;
    qint64 jpegWorkBytes = kMaxJpegWorkBytes;
    qint64 jpegFramePixels = kMaxJpegFramePixels;
};

// Progressive JPEG files with more scans than this are refused: each scan
// is a pass over the whole picture, and a crafted file may hold hundreds.
constexpr int kMaxJpegScans = 100;

// Loads a page picture: a regular file of at most kMaxPictureFileBytes
// holding a BMP, JPEG or PNG picture, told by its first bytes whatever its
// name. The header is checked against the pixel budget before the rest of
// the file is read. When targetSize is not empty and a JPEG is at least
// twice as large in both directions, it is decoded at 1/2, 1/4 or 1/8 size,
// never smaller than targetSize. Errors name the file. Transparent parts
// come out black, as unlit on the sign.
PictureLoad loadPicture(const QString& path, QSize targetSize = QSize(),
                        const PictureLimits& limits = PictureLimits());

// Decodes picture data held in memory, as loadPicture does for a file.
PictureLoad decodePicture(const QByteArray& data, QSize targetSize = QSize(),
                          const PictureLimits& limits = PictureLimits());

// About how much memory decoding the picture file at path for targetSize
// takes: the file's bytes, the decoded pixels twice (decoded and
// stretched), and for a progressive JPEG its coefficients: 2 bytes each,
// width x height x components x 2 without chroma subsampling, half that with
// the usual 4:2:0. Reads the header only; a file it cannot read costs
// its size.
qint64 decodeMemoryEstimate(const QString& path, QSize targetSize);

// Which scans of a progressive JPEG decodeJpeg decodes. At 1/8 size only the
// DC coefficients reach the pixels, so NeededOnly hands libjpeg the DC scans
// alone when the file's markers show that gives the same picture, and the
// whole file otherwise; All always decodes every scan.
enum class JpegScans { NeededOnly, All };

// True when decodeJpeg decodes data for targetSize from its DC scans alone.
bool jpegDecodesFromDcScans(const QByteArray& data, QSize targetSize);

// Decodes JPEG data with libjpeg. Corrupt or cut-short data is an error, not
// a partly grey picture.
PictureLoad decodeJpeg(const QByteArray& data, QSize targetSize = QSize(),
                       const PictureLimits& limits = PictureLimits(),
                       JpegScans scans = JpegScans::NeededOnly);

// Decodes a Windows BMP (uncompressed, bit fields or run-length) or a PNG
// through Qt's readers, after the header's size has passed the budget.
PictureLoad decodeBmp(const QByteArray& data, const PictureLimits& limits = PictureLimits());
PictureLoad decodePng(const QByteArray& data, const PictureLimits& limits = PictureLimits());

// Writes image as a 24-bit Windows BMP, replacing the file in one step.
// Returns false with a reason in *error.
bool saveBmp(const QImage& image, const QString& path, QString* error);
