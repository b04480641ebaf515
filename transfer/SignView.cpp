#include "transfer/SignView.h"

#include "transfer/ModuleType.h"
#include "transfer/PagePreparation.h"

#include <QHash>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// How much of each pixel of a zoom x zoom cell the dot covers, 0..16: a
// circle inscribed in the cell less a gap, sampled 4 x 4 per pixel so its
// edge is smooth. Small cells get a square dot, which reads better.
std::vector<int> dotCover(int zoom) {
    const int gap = std::max(1, zoom / 5);
    const int size = zoom - gap;
    const int offset = gap / 2;
    std::vector<int> cover(static_cast<size_t>(zoom) * zoom, 0);
    const double centre = offset + size / 2.0;
    const double radius2 = size * size / 4.0;
    for (int y = 0; y < zoom; ++y) {
        for (int x = 0; x < zoom; ++x) {
            int hits = 0;
            if (size <= 2) {
                const bool inside =
                    x >= offset && x < offset + size && y >= offset && y < offset + size;
                hits = inside ? 16 : 0;
            } else {
                for (int sy = 0; sy < 4; ++sy) {
                    for (int sx = 0; sx < 4; ++sx) {
                        const double dx = x + (sx + 0.5) / 4 - centre;
                        const double dy = y + (sy + 0.5) / 4 - centre;
                        hits += dx * dx + dy * dy <= radius2 ? 1 : 0;
                    }
                }
            }
            cover[static_cast<size_t>(y) * zoom + x] = hits;
        }
    }
    return cover;
}

// One cell of the view for a LED of colour led.
std::vector<QRgb> dotCell(QRgb led, const std::vector<int>& cover) {
    const QRgb dot = (led & 0xffffff) == 0 ? kUnlitDot : led;
    std::vector<QRgb> cell(cover.size());
    for (size_t i = 0; i < cover.size(); ++i) {
        const int c = cover[i];
        cell[i] = qRgb(qRed(dot) * c / 16, qGreen(dot) * c / 16, qBlue(dot) * c / 16);
    }
    return cell;
}

}  // namespace

QImage signLeds(const QImage& page, Depth depth, QSize screen, ColourTest test) {
    if (depth == Depth::NotSent) {
        QImage dark(screen, QImage::Format_RGB32);
        dark.fill(Qt::black);
        return dark;
    }
    QByteArray bytes;
    packPage(page, depth, screen.width(), screen.height(), test, bytes);
    return unpackPage(bytes, depth, screen.width(), screen.height(), test);
}

int maxZoom(QSize screen, int limit) {
    const qint64 pixels = std::max<qint64>(1, qint64(screen.width()) * screen.height());
    int zoom = limit;
    while (zoom > 1 && pixels * zoom * zoom > kMaxViewPixels) {
        --zoom;
    }
    return zoom;
}

QImage zoomView(const QImage& source, int zoom, ViewStyle style) {
    const QImage leds = source.format() == QImage::Format_RGB32
                            ? source
                            : source.convertToFormat(QImage::Format_RGB32);
    if (zoom <= 1 || leds.isNull()) {
        return leds;
    }
    QImage view(leds.width() * zoom, leds.height() * zoom, QImage::Format_RGB32);
    const std::vector<int> cover = style == ViewStyle::Dots ? dotCover(zoom) : std::vector<int>();
    QHash<QRgb, std::vector<QRgb>> cells;
    for (int y = 0; y < leds.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(leds.constScanLine(y));
        for (int row = 0; row < zoom; ++row) {
            auto* out = reinterpret_cast<QRgb*>(view.scanLine(y * zoom + row));
            for (int x = 0; x < leds.width(); ++x, out += zoom) {
                if (style == ViewStyle::Squares) {
                    std::fill(out, out + zoom, in[x]);
                    continue;
                }
                auto cell = cells.find(in[x]);
                if (cell == cells.end()) {
                    if (cells.size() > 256) {
                        cells.clear();  // a picture of many colours: keep the cache small
                    }
                    cell = cells.insert(in[x], dotCell(in[x], cover));
                }
                std::memcpy(out, cell->data() + static_cast<size_t>(row) * zoom,
                            sizeof(QRgb) * static_cast<size_t>(zoom));
            }
        }
    }
    return view;
}

QImage pictureLeds(const QImage& picture, const Settings& settings) {
    const QSize screen(settings.WIDTH, settings.HEIGHT);
    return signLeds(stretchToScreen(picture, screen, settings.ADJUST),
                    typeFamily(settings.TYPE).depth, screen,
                    {settings.RG_SWAP, settings.COLOR_SWAP});
}
