#include "transfer/Packing.h"

#include "transfer/MemoryMap.h"

#include <algorithm>

namespace {

struct Channels {
    bool first;
    bool second;
};

inline Channels channelBits(QRgb pixel, ColourTest test) {
    const int red = qRed(pixel);
    const int green = qGreen(pixel);
    const int first = test.rgSwap ? red : green;
    const int second = test.rgSwap ? green : red;
    if (test.colorSwap) {
        return {first == 0, second == 0};
    }
    return {first > 0, second > 0};
}

QImage asRgb32(const QImage& image) {
    return image.format() == QImage::Format_RGB32 ? image
                                                  : image.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

void AdjustGamma(QImage& canvas, int width, int height) {
    if (canvas.format() != QImage::Format_RGB32 && canvas.format() != QImage::Format_ARGB32) {
        canvas = canvas.convertToFormat(QImage::Format_RGB32);
    }
    auto curve = [](int c) { return c * c * c / 65025; };
    for (int y = 0; y < height && y < canvas.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(canvas.scanLine(y));
        for (int x = 0; x < width && x < canvas.width(); ++x) {
            const QRgb p = line[x];
            line[x] = qRgb(curve(qRed(p)), curve(qGreen(p)), curve(qBlue(p)));
        }
    }
}

void packDualColour(const QImage& source, int width, int height, ColourTest test, QByteArray& out) {
    const QImage canvas = asRgb32(source);
    const int groups = 2 * (width / 8);
    const qsizetype start = out.size();
    out.resize(start + static_cast<qsizetype>(groups) * height);
    char* dst = out.data() + start;
    for (int y = 0; y < height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(canvas.constScanLine(y));
        for (int g = 0; g < groups; ++g) {
            unsigned byte = 0;
            for (int j = 0; j < 4; ++j) {
                const Channels bits = channelBits(line[4 * g + j], test);
                byte |= (bits.second ? 1u : 0u) << (7 - 2 * j);
                byte |= (bits.first ? 1u : 0u) << (6 - 2 * j);
            }
            *dst++ = static_cast<char>(byte);
        }
    }
}

void packMonochrome(const QImage& source, int width, int height, ColourTest test, QByteArray& out) {
    const QImage canvas = asRgb32(source);
    const int groups = width / 8;
    const qsizetype start = out.size();
    out.resize(start + static_cast<qsizetype>(groups) * height);
    char* dst = out.data() + start;
    for (int y = 0; y < height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(canvas.constScanLine(y));
        for (int g = 0; g < groups; ++g) {
            unsigned byte = 0;
            for (int j = 0; j < 8; ++j) {
                byte |= (channelBits(line[8 * g + j], test).first ? 1u : 0u) << (7 - j);
            }
            *dst++ = static_cast<char>(byte);
        }
    }
}

void packPage(const QImage& canvas, Depth depth, int width, int height, ColourTest test,
              QByteArray& out) {
    if (depth == Depth::DualColour) {
        packDualColour(canvas, width, height, test, out);
    } else if (depth == Depth::Monochrome) {
        packMonochrome(canvas, width, height, test, out);
    }
}

QImage unpackPage(const QByteArray& bytes, Depth depth, int width, int height, ColourTest test) {
    static const QRgb kLit[4] = {qRgb(0, 0, 0), qRgb(255, 0, 0), qRgb(0, 255, 0),
                                 qRgb(255, 255, 0)};
    QImage image(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
    image.fill(kLit[0]);
    const int rowLength = rowBytes(depth, width);
    const int invert = test.colorSwap ? 0xFF : 0x00;
    const auto byteAt = [&](qsizetype i) {
        return (i < bytes.size() ? static_cast<uint8_t>(bytes[i]) : 0) ^ invert;
    };
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int g = 0; g < rowLength; ++g) {
            const int byte = byteAt(static_cast<qsizetype>(y) * rowLength + g);
            if (depth == Depth::DualColour) {
                for (int j = 0; j < 4; ++j) {
                    // Bit 7 - 2j carries the second channel, bit 6 - 2j the first.
                    const bool second = byte & (0x80 >> (2 * j));
                    const bool first = byte & (0x40 >> (2 * j));
                    const bool red = test.rgSwap ? first : second;
                    const bool green = test.rgSwap ? second : first;
                    line[4 * g + j] = kLit[(red ? 1 : 0) | (green ? 2 : 0)];
                }
            } else {
                for (int j = 0; j < 8; ++j) {
                    line[8 * g + j] = kLit[(byte & (0x80 >> j)) ? 1 : 0];
                }
            }
        }
    }
    return image;
}
