#include "platform/AnimatedPng.h"

#include <QBuffer>
#include <QtEndian>

#include <algorithm>
#include <array>

namespace {

uint32_t crc32(const QByteArray& bytes) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            t[n] = c;
        }
        return t;
    }();
    uint32_t c = 0xFFFFFFFFu;
    for (const char byte : bytes) {
        c = table[(c ^ static_cast<uint8_t>(byte)) & 0xFF] ^ (c >> 8);
    }
    return c ^ 0xFFFFFFFFu;
}

QByteArray bigEndian32(uint32_t value) {
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray bigEndian16(uint16_t value) {
    QByteArray bytes(2, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

// A chunk: length, type, data, CRC of type and data.
QByteArray chunk(const char* type, const QByteArray& data) {
    const QByteArray body = QByteArray(type, 4) + data;
    return bigEndian32(static_cast<uint32_t>(data.size())) + body + bigEndian32(crc32(body));
}

// The IHDR data and the image data (all IDAT chunks joined) of a PNG file.
struct PngParts {
    QByteArray header;
    QByteArray imageData;
};

PngParts pngParts(const QImage& image) {
    QByteArray file;
    QBuffer buffer(&file);
    buffer.open(QIODevice::WriteOnly);
    image.convertToFormat(QImage::Format_RGB888).save(&buffer, "PNG");
    PngParts parts;
    for (qsizetype at = 8; at + 12 <= file.size();) {
        const auto length = static_cast<qsizetype>(qFromBigEndian<uint32_t>(file.constData() + at));
        const QByteArray type = file.mid(at + 4, 4);
        const QByteArray data = file.mid(at + 8, length);
        if (type == "IHDR") {
            parts.header = data;
        } else if (type == "IDAT") {
            parts.imageData += data;
        }
        at += 12 + length;
    }
    return parts;
}

}  // namespace

QByteArray encodeAnimatedPng(const std::vector<AnimationFrame>& frames) {
    if (frames.empty() || frames.front().image.isNull()) {
        return {};
    }
    const QSize size = frames.front().image.size();
    QByteArray out("\x89PNG\r\n\x1A\n", 8);
    uint32_t sequence = 0;
    for (size_t i = 0; i < frames.size(); ++i) {
        const QImage image = frames[i].image.size() == size
                                 ? frames[i].image
                                 : frames[i].image.scaled(size, Qt::IgnoreAspectRatio);
        const PngParts parts = pngParts(image);
        if (i == 0) {
            out += chunk("IHDR", parts.header);
            out += chunk("acTL", bigEndian32(static_cast<uint32_t>(frames.size())) +
                                     bigEndian32(0));  // 0: loop for ever
        }
        const int hundredths = std::clamp((frames[i].durationMs + 5) / 10, 1, 65535);
        out += chunk("fcTL", bigEndian32(sequence++) + bigEndian32(size.width()) +
                                 bigEndian32(size.height()) + bigEndian32(0) + bigEndian32(0) +
                                 bigEndian16(static_cast<uint16_t>(hundredths)) + bigEndian16(100) +
                                 QByteArray(2, '\0'));
        if (i == 0) {
            out += chunk("IDAT", parts.imageData);
        } else {
            out += chunk("fdAT", bigEndian32(sequence++) + parts.imageData);
        }
    }
    out += chunk("IEND", {});
    return out;
}
