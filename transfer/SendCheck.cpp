#include "transfer/SendCheck.h"

#include "core/TransferLog.h"
#include "transfer/Frames.h"
#include "transfer/MemoryMap.h"
#include "transfer/Transmission.h"

#include <QLocale>

namespace {

constexpr int kEndFrameBytes = 6;

qint64 playTableFrameBytes(int pages) {
    return kWriteBlockHeaderBytes + 2 + 3 * pages;
}

// The checks both commands share; false when nothing can be sent.
bool reviewLayout(const Settings& settings, const PageList& pages, SendReview* review,
                  MemoryMap* map) {
    *map = memoryMapFor(settings);
    const QString unsendable = checkSendable(settings, *map);
    if (!unsendable.isEmpty()) {
        review->findings.push_back({SendFinding::Kind::NotSendable, unsendable, true});
        return false;
    }
    SendEstimate& estimate = review->estimate;
    estimate.pagesThatFit = map->capacity();
    estimate.pagesSent = map->pagesSent(pages.PageCount());
    estimate.banksUsed = (estimate.pagesSent + map->S - 1) / map->S;
    if (estimate.pagesSent < pages.PageCount()) {
        const int first = estimate.pagesSent + 1;
        const QString left =
            first == pages.PageCount()
                ? QStringLiteral("page %1 is").arg(first)
                : QStringLiteral("pages %1 to %2 are").arg(first).arg(pages.PageCount());
        review->findings.push_back(
            {SendFinding::Kind::Capacity,
             QStringLiteral("The list has %1 pages, but the controller holds %2 for this screen "
                            "and module type: %3 not sent.")
                 .arg(pages.PageCount())
                 .arg(estimate.pagesThatFit)
                 .arg(left),
             false});
    }
    return true;
}

void setLineTime(const Settings& settings, SendEstimate* estimate) {
    const int baud = settings.baudRate();
    estimate->lineMs = baud > 0 ? estimate->bytes * 10 * 1000 / baud : 0;
}

}  // namespace

bool SendReview::canSend() const {
    for (const SendFinding& finding : findings) {
        if (finding.blocking) {
            return false;
        }
    }
    return true;
}

QString SendReview::estimateText(int baud) const {
    const QLocale locale(QLocale::English);
    return QStringLiteral(
               "%1 bytes, %2 on the line at %3 Bd; %4 of %5 page banks used; %6 pages "
               "fit, %7 sent.")
        .arg(locale.toString(estimate.bytes), durationText(estimate.lineMs))
        .arg(baud)
        .arg(estimate.banksUsed)
        .arg(kPageBanks)
        .arg(estimate.pagesThatFit)
        .arg(estimate.pagesSent);
}

QStringList SendReview::texts() const {
    QStringList lines;
    for (const SendFinding& finding : findings) {
        lines << finding.text;
    }
    return lines;
}

SendReview reviewSend(const Settings& settings, const PageList& pages,
                      const QStringList& pictureFindings) {
    SendReview review;
    const Depth depth = typeFamily(settings.TYPE).depth;
    if (depth == Depth::NotSent) {
        return review;
    }
    for (const QString& text : pictureFindings) {
        review.findings.push_back({SendFinding::Kind::Picture, text, true});
    }
    MemoryMap map;
    if (!reviewLayout(settings, pages, &review, &map)) {
        return review;
    }
    if (settings.WIDTH % 8 != 0) {
        review.findings.push_back(
            {SendFinding::Kind::ColumnsCut,
             QStringLiteral("WIDTH %1 is not a multiple of 8: every page is sent %2 pixels wide, "
                            "and its rightmost %3 columns are cut.")
                 .arg(settings.WIDTH)
                 .arg(settings.WIDTH / 8 * 8)
                 .arg(settings.WIDTH % 8),
             false});
    }
    SendEstimate& estimate = review.estimate;
    estimate.bytes = qint64(estimate.pagesSent) * (kWriteBlockHeaderBytes + map.P) +
                     kWriteBlockHeaderBytes + kGlyphBytes +
                     playTableFrameBytes(estimate.pagesSent) + kEndFrameBytes;
    setLineTime(settings, &estimate);
    return review;
}

SendReview reviewMode(const Settings& settings, const PageList& pages) {
    SendReview review;
    if (typeFamily(settings.TYPE).depth == Depth::NotSent) {
        review.estimate.bytes = kEndFrameBytes;  // the end frame alone
    } else {
        MemoryMap map;
        if (!reviewLayout(settings, pages, &review, &map)) {
            return review;
        }
        review.estimate.bytes = playTableFrameBytes(review.estimate.pagesSent) + kEndFrameBytes;
    }
    setLineTime(settings, &review.estimate);
    return review;
}
