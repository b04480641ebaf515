#include "platform/PictureHeader.h"

#include "platform/AtomicFile.h"

#include <QFileInfo>

#include <climits>
#include <cstdint>

namespace {

unsigned byteAt(const QByteArray& data, qint64 at) {
    return static_cast<unsigned char>(data[static_cast<qsizetype>(at)]);
}
qint64 le16(const QByteArray& data, qint64 at) {
    return byteAt(data, at) | qint64(byteAt(data, at + 1)) << 8;
}
qint64 le32(const QByteArray& data, qint64 at) {
    return le16(data, at) | le16(data, at + 2) << 16;
}
qint64 be16(const QByteArray& data, qint64 at) {
    return qint64(byteAt(data, at)) << 8 | byteAt(data, at + 1);
}
qint64 be32(const QByteArray& data, qint64 at) {
    return be16(data, at) << 16 | be16(data, at + 2);
}

enum class Walk { Found, NeedMore, Bad };

// Walks a JPEG's markers up to its frame header (SOF), as libjpeg does
// before it decodes anything.
Walk jpegFrameSize(const QByteArray& data, QSize* size, QString* error) {
    qint64 pos = 2;  // after the start of image
    for (;;) {
        if (pos + 2 > data.size()) {
            return Walk::NeedMore;
        }
        if (byteAt(data, pos) != 0xFF) {
            *error = QStringLiteral("the JPEG data is damaged before its frame header");
            return Walk::Bad;
        }
        const unsigned marker = byteAt(data, pos + 1);
        if (marker == 0xFF) {  // fill byte
            ++pos;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // no length
            pos += 2;
            continue;
        }
        if (marker == 0xD8 || marker == 0xD9 || marker == 0xDA) {
            *error = QStringLiteral("the JPEG data has no frame header");
            return Walk::Bad;
        }
        if (pos + 4 > data.size()) {
            return Walk::NeedMore;
        }
        const qint64 length = be16(data, pos + 2);
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (length < 2 || (frame && length < 8)) {
            *error = QStringLiteral("the JPEG data is damaged before its frame header");
            return Walk::Bad;
        }
        if (frame) {
            if (pos + 9 > data.size()) {
                return Walk::NeedMore;
            }
            *size = QSize(int(be16(data, pos + 7)), int(be16(data, pos + 5)));
            return Walk::Found;
        }
        pos += 2 + length;
    }
}

// Whether every chunk of a PNG fits in the file. libpng takes a chunk's
// length on trust and allocates it before reading the chunk, so a few bytes
// could ask for gigabytes (found by fuzzing). Chunks beyond what was read
// are not looked at.
bool pngChunksFit(const QByteArray& data, qint64 fileSize) {
    qint64 pos = 8;  // after the signature
    while (pos + 8 <= data.size()) {
        const qint64 length = be32(data, pos);
        if (length > fileSize - pos - 12) {  // length, type, data, CRC
            return false;
        }
        if (data.mid(pos + 4, 4) == "IEND") {
            break;
        }
        pos += 12 + length;
    }
    return true;
}

}  // namespace

PictureKind pictureKindOf(const QByteArray& start) {
    if (start.startsWith("BM")) {
        return PictureKind::Bmp;
    }
    if (start.startsWith("\xFF\xD8\xFF")) {
        return PictureKind::Jpeg;
    }
    if (start.startsWith("\x89PNG\r\n\x1A\n")) {
        return PictureKind::Png;
    }
    return PictureKind::Unknown;
}

QString acceptedPictureKinds() {
    return QStringLiteral("a BMP, JPEG or PNG picture");
}

QString pictureBudgetError(QSize size, QSize decoded, qint64 maxPixels, qint64 maxFramePixels) {
    // Both at most 2^31: the products fit 64 bits.
    const QString text =
        QStringLiteral("picture too large: %1 x %2 pixels (at most %3 megapixels%4)")
            .arg(size.width())
            .arg(size.height());
    if (qint64(decoded.width()) * decoded.height() > maxPixels) {
        return text.arg(double(maxPixels) / 1e6).arg(QString());
    }
    if (qint64(size.width()) * size.height() > maxFramePixels) {
        return text.arg(double(maxFramePixels) / 1e6).arg(QStringLiteral(" for a JPEG"));
    }
    return {};
}

int jpegScaleDenominator(QSize size, QSize target) {
    if (target.isEmpty() || size.width() < 2 * target.width() ||
        size.height() < 2 * target.height()) {
        return 1;
    }
    for (int denominator : {8, 4, 2}) {
        const QSize decoded = jpegDecodedSize(size, denominator);
        if (decoded.width() >= target.width() && decoded.height() >= target.height()) {
            return denominator;
        }
    }
    return 1;
}

QSize jpegDecodedSize(QSize size, int denominator) {
    return QSize((size.width() + denominator - 1) / denominator,
                 (size.height() + denominator - 1) / denominator);
}

QSize bmpHeaderSize(const QByteArray& data) {
    if (data.size() < 26 || !data.startsWith("BM")) {
        return {};
    }
    const qint64 infoSize = le32(data, 14);
    if (infoSize == 12) {  // OS/2 header with 16-bit sizes
        const QSize size(int(le16(data, 18)), int(le16(data, 20)));
        return size.isEmpty() ? QSize() : size;
    }
    const qint64 width = std::int32_t(std::uint32_t(le32(data, 18)));
    const qint64 height = qAbs(qint64(std::int32_t(std::uint32_t(le32(data, 22)))));
    if (infoSize < 40 || width <= 0 || height <= 0 || height > INT_MAX) {
        return {};
    }
    return QSize(int(width), int(height));
}

bool bmpCutShort(const QByteArray& header, qint64 fileSize) {
    const QSize size = bmpHeaderSize(header);
    if (size.isEmpty() || header.size() < 30) {
        return false;
    }
    const qint64 offset = le32(header, 10);
    const bool os2 = le32(header, 14) == 12;
    const qint64 bits = le16(header, os2 ? 24 : 28);
    const qint64 compression = os2 || header.size() < 34 ? 0 : le32(header, 30);
    // Run-length and embedded JPEG/PNG data have no fixed size.
    if ((compression != 0 && compression != 3 && compression != 6) || bits <= 0 || bits > 64) {
        return false;
    }
    // Divided, not multiplied: header sizes may overflow any product.
    const qint64 rowBytes = (size.width() * bits + 31) / 32 * 4;
    const qint64 available = fileSize - offset + rowBytes;  // allow a short last row
    return available <= 0 || size.height() > available / rowBytes;
}

PictureHeader parsePictureHeader(const QByteArray& data, qint64 fileSize, QSize target,
                                 bool* needMore) {
    PictureHeader header;
    if (needMore) {
        *needMore = false;
    }
    header.kind = pictureKindOf(data);
    switch (header.kind) {
        case PictureKind::Unknown:
            header.error = QStringLiteral("it is not %1").arg(acceptedPictureKinds());
            return header;
        case PictureKind::Bmp:
            header.size = bmpHeaderSize(data);
            if (!header.size.isValid()) {
                header.error = QStringLiteral("the BMP header cannot be read");
                return header;
            }
            header.decoded = header.size;
            break;
        case PictureKind::Png:
            if (data.size() < 24 || data.mid(12, 4) != "IHDR" || be32(data, 16) == 0 ||
                be32(data, 20) == 0 || be32(data, 16) > INT_MAX || be32(data, 20) > INT_MAX) {
                header.error = QStringLiteral("the PNG header cannot be read");
                return header;
            }
            if (!pngChunksFit(data, fileSize)) {
                header.error = QStringLiteral("the PNG data is damaged: a chunk runs past the end");
                return header;
            }
            header.size = QSize(int(be32(data, 16)), int(be32(data, 20)));
            header.decoded = header.size;
            break;
        case PictureKind::Jpeg: {
            const Walk walk = jpegFrameSize(data, &header.size, &header.error);
            if (walk == Walk::NeedMore && needMore && data.size() < fileSize) {
                *needMore = true;
                return header;
            }
            if (walk != Walk::Found || header.size.isEmpty()) {
                if (header.error.isEmpty()) {
                    header.error = QStringLiteral("the JPEG data has no usable frame header");
                }
                return header;
            }
            header.decoded =
                jpegDecodedSize(header.size, jpegScaleDenominator(header.size, target));
            break;
        }
    }
    header.error = pictureBudgetError(header.size, header.decoded);
    if (header.error.isEmpty() && header.kind == PictureKind::Bmp && bmpCutShort(data, fileSize)) {
        header.error =
            QStringLiteral("the file is cut short: it holds fewer pixel rows than its header says");
    }
    return header;
}

QString pictureError(const QString& path, const QString& reason) {
    // A name is shown whole unless it is absurdly long (a damaged list).
    QString name = QFileInfo(path).fileName();
    if (name.size() > 120) {
        name = name.left(60) + QStringLiteral("…") + name.right(40);
    }
    return QStringLiteral("cannot load %1: %2").arg(name, reason);
}

PictureHeader probePicture(const QString& path, QSize target) {
    PictureHeader header;
    ReadableFile file;
    QString error;
    QByteArray start;
    // Most headers lie in the first few bytes; a JPEG's frame header may
    // follow large metadata, so more is read only when needed.
    qint64 length = 64 * 1024;
    bool needMore = true;
    if (file.open(path, kMaxPictureFileBytes, &error)) {
        while (needMore && file.readAt(0, length, &start, &error)) {
            if (start.isEmpty()) {
                error = QStringLiteral("the file is empty");
                break;
            }
            header = parsePictureHeader(start, file.size(), target, &needMore);
            error = header.error;
            length *= 8;
        }
    }
    if (!error.isEmpty()) {
        header.error = pictureError(path, error);
    }
    return header;
}
