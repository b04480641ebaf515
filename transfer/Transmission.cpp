#include "transfer/Transmission.h"

#include "transfer/Frames.h"
#include "transfer/GlyphTable.h"
#include "transfer/Packing.h"
#include "transfer/PageCheck.h"
#include "transfer/PagePipeline.h"
#include "transfer/SendCheck.h"

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

TransferStream::TransferStream(const Settings& settings, const PageList& pages,
                               const QString& folder, OperatorSurface* surface,
                               PreparedPages* cache, bool collect)
    : m_settings(settings), m_pages(pages), m_surface(surface), m_collect(collect) {
    m_map = memoryMapFor(settings);
    m_refusal =
        typeFamily(settings.TYPE).depth == Depth::NotSent
            ? QStringLiteral("Module type %1 cannot be sent.").arg(typeTexts().value(settings.TYPE))
            : checkSendable(settings, m_map);
    if (!m_refusal.isEmpty()) {
        return;
    }
    m_count = m_map.pagesSent(pages.PageCount());
    m_total = reviewSend(settings, pages, {}).estimate.bytes;
    m_pipeline = std::make_unique<PagePipeline>(settings, pages, m_count, folder, cache);
    // The glyphs need the fonts loaded the first time: not while the line waits.
    m_glyphs = std::async(std::launch::async, glyphTable);
}

TransferStream::~TransferStream() = default;

bool TransferStream::nextFrame(QByteArray* frame, QString* error) {
    frame->clear();
    const auto num = static_cast<uint8_t>(m_settings.NUM);
    if (!m_refusal.isEmpty() || m_next > m_count + 3) {
        return false;
    }
    const int index = m_next++;
    if (index <= m_count) {
        PackedPage page = m_pipeline->take(index);
        if (!page.error.isEmpty()) {
            const QString finding = QStringLiteral("page %1: %2").arg(index).arg(page.error);
            if (!m_collect) {
                *error = finding;
                m_next = m_count + 4;
                return false;
            }
            m_unusable << finding;
            page.bytes = QByteArray(m_map.P, '\0');  // keeps the layout; refused anyway
        } else if (m_surface) {
            m_surface->preparingPage(index, page.image);
        }
        if (m_surface) {
            m_surface->progress(index, m_pages.PageCount());
        }
        appendWriteBlockHeader(*frame, num, m_map.pageBank(index), m_map.pageAddress(index),
                               m_map.P);
        *frame += page.bytes;
        m_content.pages << contentDigest(page.bytes);
        return true;
    }
    if (index == m_count + 1) {
        if (m_surface) {
            m_surface->progress(m_pages.PageCount(), m_pages.PageCount());
        }
        if (!m_unusable.isEmpty()) {
            *error = unusablePagesMessage(m_unusable);
            m_next = m_count + 4;
            return false;
        }
        const QByteArray glyphs = m_glyphs.get();
        appendWriteBlockHeader(*frame, num, kTableBank, kGlyphAddress, kGlyphBytes);
        *frame += glyphs;
        m_content.glyphs = contentDigest(glyphs);
    } else if (index == m_count + 2) {
        appendPlayTableFrame(*frame, num, m_map, m_pages, m_count);
        m_content.playTable = contentDigest(frame->mid(kWriteBlockHeaderBytes));
    } else {
        appendEndFrame(*frame, num);
    }
    return true;
}

TransferBuild buildTransfer(const Settings& settings, const PageList& pages, const QString& folder,
                            OperatorSurface* surface) {
    TransferStream stream(settings, pages, folder, surface, nullptr, true);
    TransferBuild build;
    build.map = stream.map();
    build.error = stream.refusal();
    build.pagesSent = stream.pagesSent();
    if (!build.error.isEmpty()) {
        return build;
    }
    // Every page's file is checked before any is decoded.
    const QStringList findings = checkPages(settings, pages, folder);
    if (!findings.isEmpty()) {
        build.error = unusablePagesMessage(findings);
        return build;
    }
    build.bytes.reserve(stream.totalBytes());
    QByteArray frame;
    while (stream.nextFrame(&frame, &build.error)) {
        build.bytes += frame;
    }
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
