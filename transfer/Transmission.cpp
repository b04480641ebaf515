#include "transfer/Transmission.h"

#include "transfer/Frames.h"
#include "transfer/GlyphTable.h"
#include "transfer/Packing.h"
#include "transfer/PageCheck.h"
#include "transfer/PagePreparation.h"

#include <QThread>

#include <deque>
#include <future>

namespace {

// Pictures are decoded a few pages ahead on the other cores; the pages are
// still packed, shown and sent strictly in order.
class PagePipeline {
  public:
    PagePipeline(const PageList& pages, int count, QString folder, QSize screen, bool adjust)
        : m_pages(pages),
          m_count(count),
          m_folder(std::move(folder)),
          m_screen(screen),
          m_adjust(adjust),
          m_ahead(std::max(2, QThread::idealThreadCount() + 1)) {}

    PreparedPage take(int page) {
        while (m_next <= m_count && m_next < page + m_ahead) {
            const QString file = m_pages.item(m_next).FileName;
            m_pending.push_back(
                std::async(std::launch::async, preparePage, file, m_folder, m_screen, m_adjust));
            ++m_next;
        }
        PreparedPage prepared = m_pending.front().get();
        m_pending.pop_front();
        return prepared;
    }

  private:
    const PageList& m_pages;
    int m_count;
    QString m_folder;
    QSize m_screen;
    bool m_adjust;
    int m_ahead;
    int m_next = 1;
    std::deque<std::future<PreparedPage>> m_pending;
};

}  // namespace

QString capacityText(const MemoryMap& map) {
    return QStringLiteral("MAX %1 PAGES").arg(map.capacity());
}

MemoryMap memoryMapFor(const Settings& settings) {
    return memoryMap(typeFamily(settings.TYPE), settings.WIDTH, settings.HEIGHT, settings.SCAN);
}

QString checkSendable(const Settings& settings, const MemoryMap& map) {
    if (settings.BPS < 0 || settings.BPS >= kBpsCount) {
        return QStringLiteral("No link speed is chosen: choose one of %1 under BPS.")
            .arg(bpsTexts().join(QStringLiteral(", ")));
    }
    if (!map.fits()) {
        return QStringLiteral(
                   "The screen of %1 x %2 pixels is too large for the controller "
                   "memory with this module type and scan setting: no page fits.")
            .arg(settings.WIDTH)
            .arg(settings.HEIGHT);
    }
    return {};
}

TransferBuild buildTransfer(const Settings& settings, const PageList& pages, const QString& folder,
                            OperatorSurface* surface) {
    TransferBuild build;
    const TypeFamily family = typeFamily(settings.TYPE);
    build.map = memoryMapFor(settings);
    build.error =
        family.depth == Depth::NotSent
            ? QStringLiteral("Module type %1 cannot be sent.").arg(typeTexts().value(settings.TYPE))
            : checkSendable(settings, build.map);
    if (!build.error.isEmpty()) {
        return build;
    }
    // Every page's file is checked before any is decoded.
    const QStringList findings = checkPages(settings, pages, folder);
    if (!findings.isEmpty()) {
        build.error = unusablePagesMessage(findings);
        return build;
    }
    const MemoryMap& map = build.map;
    const auto num = static_cast<uint8_t>(settings.NUM);
    const QSize screen(settings.WIDTH, settings.HEIGHT);
    const ColourTest test{settings.RG_SWAP, settings.COLOR_SWAP};
    const int count = map.pagesSent(pages.PageCount());
    build.pagesSent = count;

    QByteArray& tx = build.bytes;
    tx.reserve(static_cast<qsizetype>(count) * (map.P + kWriteBlockHeaderBytes) + 1024);
    QStringList unreadable;
    PagePipeline pipeline(pages, count, folder, screen, settings.ADJUST);
    for (int i = 1; i <= count; ++i) {
        appendWriteBlockHeader(tx, num, map.pageBank(i), map.pageAddress(i), map.P);
        const PreparedPage page = pipeline.take(i);
        if (!page.error.isEmpty()) {
            unreadable << QStringLiteral("page %1: %2").arg(i).arg(page.error);
            tx.append(map.P, '\0');  // keeps the layout; the transfer is refused anyway
        } else {
            if (surface) {
                surface->preparingPage(i, page.image);
            }
            packPage(page.image, family.depth, settings.WIDTH, settings.HEIGHT, test, tx);
        }
        if (surface) {
            surface->progress(i, pages.PageCount());
        }
    }
    if (surface) {
        surface->progress(pages.PageCount(), pages.PageCount());
    }
    if (!unreadable.isEmpty()) {
        build.error = unusablePagesMessage(unreadable);
        return build;
    }

    appendWriteBlockHeader(tx, num, kTableBank, kGlyphAddress, kGlyphBytes);
    tx += glyphTable();

    appendPlayTableFrame(tx, num, map, pages, count);
    appendEndFrame(tx, num);
    return build;
}

void appendPlayTableFrame(QByteArray& tx, uint8_t controller, const MemoryMap& map,
                          const PageList& pages, int count) {
    appendWriteBlockHeader(tx, controller, kTableBank, map.A, 2 + 3 * count);
    appendLittleEndian16(tx, count);
    for (int i = 1; i <= count; ++i) {
        const PlayItem& item = pages.item(i);
        tx += static_cast<char>(item.InMode);
        tx += static_cast<char>(item.DispSpeed);
        tx += static_cast<char>(item.DispTime);
    }
}

QByteArray modeFrames(const Settings& settings, const PageList& pages, QString* refusal) {
    QByteArray tx;
    const auto num = static_cast<uint8_t>(settings.NUM);
    if (typeFamily(settings.TYPE).depth != Depth::NotSent) {
        const MemoryMap map = memoryMapFor(settings);
        if (!map.fits()) {
            *refusal = checkSendable(settings, map);
            return {};
        }
        appendPlayTableFrame(tx, num, map, pages, map.pagesSent(pages.PageCount()));
    }
    appendEndFrame(tx, num);
    return tx;
}

QByteArray clockFrame(int num, const QDateTime& now) {
    const QDate date = now.date();
    const QTime time = now.time();
    QByteArray frame;
    appendFrameHeader(frame, static_cast<uint8_t>(num), Command::SetClock);
    frame += static_cast<char>(ToBcd(date.year() % 100));
    frame += static_cast<char>(date.dayOfWeek());  // Monday 1 .. Sunday 7
    for (int value : {date.month(), date.day(), time.hour(), time.minute(), time.second()}) {
        frame += static_cast<char>(ToBcd(value));
    }
    return frame;
}

QByteArray readRequest() {
    QByteArray frame;
    appendFrameHeader(frame, 0x00, Command::ReadParameters);
    return frame;
}
