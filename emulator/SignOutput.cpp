#include "emulator/SignOutput.h"

#include "platform/AnimatedPng.h"
#include "platform/AtomicFile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>

#include <algorithm>

namespace {

// Cells of the glyph table.
enum Cell {
    kSpace = 16,
    kColon = 17,
    kDash = 18,
    kMonday = 19,  // 一 .. 六 follow, then 日 for Sunday
    kYear = 26,
    kMonth = 27,
    kDay = 28,
    kWeek = 32,  // 星, then 期
};

int cellWidth(int cell) {
    return cell < 19 ? 8 : 16;
}

int cellOffset(int cell) {
    return cell < 19 ? cell * 16 : 19 * 16 + (cell - 19) * 32;
}

void appendNumber(QList<int>& cells, int value, int digits) {
    const QString text = QStringLiteral("%1").arg(value, digits, 10, QLatin1Char('0'));
    for (const QChar digit : text) {
        cells << digit.digitValue();
    }
}

QByteArray png(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

}  // namespace

QImage clockPicture(const QByteArray& glyphTable, const ControllerClock& clock, bool english,
                    Depth depth) {
    const QDate date = clock.time.date();
    const QTime time = clock.time.time();
    QList<int> lines[2];
    appendNumber(lines[0], date.year(), 4);
    lines[0] << (english ? kDash : kYear);
    appendNumber(lines[0], date.month(), 2);
    lines[0] << (english ? kDash : kMonth);
    appendNumber(lines[0], date.day(), 2);
    if (!english) {
        lines[0] << kDay;
        lines[1] << kWeek << kWeek + 1 << kMonday + std::clamp(clock.weekday, 1, 7) - 1 << kSpace;
    }
    appendNumber(lines[1], time.hour(), 2);
    lines[1] << kColon;
    appendNumber(lines[1], time.minute(), 2);
    lines[1] << kColon;
    appendNumber(lines[1], time.second(), 2);

    int width = 0;
    for (const QList<int>& line : lines) {
        int lineWidth = 0;
        for (const int cell : line) {
            lineWidth += cellWidth(cell);
        }
        width = std::max(width, lineWidth);
    }
    QImage picture(width, 32, QImage::Format_RGB32);
    picture.fill(Qt::black);
    const QRgb lit = depth == Depth::DualColour ? qRgb(255, 255, 0) : qRgb(255, 0, 0);
    for (int row = 0; row < 2; ++row) {
        int left = 0;
        for (const int cell : lines[row]) {
            const int w = cellWidth(cell);
            for (int y = 0; y < 16; ++y) {
                for (int x = 0; x < w; ++x) {
                    const int index = cellOffset(cell) + y * (w / 8) + x / 8;
                    if (index < glyphTable.size() &&
                        (static_cast<uint8_t>(glyphTable[index]) & (0x80 >> (x % 8)))) {
                        picture.setPixel(left + x, 16 * row + y, lit);
                    }
                }
            }
            left += w;
        }
    }
    return picture;
}

QByteArray playListAnimation(const std::vector<ShownPage>& pages) {
    std::vector<AnimationFrame> frames;
    for (const ShownPage& page : pages) {
        frames.push_back({page.image, page.time > 0 ? page.time * 1000 : 100});
    }
    return encodeAnimatedPng(frames);
}

bool SignOutput::write(const QString& name, const QByteArray& bytes, QStringList* problems) {
    QString error;
    const QString path = QDir(folder_).filePath(name);
    if (writeFileAtomically(path, bytes, &error)) {
        return true;
    }
    *problems << QStringLiteral("cannot write %1: %2").arg(path, error);
    return false;
}

QStringList SignOutput::showPages(const std::vector<ShownPage>& pages) {
    QStringList problems;
    const int count = static_cast<int>(pages.size());
    QString list;
    for (int page = 1; page <= count; ++page) {
        const ShownPage& shown = pages[static_cast<size_t>(page - 1)];
        if (write(QStringLiteral("page%1.png").arg(page), png(shown.image), &problems)) {
            writtenPages_.insert(page);
        }
        list += QStringLiteral("page %1: effect %2 speed %3 time %4\n")
                    .arg(page)
                    .arg(shown.effect)
                    .arg(shown.speed)
                    .arg(shown.time);
    }
    // Pictures left from a longer earlier list would show pages the
    // controller no longer plays; only pictures this output wrote go.
    for (auto it = writtenPages_.begin(); it != writtenPages_.end();) {
        if (*it > count) {
            QFile::remove(QDir(folder_).filePath(QStringLiteral("page%1.png").arg(*it)));
            it = writtenPages_.erase(it);
        } else {
            ++it;
        }
    }
    write(QStringLiteral("playlist.txt"), list.toUtf8(), &problems);
    if (animate_ && count > 0) {
        write(QStringLiteral("playlist.png"), playListAnimation(pages), &problems);
    }
    return problems;
}

QStringList SignOutput::showClock(const QImage& clock) {
    QStringList problems;
    write(QStringLiteral("clock.png"), png(clock), &problems);
    return problems;
}
