#include "platform/OfficeSuite.h"

#include "platform/PictureHeader.h"

#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-global.h>
#include <poppler/cpp/poppler-page-renderer.h>
#include <poppler/cpp/poppler-page.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QUrl>

#include <algorithm>
#include <cstdlib>

#include <signal.h>
#include <unistd.h>

namespace {

constexpr int kPollMs = 100;
constexpr int kStartMs = 10000;
// After the workbook is closed the office quits by itself; it gets this long.
constexpr int kQuitMs = 10000;
// Pages larger than this many pixels at 96 dpi are not drawn.
constexpr qint64 kMaxPagePixels = 64LL * 1024 * 1024;
// A pixel differs from the paper when one of its channels is this far off.
constexpr int kInkTolerance = 24;

const char kPython[] = "/usr/bin/python3";

// Runs in Debian's own python3, which has the uno module. Each step it gets
// through is printed on a line of its own, so the caller knows where it
// stopped even when it has to be ended.
const char kRangeScript[] = R"PY(
import sys, time
try:
    import uno
    from com.sun.star.beans import PropertyValue
except Exception as error:
    print("no uno module:", error, file=sys.stderr)
    sys.exit(10)

pipe, source, target, seconds = sys.argv[1], sys.argv[2], sys.argv[3], float(sys.argv[4])

def step(text):
    print(text, flush=True)

def prop(name, value):
    p = PropertyValue()
    p.Name = name
    p.Value = value
    return p

local = uno.getComponentContext()
resolver = local.ServiceManager.createInstanceWithContext(
    "com.sun.star.bridge.UnoUrlResolver", local)
deadline = time.monotonic() + seconds
while True:
    try:
        context = resolver.resolve(
            "uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe)
        break
    except Exception:
        if time.monotonic() > deadline:
            sys.exit(11)
        time.sleep(0.05)
step("started")
desktop = context.ServiceManager.createInstanceWithContext(
    "com.sun.star.frame.Desktop", context)
book = None
try:
    try:
        book = desktop.loadComponentFromURL(
            uno.systemPathToFileUrl(source), "_blank", 0,
            (prop("Hidden", True), prop("ReadOnly", True), prop("UpdateDocMode", 0),
             prop("MacroExecutionMode", 0)))
    except Exception as error:
        print(error, file=sys.stderr)
        book = None
    if book is None or not book.supportsService("com.sun.star.sheet.SpreadsheetDocument"):
        sys.exit(12)
    filters = [a.Value for a in book.getArgs() if a.Name == "FilterName"]
    if filters and filters[0].startswith("Text - txt - csv"):
        print("read only as text:", filters[0], file=sys.stderr)
        sys.exit(12)
    step("opened")
    sheets = book.getSheets()
    step("sheets %d" % sheets.getCount())
    if sheets.getCount() >= 1:
        sheet = sheets.getByIndex(0)
        controller = book.getCurrentController()
        controller.setActiveSheet(sheet)
        controller.select(sheet.getCellRangeByName("A1:T20"))
        book.storeToURL(uno.systemPathToFileUrl(target),
                        (prop("FilterName", "calc_png_Export"), prop("SelectionOnly", True)))
        step("picture")
finally:
    if book is not None:
        try:
            book.close(True)
        except Exception:
            pass
    try:
        desktop.terminate()
    except Exception:
        pass
)PY";

// An outside program in a session of its own, so that it and everything it
// starts can be ended together.
class Child {
  public:
    Child() {
        m_process.setChildProcessModifier([] { ::setsid(); });
    }
    ~Child() { stop(); }

    bool start(const QString& program, const QStringList& arguments,
               const QProcessEnvironment& environment, QString* why) {
        m_process.setProgram(program);
        m_process.setArguments(arguments);
        m_process.setProcessEnvironment(environment);
        m_process.start();
        if (!m_process.waitForStarted(kStartMs)) {
            *why =
                QStringLiteral("%1 could not be started: %2").arg(program, m_process.errorString());
            stop();
            return false;
        }
        m_group = static_cast<pid_t>(m_process.processId());
        return true;
    }

    // Waits up to ms for the program to end; true when it has ended.
    bool waitFor(int ms) {
        if (m_process.state() == QProcess::NotRunning) {
            return true;
        }
        m_process.waitForFinished(ms);
        m_output += m_process.readAllStandardOutput();
        m_errors += m_process.readAllStandardError();
        return m_process.state() == QProcess::NotRunning;
    }

    // Waits until the program ends or the deadline passes.
    bool waitUntil(const QDeadlineTimer& deadline, const OfficeOptions& options) {
        while (!waitFor(static_cast<int>(std::min<qint64>(kPollMs, deadline.remainingTime())))) {
            if (deadline.hasExpired()) {
                return false;
            }
            if (options.whileWaiting) {
                options.whileWaiting();
            }
        }
        return true;
    }

    bool endedNormally() const {
        return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    }
    int exitCode() const { return m_process.exitCode(); }
    // What the program said on standard error, less its notes about Java.
    QString errors() const {
        QStringList lines = QString::fromLocal8Bit(m_errors).split(QLatin1Char('\n'));
        lines.removeIf([](const QString& line) {
            return line.trimmed().isEmpty() || line.contains(QLatin1String("javaldx"));
        });
        return lines.join(QLatin1Char(' ')).trimmed();
    }
    QByteArray output() const { return m_output; }

    // Ends the program and whatever it started that is still running.
    void stop() {
        if (m_group > 0) {
            ::kill(-m_group, SIGKILL);
            m_group = 0;
        }
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(kStartMs);
        }
    }

  private:
    QProcess m_process;
    pid_t m_group = 0;
    QByteArray m_output;
    QByteArray m_errors;
};

QString findOffice(QString* why) {
    const QString path = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (path.isEmpty()) {
        *why = QStringLiteral("LibreOffice (soffice) was not found on PATH");
    }
    return path;
}

QString profileArgument(const QString& workFolder) {
    const QString profile = QDir(workFolder).filePath(QStringLiteral("profile"));
    return QStringLiteral("-env:UserInstallation=") +
           QString::fromLatin1(QUrl::fromLocalFile(profile).toEncoded());
}

QString timeText(int ms) {
    return QStringLiteral("LibreOffice did not finish within %1 s").arg((ms + 999) / 1000);
}

void quietPoppler(const std::string&, void*) {}

}  // namespace

// ---- Documents ---------------------------------------------------------

struct OfficeDocument::Private {
    std::unique_ptr<poppler::document> pdf;
    QString reason;
};

OfficeDocument::OfficeDocument() : d(std::make_unique<Private>()) {}
OfficeDocument::~OfficeDocument() = default;

QString OfficeDocument::reason() const {
    return d->reason;
}

int OfficeDocument::pageCount() const {
    return d->pdf ? d->pdf->pages() : 0;
}

OfficeFailure OfficeDocument::open(const QString& workingCopy, const QString& workFolder,
                                   const OfficeOptions& options) {
    d->pdf.reset();
    d->reason.clear();
    const QString office = findOffice(&d->reason);
    if (office.isEmpty()) {
        return OfficeFailure::NotStartable;
    }
    const QString pdfFolder = QDir(workFolder).filePath(QStringLiteral("pages"));
    QDir().mkpath(pdfFolder);

    // Start unseen, open the copy, lay it out as pages; LibreOffice
    // closes the copy unsaved and quits when the conversion is done.
    Child child;
    const QDeadlineTimer deadline(options.timeoutMs);
    if (!child.start(office,
                     {profileArgument(workFolder), QStringLiteral("--headless"),
                      QStringLiteral("--norestore"), QStringLiteral("--nolockcheck"),
                      QStringLiteral("--convert-to"), QStringLiteral("pdf"),
                      QStringLiteral("--outdir"), pdfFolder, workingCopy},
                     QProcessEnvironment::systemEnvironment(), &d->reason)) {
        return OfficeFailure::NotStartable;
    }
    if (!child.waitUntil(deadline, options)) {
        d->reason = timeText(options.timeoutMs);
        return OfficeFailure::NotStartable;
    }
    child.stop();
    if (!child.endedNormally()) {
        d->reason = QStringLiteral("LibreOffice ended with status %1 %2")
                        .arg(child.exitCode())
                        .arg(child.errors())
                        .trimmed();
        return OfficeFailure::NotStartable;
    }
    const QStringList made =
        QDir(pdfFolder).entryList({QStringLiteral("*.pdf")}, QDir::Files, QDir::Name);
    if (made.isEmpty()) {
        d->reason = child.errors();
        return OfficeFailure::CannotOpen;
    }

    // Count the pages.
    poppler::set_debug_error_function(quietPoppler, nullptr);
    const QByteArray pdfPath = QFile::encodeName(QDir(pdfFolder).filePath(made.first()));
    d->pdf.reset(poppler::document::load_from_file(pdfPath.toStdString()));
    if (!d->pdf || d->pdf->is_locked()) {
        d->pdf.reset();
        d->reason = QStringLiteral("the pages LibreOffice made cannot be read");
        return OfficeFailure::CannotOpen;
    }
    return OfficeFailure::None;
}

QImage OfficeDocument::pagePicture(int index, QString* why) const {
    if (!d->pdf || index < 0 || index >= d->pdf->pages()) {
        *why = QStringLiteral("there is no page %1").arg(index + 1);
        return QImage();
    }
    const std::unique_ptr<poppler::page> page(d->pdf->create_page(index));
    if (!page) {
        *why = QStringLiteral("page %1 cannot be read").arg(index + 1);
        return QImage();
    }
    const poppler::rectf box = page->page_rect();
    const double pixels = box.width() * kPictureDpi / 72.0 * box.height() * kPictureDpi / 72.0;
    if (pixels > static_cast<double>(kMaxPagePixels)) {
        *why = QStringLiteral("page %1 is too large to draw").arg(index + 1);
        return QImage();
    }
    poppler::page_renderer renderer;
    renderer.set_image_format(poppler::image::format_argb32);
    renderer.set_paper_color(0xffffffff);
    // No smoothing: an LED lights or does not, grey edges only blur.
    renderer.set_render_hints(0);
    poppler::image drawn = renderer.render_page(page.get(), kPictureDpi, kPictureDpi);
    if (!drawn.is_valid() || drawn.width() <= 0 || drawn.height() <= 0) {
        *why = QStringLiteral("page %1 cannot be drawn").arg(index + 1);
        return QImage();
    }
    const QImage view(reinterpret_cast<const uchar*>(drawn.const_data()), drawn.width(),
                      drawn.height(), drawn.bytes_per_row(), QImage::Format_ARGB32);
    const QRect content = contentBox(view);
    if (content.isEmpty()) {
        return QImage(0, 0, QImage::Format_RGB32);
    }
    return view.copy(content).convertToFormat(QImage::Format_RGB32);
}

QRect contentBox(const QImage& page) {
    if (page.isNull()) {
        return QRect();
    }
    const QImage image = page.convertToFormat(QImage::Format_RGB32);
    const QRgb paper = image.pixel(0, 0);
    auto differs = [paper](QRgb pixel) {
        return std::abs(qRed(pixel) - qRed(paper)) > kInkTolerance ||
               std::abs(qGreen(pixel) - qGreen(paper)) > kInkTolerance ||
               std::abs(qBlue(pixel) - qBlue(paper)) > kInkTolerance;
    };
    int left = image.width();
    int right = -1;
    int top = -1;
    int bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        bool any = false;
        for (int x = 0; x < image.width(); ++x) {
            if (differs(line[x])) {
                left = std::min(left, x);
                right = std::max(right, x);
                any = true;
            }
        }
        if (any) {
            top = top < 0 ? y : top;
            bottom = y;
        }
    }
    if (top < 0) {
        return QRect();
    }
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

// ---- Spreadsheets ------------------------------------------------------

RangePicture takeRangePicture(const QString& workingCopy, const QString& workFolder,
                              const OfficeOptions& options) {
    RangePicture result;
    auto fail = [&result](OfficeFailure failure, const QString& reason) {
        result.failure = failure;
        result.reason = reason;
        return result;
    };
    QString why;
    const QString office = findOffice(&why);
    if (office.isEmpty()) {
        return fail(OfficeFailure::NotStartable, why);
    }
    if (!QFileInfo(QString::fromLatin1(kPython)).isExecutable()) {
        return fail(OfficeFailure::NotStartable,
                    QStringLiteral("%1 is missing").arg(QString::fromLatin1(kPython)));
    }
    const QDir folder(workFolder);
    const QString scriptPath = folder.filePath(QStringLiteral("range.py"));
    const QString target = folder.filePath(QStringLiteral("range.png"));
    QFile scriptFile(scriptPath);
    if (!scriptFile.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        scriptFile.write(kRangeScript) != static_cast<qint64>(sizeof(kRangeScript) - 1)) {
        return fail(OfficeFailure::NotStartable, scriptFile.errorString());
    }
    scriptFile.close();

    // Start the office unseen, listening on a pipe of its own.
    const QString pipe = QStringLiteral("marquee-%1-%2")
                             .arg(QCoreApplication::applicationPid())
                             .arg(QRandomGenerator::global()->generate64(), 0, 16);
    const QDeadlineTimer deadline(options.timeoutMs);
    Child server;
    if (!server.start(
            office,
            {profileArgument(workFolder), QStringLiteral("--headless"),
             QStringLiteral("--invisible"), QStringLiteral("--norestore"),
             QStringLiteral("--nologo"), QStringLiteral("--nodefault"),
             QStringLiteral("--nolockcheck"),
             QStringLiteral("--accept=pipe,name=%1;urp;StarOffice.ComponentContext").arg(pipe)},
            QProcessEnvironment::systemEnvironment(), &why)) {
        return fail(OfficeFailure::NotStartable, why);
    }

    // The script opens, selects, exports, closes and quits.
    // Isolated: no PYTHONPATH or user site of whoever runs us gets in.
    Child script;
    if (!script.start(QString::fromLatin1(kPython),
                      {QStringLiteral("-I"), scriptPath, pipe, workingCopy, target,
                       QString::number(std::max(1, options.timeoutMs / 1000))},
                      QProcessEnvironment::systemEnvironment(), &why)) {
        return fail(OfficeFailure::NotStartable, why);
    }
    bool timedOut = false;
    QDeadlineTimer serverGone;  // runs from the moment the office is seen to have ended
    bool serverEnded = false;
    while (!script.waitFor(kPollMs)) {
        if (deadline.hasExpired()) {
            timedOut = true;
            break;
        }
        if (!serverEnded && server.waitFor(0)) {
            serverEnded = true;
            serverGone.setRemainingTime(5000);
        }
        // The office ended before the script reached it: it never will. Once
        // the script is connected it is left to finish (the overall limit
        // still holds): on a busy machine the export takes its time.
        if (serverEnded && serverGone.hasExpired() && !script.output().contains("started")) {
            break;
        }
        if (options.whileWaiting) {
            options.whileWaiting();
        }
    }
    script.stop();
    const QStringList steps =
        QString::fromLocal8Bit(script.output()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (!steps.contains(QStringLiteral("started"))) {
        QString reason = QStringLiteral("LibreOffice could not be reached %1").arg(server.errors());
        if (timedOut) {
            reason = timeText(options.timeoutMs);
        } else if (script.exitCode() == 10) {
            reason = script.errors();  // no uno module
        }
        return fail(OfficeFailure::NotStartable, reason.trimmed());
    }
    if (!timedOut) {
        server.waitUntil(QDeadlineTimer(kQuitMs), OfficeOptions{kQuitMs, options.whileWaiting});
    }
    server.stop();
    if (!steps.contains(QStringLiteral("opened"))) {
        return fail(OfficeFailure::CannotOpen,
                    timedOut ? timeText(options.timeoutMs) : script.errors());
    }
    for (const QString& line : steps) {
        if (line.startsWith(QLatin1String("sheets "))) {
            result.sheetCount = line.mid(7).toInt();
        }
    }
    if (result.sheetCount < 1) {
        return fail(OfficeFailure::NoPicture, QStringLiteral("the workbook has no sheet"));
    }
    if (!steps.contains(QStringLiteral("picture"))) {
        return fail(OfficeFailure::NoPicture,
                    timedOut ? timeText(options.timeoutMs) : script.errors());
    }
    // Checked as any page picture is (a regular file, within the pixel
    // budget), then read with its transparency: the range's empty cells are
    // transparent and are laid on white paper later.
    const PictureHeader header = probePicture(target, QSize());
    QImage picture;
    if (!header.error.isEmpty() || !picture.load(target, "PNG")) {
        return fail(
            OfficeFailure::NoPicture,
            QStringLiteral("the range picture cannot be read (%1)")
                .arg(header.error.isEmpty() ? QStringLiteral("not a PNG picture") : header.error));
    }
    result.picture = picture;
    return result;
}
