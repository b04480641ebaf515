#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

class ReadableFile;

// The kinds of picture a page may be. Anything else is refused before any
// decoder sees it, whatever its name says.
enum class PictureKind { Unknown, Bmp, Jpeg, Png };

// The kind the first bytes announce ("BM", FF D8 FF, the PNG signature).
PictureKind pictureKindOf(const QByteArray& start);

// For messages: "a BMP, JPEG or PNG picture".
QString acceptedPictureKinds();

// The one pixel budget of every decode: a picture whose decoded size would
// be larger is refused from its header, before any pixel memory is taken.
// 50 megapixels is 200 MB as RGB32; camera photos larger than that are
// decoded at a reduced size (JPEG's 1/2, 1/4, 1/8) when the screen allows.
constexpr qint64 kMaxPicturePixels = 50'000'000;

// A JPEG decoded reduced still has every block of its frame read: its frame
// may be at most 4 times the budget, so that a small file claiming a vast
// frame cannot keep the decoder busy for minutes.
constexpr qint64 kMaxJpegFramePixels = 4 * kMaxPicturePixels;

// The largest picture file read at all.
constexpr qint64 kMaxPictureFileBytes = 256LL * 1024 * 1024;

// "picture too large: W x H pixels (at most 50 megapixels)" when a picture
// of size, decoded at decoded, breaks a budget of maxPixels, or its frame
// is larger than maxFramePixels; empty when fine.
QString pictureBudgetError(QSize size, QSize decoded, qint64 maxPixels = kMaxPicturePixels,
                           qint64 maxFramePixels = kMaxJpegFramePixels);

// The DCT scale 1/d (d = 1, 2, 4 or 8) a JPEG of size is decoded at for a
// target: the smallest that still covers the target in both directions, for
// pictures at least twice the target's size; 1 without a target.
int jpegScaleDenominator(QSize size, QSize target);
// size decoded at 1/d, as libjpeg rounds it (up).
QSize jpegDecodedSize(QSize size, int denominator);

// What a picture's header says, read without decoding it.
struct PictureHeader {
    PictureKind kind = PictureKind::Unknown;
    QSize size;     // as the header claims
    QSize decoded;  // the size it would be decoded at for the target
    QString error;  // why it cannot be a page picture; empty when fine
};

// Reads the header of data (the whole file, or enough of its start; more
// is asked for through needMore when a JPEG's frame header lies further on)
// and checks the kind, the size and the budget. fileSize is the whole
// file's size, to tell a BMP cut short.
PictureHeader parsePictureHeader(const QByteArray& data, qint64 fileSize, QSize target,
                                 bool* needMore = nullptr);

// The cheap check of a picture file: a regular file of a sane size, of an
// accepted kind, whose header parses and whose size is within the budget.
// Reads the header only. Errors name the file: "cannot load NAME: REASON".
PictureHeader probePicture(const QString& path, QSize target);

// "cannot load NAME: REASON", the name shortened when absurdly long.
QString pictureError(const QString& path, const QString& reason);

// The size a Windows BMP header claims (invalid when it cannot be read or
// claims no pixels),
// and whether an uncompressed BMP holds fewer pixel rows than it claims.
QSize bmpHeaderSize(const QByteArray& data);
bool bmpCutShort(const QByteArray& header, qint64 fileSize);
