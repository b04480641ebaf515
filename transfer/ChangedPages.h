#pragma once

#include "core/OperatorSurface.h"
#include "core/Settings.h"
#include "pages/PageList.h"
#include "transfer/FrameSource.h"
#include "transfer/MemoryMap.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <vector>

class PreparedPages;

// What a controller holds after a transfer, as digests (SHA-256) of the
// bytes written: each page slot 1..N, the glyph table and the play table.
// Slots are compared by number: slot k always lands at the same bank and
// address for the same screen and module type.
struct ControllerContent {
    QList<QByteArray> pages;  // slot 1 first
    QByteArray glyphs;
    QByteArray playTable;

    bool operator==(const ControllerContent& other) const {
        return pages == other.pages && glyphs == other.glyphs && playTable == other.playTable;
    }
};

// The digest kept for a block of bytes.
QByteArray contentDigest(const QByteArray& bytes);

// The play table frame's data as it is written for the list's first count
// pages (the digest's input).
QByteArray playTableBytes(const MemoryMap& map, const PageList& pages, int count);

// The transfer of the pages that differ from what the controller holds:
// page frames of the slots whose bytes differ (and of slots it does not
// hold), the glyph table only when it differs, then the play table and the
// end frame, each frame exactly as the whole transfer writes it.
struct ChangePlan {
    MemoryMap map;
    int pagesSent = 0;               // N
    std::vector<int> changed;        // the slots to write, ascending
    std::vector<QByteArray> packed;  // their packed bytes, by position in changed
    QByteArray glyphs;               // the glyph table; empty when it is not written
    ControllerContent after;         // what the controller holds once it is done
    qint64 bytes = 0;                // the transmission
    qint64 allBytes = 0;             // the whole transfer, for comparison
    QString error;                   // why nothing may be sent (a page unusable, the screen)
};

// Prepares every page (from cache where it holds them) and compares it
// with held. Reports the pages as they are prepared through surface (may
// be null).
ChangePlan planChanges(const Settings& settings, const PageList& pages, const QString& folder,
                       const ControllerContent& held, PreparedPages* cache,
                       OperatorSurface* surface);

// The transmission of a plan, frame by frame.
class ChangedPagesStream : public FrameSource {
  public:
    ChangedPagesStream(const Settings& settings, const PageList& pages, ChangePlan plan,
                       OperatorSurface* surface);

    qint64 totalBytes() const override { return m_plan.bytes; }
    bool nextFrame(QByteArray* frame, QString* error) override;
    const ChangePlan& plan() const { return m_plan; }

  private:
    uint8_t m_num;
    PageList m_pages;
    ChangePlan m_plan;
    OperatorSurface* m_surface;
    size_t m_next = 0;  // changed pages, then glyphs, play table, end
};

// "1 of 40 pages, 3.1 KB, 3 s at 9600 Bd" and "102 KB, 107 s": the two
// estimates of a changed transfer, for the operator.
QString changedEstimateText(const ChangePlan& plan, int baud);
