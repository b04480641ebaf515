#include "transfer/GlyphTable.h"

#include "platform/Fonts.h"
#include "transfer/MemoryMap.h"

#include <QFontMetrics>
#include <QPainter>

const QStringList& glyphCharacters() {
    static const QStringList characters = {
        QStringLiteral("0"),  QStringLiteral("1"),  QStringLiteral("2"),  QStringLiteral("3"),
        QStringLiteral("4"),  QStringLiteral("5"),  QStringLiteral("6"),  QStringLiteral("7"),
        QStringLiteral("8"),  QStringLiteral("9"),  QStringLiteral("A"),  QStringLiteral("B"),
        QStringLiteral("C"),  QStringLiteral("D"),  QStringLiteral("D"),  QStringLiteral("F"),
        QStringLiteral(" "),  QStringLiteral(":"),  QStringLiteral("-"),  QStringLiteral("一"),
        QStringLiteral("二"), QStringLiteral("三"), QStringLiteral("四"), QStringLiteral("五"),
        QStringLiteral("六"), QStringLiteral("日"), QStringLiteral("年"), QStringLiteral("月"),
        QStringLiteral("日"), QStringLiteral("时"), QStringLiteral("分"), QStringLiteral("秒"),
        QStringLiteral("星"), QStringLiteral("期"), QStringLiteral("℃"),
    };
    return characters;
}

int glyphCellWidth(int index) {
    return index < 19 ? 8 : 16;
}

QByteArray glyphTable() {
    static const QByteArray table = [] {
        QByteArray bytes;
        bytes.reserve(kGlyphBytes);
        const QFont font = crispFont(QStringLiteral("宋体"), kGlyphCellHeight);
        const QFontMetrics metrics(font);
        QImage cell(16, kGlyphCellHeight, QImage::Format_RGB32);
        for (int i = 0; i < glyphCharacters().size(); ++i) {
            const int width = glyphCellWidth(i);
            cell.fill(Qt::black);
            {
                QPainter painter(&cell);
                painter.setFont(font);
                painter.setPen(QColor(255, 255, 0));
                painter.setBackgroundMode(Qt::OpaqueMode);
                painter.setBackground(Qt::black);
                painter.setClipRect(0, 0, width, kGlyphCellHeight);
                // On the baseline, so the cell holds the whole glyph.
                painter.drawText(QPoint(0, metrics.ascent()), glyphCharacters()[i]);
            }
            for (int y = 0; y < kGlyphCellHeight; ++y) {
                const auto* line = reinterpret_cast<const QRgb*>(cell.constScanLine(y));
                for (int b = 0; b < width / 8; ++b) {
                    unsigned byte = 0;
                    for (int x = 0; x < 8; ++x) {
                        if ((line[8 * b + x] & 0xFFFFFF) != 0) {
                            byte |= 0x80u >> x;
                        }
                    }
                    bytes += static_cast<char>(byte);
                }
            }
        }
        return bytes;
    }();
    return table;
}

QImage glyphTablePicture(const QByteArray& table) {
    int totalWidth = 0;
    for (int i = 0; i < glyphCharacters().size(); ++i) {
        totalWidth += glyphCellWidth(i);
    }
    QImage picture(totalWidth, kGlyphCellHeight, QImage::Format_RGB32);
    picture.fill(Qt::black);
    int offset = 0;
    int left = 0;
    for (int i = 0; i < glyphCharacters().size(); ++i) {
        const int width = glyphCellWidth(i);
        for (int y = 0; y < kGlyphCellHeight; ++y) {
            for (int x = 0; x < width; ++x) {
                const int index = offset + y * (width / 8) + x / 8;
                if (index < table.size() &&
                    (static_cast<unsigned char>(table[index]) & (0x80u >> (x % 8)))) {
                    picture.setPixel(left + x, y, qRgb(255, 255, 255));
                }
            }
        }
        offset += (width / 8) * kGlyphCellHeight;
        left += width;
    }
    return picture;
}
