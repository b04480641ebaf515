#include "transfer/ChangedPages.h"

#include "transfer/Frames.h"
#include "transfer/GlyphTable.h"
#include "transfer/PageCheck.h"
#include "transfer/PagePipeline.h"
#include "transfer/SendCheck.h"
#include "transfer/Transmission.h"

#include <QCryptographicHash>

namespace {

constexpr int kEndFrameBytes = 6;

qint64 lineMs(qint64 bytes, int baud) {
    return baud > 0 ? bytes * 10 * 1000 / baud : 0;
}

// "3.1 KB", "102 KB"; "840 bytes" below a kilobyte.
QString sizeText(qint64 bytes) {
    if (bytes < 1000) {
        return QStringLiteral("%1 bytes").arg(bytes);
    }
    const double kb = bytes / 1000.0;
    return kb < 10 ? QStringLiteral("%1 KB").arg(kb, 0, 'f', 1)
                   : QStringLiteral("%1 KB").arg(qRound64(kb));
}

// Whole seconds, rounded up: "3 s", "107 s".
QString secondsText(qint64 ms) {
    return QStringLiteral("%1 s").arg((ms + 999) / 1000);
}

}  // namespace

QByteArray contentDigest(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

QByteArray playTableBytes(const MemoryMap& map, const PageList& pages, int count) {
    QByteArray frame;
    appendPlayTableFrame(frame, 0, map, pages, count);
    return frame.mid(kWriteBlockHeaderBytes);
}

ChangePlan planChanges(const Settings& settings, const PageList& pages, const QString& folder,
                       const ControllerContent& held, PreparedPages* cache,
                       OperatorSurface* surface) {
    ChangePlan plan;
    plan.map = memoryMapFor(settings);
    plan.error =
        typeFamily(settings.TYPE).depth == Depth::NotSent
            ? QStringLiteral("Module type %1 cannot be sent.").arg(typeTexts().value(settings.TYPE))
            : checkSendable(settings, plan.map);
    if (!plan.error.isEmpty()) {
        return plan;
    }
    plan.pagesSent = plan.map.pagesSent(pages.PageCount());
    plan.allBytes = reviewSend(settings, pages, {}).estimate.bytes;
    PagePipeline pipeline(settings, pages, plan.pagesSent, folder, cache);
    QStringList unusable;
    for (int slot = 1; slot <= plan.pagesSent; ++slot) {
        PackedPage page = pipeline.take(slot);
        if (!page.error.isEmpty()) {
            unusable << QStringLiteral("page %1: %2").arg(slot).arg(page.error);
            continue;
        }
        if (surface) {
            surface->preparingPage(slot, page.image);
            surface->progress(slot, pages.PageCount());
        }
        const QByteArray digest = contentDigest(page.bytes);
        plan.after.pages << digest;
        if (slot > held.pages.size() || held.pages[slot - 1] != digest) {
            plan.changed.push_back(slot);
            plan.packed.push_back(page.bytes);
            plan.bytes += kWriteBlockHeaderBytes + plan.map.P;
        }
    }
    if (!unusable.isEmpty()) {
        plan.error = unusablePagesMessage(unusable);
        plan.changed.clear();
        plan.packed.clear();
        return plan;
    }
    const QByteArray glyphs = glyphTable();
    plan.after.glyphs = contentDigest(glyphs);
    if (plan.after.glyphs != held.glyphs) {
        plan.glyphs = glyphs;
        plan.bytes += kWriteBlockHeaderBytes + kGlyphBytes;
    }
    const QByteArray table = playTableBytes(plan.map, pages, plan.pagesSent);
    plan.after.playTable = contentDigest(table);
    plan.bytes += kWriteBlockHeaderBytes + table.size() + kEndFrameBytes;
    return plan;
}

ChangedPagesStream::ChangedPagesStream(const Settings& settings, const PageList& pages,
                                       ChangePlan plan, OperatorSurface* surface)
    : m_num(static_cast<uint8_t>(settings.NUM)),
      m_pages(pages),
      m_plan(std::move(plan)),
      m_surface(surface) {}

bool ChangedPagesStream::nextFrame(QByteArray* frame, QString* error) {
    frame->clear();
    if (!m_plan.error.isEmpty()) {
        *error = m_plan.error;
        return false;
    }
    const size_t changed = m_plan.changed.size();
    const size_t index = m_next++;
    if (index < changed) {
        const int slot = m_plan.changed[index];
        appendWriteBlockHeader(*frame, m_num, m_plan.map.pageBank(slot),
                               m_plan.map.pageAddress(slot), m_plan.map.P);
        *frame += m_plan.packed[index];
        m_plan.packed[index].clear();  // written once
        if (m_surface) {
            m_surface->progress(slot, m_pages.PageCount());
        }
        return true;
    }
    if (index == changed) {
        if (m_surface) {
            m_surface->progress(m_pages.PageCount(), m_pages.PageCount());
        }
        if (!m_plan.glyphs.isEmpty()) {
            appendWriteBlockHeader(*frame, m_num, kTableBank, kGlyphAddress, kGlyphBytes);
            *frame += m_plan.glyphs;
            return true;
        }
        return nextFrame(frame, error);  // the controller holds these glyphs already
    }
    if (index == changed + 1) {
        appendPlayTableFrame(*frame, m_num, m_plan.map, m_pages, m_plan.pagesSent);
        return true;
    }
    if (index == changed + 2) {
        appendEndFrame(*frame, m_num);
        return true;
    }
    return false;
}

QString changedEstimateText(const ChangePlan& plan, int baud) {
    return QStringLiteral("changed pages only: %1 of %2 pages, %3, %4 at %5 Bd; all pages: %6, %7")
        .arg(plan.changed.size())
        .arg(plan.pagesSent)
        .arg(sizeText(plan.bytes), secondsText(lineMs(plan.bytes, baud)))
        .arg(baud)
        .arg(sizeText(plan.allBytes), secondsText(lineMs(plan.allBytes, baud)));
}
