#pragma once

#include <QImage>
#include <QRect>
#include <QString>

#include <functional>
#include <memory>

// The office suite (LibreOffice) as the importers use it. Every operation
// starts its own office process, unseen, with a private profile folder inside
// the given work folder (so it neither touches the user's own profile nor
// meets an office program the user has open), waits for it with a time limit
// and ends it, together with everything it started, when the limit passes.

// How long an outside program may run, and what to do while waiting for it.
struct OfficeOptions {
    int timeoutMs = 90000;               // for each operation
    std::function<void()> whileWaiting;  // called about every 100 ms meanwhile
};

// Where an office operation stopped.
enum class OfficeFailure {
    None,
    NotStartable,  // missing, would not start, crashed or ran out of time
    CannotOpen,    // the working copy could not be opened
    NoPicture,     // opened, but no picture came out of it
};

// The resolution pages and ranges are taken at: the screen's usual one.
constexpr double kPictureDpi = 96.0;

// A document laid out as fixed pages, one picture per page.
class OfficeDocument {
  public:
    OfficeDocument();
    ~OfficeDocument();
    OfficeDocument(const OfficeDocument&) = delete;
    OfficeDocument& operator=(const OfficeDocument&) = delete;

    // Starts LibreOffice unseen, has it open the working copy read-only, lay
    // it out as pages (a PDF in workFolder) and quit. On failure reason()
    // says what happened.
    OfficeFailure open(const QString& workingCopy, const QString& workFolder,
                       const OfficeOptions& options);
    QString reason() const;
    int pageCount() const;

    // The picture of page index (0-based) at 96 dpi, starting at the
    // top-left of the page's content: the page margins are not part of it.
    // A page with nothing on it gives an empty picture. A null picture with
    // *why set when the page could not be drawn.
    QImage pagePicture(int index, QString* why) const;

  private:
    struct Private;
    std::unique_ptr<Private> d;
};

struct RangePicture {
    OfficeFailure failure = OfficeFailure::None;
    QString reason;  // what went wrong, when failure is set
    int sheetCount = 0;
    QImage picture;  // the range as LibreOffice draws it, at 96 dpi
};

// Starts LibreOffice unseen, opens the working copy read-only without
// updating links, selects A1:T20 of its first sheet, exports exactly that
// selection as a picture, closes the workbook unsaved and quits. A file that
// LibreOffice reads only as plain text is not a workbook: CannotOpen.
RangePicture takeRangePicture(const QString& workingCopy, const QString& workFolder,
                              const OfficeOptions& options);

// The smallest rectangle holding every pixel that differs clearly from the
// page's paper colour (the colour of its top-left pixel). Empty for a page
// with nothing on it.
QRect contentBox(const QImage& page);
