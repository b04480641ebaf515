#include "transfer/Packing.h"

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
