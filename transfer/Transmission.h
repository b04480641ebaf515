#pragma once

#include "core/OperatorSurface.h"
#include "core/Settings.h"
#include "pages/PageList.h"
#include "transfer/ChangedPages.h"
#include "transfer/FrameSource.h"
#include "transfer/MemoryMap.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <future>
#include <memory>

class PagePipeline;
class PreparedPages;

// Whole transmissions, built in memory in wire order; nothing here touches
// a port.

// ---- SEND ------------------------------------------------------------------
//   per page i = 1..N  write block: bank (i-1) div S, address 0x0500 + ((i-1) mod S) * P,
//                      length P, then the packed page
//   glyph table        write block: bank 7, address 0x0D04, length 816
//   play table         write block: bank 7, address A, length 2 + 3N:
//                      N (16-bit), then InMode, DispSpeed, DispTime of each page
//   end frame          NUM 55 AA 55 AA 01
struct TransferBuild {
    QByteArray bytes;
    MemoryMap map;
    int pagesSent = 0;
    QString error;  // bad input: nothing may be sent
};

// Checks that the settings can be sent at all: the link speed is one of the
// five, and at least one page fits the controller memory. Empty when fine.
QString checkSendable(const Settings& settings, const MemoryMap& map);

// "MAX " n " PAGES".
QString capacityText(const MemoryMap& map);

// The memory map of the settings' screen and module type.
MemoryMap memoryMapFor(const Settings& settings);

// Builds the transfer of the list's pages with the settings' module type,
// all of it, in memory (what `build` writes). Reports each page as it is
// prepared and the progress through surface (may be null). A page whose
// picture cannot be loaded makes it an error naming every such page.
TransferBuild buildTransfer(const Settings& settings, const PageList& pages, const QString& folder,
                            OperatorSurface* surface);

// The same transfer, frame by frame, for writing while later pages are
// still being decoded and packed: the layout and the total are known at
// once, decoding starts when it is made, and a frame is ready as soon as
// its page is. A page that turns out unusable ends it before that page's
// frame, with the page named (or, with collect, is written as zeros and
// the stream ends after the last page, naming every such page).
class TransferStream : public FrameSource {
  public:
    TransferStream(const Settings& settings, const PageList& pages, const QString& folder,
                   OperatorSurface* surface, PreparedPages* cache = nullptr, bool collect = false);
    ~TransferStream() override;

    // Why nothing can be sent (the module type or the screen); empty when fine.
    const QString& refusal() const { return m_refusal; }
    const MemoryMap& map() const { return m_map; }
    int pagesSent() const { return m_count; }
    // What the controller holds once every frame handed out so far has
    // arrived: digests of the pages, the glyph table and the play table.
    const ControllerContent& content() const { return m_content; }

    qint64 totalBytes() const override { return m_total; }
    bool nextFrame(QByteArray* frame, QString* error) override;

  private:
    Settings m_settings;
    PageList m_pages;
    OperatorSurface* m_surface;
    bool m_collect;
    MemoryMap m_map;
    QString m_refusal;
    int m_count = 0;
    qint64 m_total = 0;
    int m_next = 1;  // pages 1..N, then the glyph table, the play table, the end
    QStringList m_unusable;
    ControllerContent m_content;
    std::unique_ptr<PagePipeline> m_pipeline;
    std::future<QByteArray> m_glyphs;  // drawn while the pages go out
};

// The play table frame: a write block to bank 7 at A holding N (16-bit)
// and then InMode, DispSpeed, DispTime of pages 1..N (speed before time).
void appendPlayTableFrame(QByteArray& tx, uint8_t controller, const MemoryMap& map,
                          const PageList& pages, int count);

// ---- MODE ------------------------------------------------------------------
// The play table alone, then the end frame; for a type without a family only
// the end frame. Empty with a reason when the screen is too large for the
// memory.
QByteArray modeFrames(const Settings& settings, const PageList& pages, QString* refusal);

// ---- TIME ------------------------------------------------------------------
// Clock frame, 13 bytes: NUM 55 AA 55 AA 02, then year (mod 100), weekday
// (Monday 1 .. Sunday 7, binary), month, day, hour, minute, second, all but
// the weekday in packed BCD. One reading of the clock gives every field.
QByteArray clockFrame(int num, const QDateTime& now);

// ---- READ PARA -------------------------------------------------------------
// Request: 00 55 AA 55 AA 05, whatever NUM is.
QByteArray readRequest();
