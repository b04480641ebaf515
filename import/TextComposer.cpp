#include "import/TextComposer.h"

#include "platform/AtomicFile.h"
#include "platform/Fonts.h"
#include "platform/PictureFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QStringDecoder>
#include <QTextLayout>
#include <QtMath>

#include <algorithm>
#include <cstdlib>

// ---- Colours -------------------------------------------------------------

const std::array<NamedColour, 8>& colourTable() {
    static const std::array<NamedColour, 8> table = {{
        {"black", qRgb(0, 0, 0)},
        {"red", qRgb(255, 0, 0)},
        {"green", qRgb(0, 128, 0)},
        {"blue", qRgb(0, 0, 255)},
        {"yellow", qRgb(255, 255, 0)},
        {"purple", qRgb(255, 0, 255)},
        {"gray", qRgb(0, 255, 255)},
        {"white", qRgb(255, 255, 255)},
    }};
    return table;
}

QStringList colourNames() {
    QStringList names;
    for (const NamedColour& colour : colourTable()) {
        names << QString::fromLatin1(colour.name);
    }
    return names;
}

int colourIndex(const QString& name) {
    return static_cast<int>(colourNames().indexOf(name));
}

QColor colourAt(int index) {
    if (index < 0 || index >= static_cast<int>(colourTable().size())) {
        return Qt::black;
    }
    return QColor(colourTable()[static_cast<size_t>(index)].rgb);
}

// ---- Font and defaults ---------------------------------------------------

QString defaultTextFace() {
    return QStringLiteral("細明體");
}

QFont defaultTextFont() {
    return crispFont(defaultTextFace(), kDefaultTextPixelSize);
}

QColor defaultTextColour() {
    return QColor(255, 255, 0);
}

QFont composerFont(const QFont& chosen) {
    QFont font = chosen;
    if (font.pixelSize() <= 0) {
        font.setPixelSize(std::max(1, QFontInfo(chosen).pixelSize()));
    }
    font.setStyleStrategy(QFont::NoAntialias);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

int defaultLinesPerPage(int height, const QFont& font) {
    const int fontHeight = std::max(1, std::abs(composerFont(font).pixelSize()));
    return std::clamp(height / fontHeight, kMinLinesPerPage, kMaxLinesPerPage);
}

// ---- Text ----------------------------------------------------------------

QString decodeText(const QByteArray& bytes) {
    return decodeWith(bytes, TextEncoding::Auto);
}

TextFileLoad readTextFile(const QString& path) {
    TextFileLoad load;
    QByteArray data;
    QString error;
    if (!readWholeFile(path, kMaxTextFileBytes, &data, &error)) {
        load.error = QCoreApplication::translate("Import", "Cannot read %1: %2").arg(path, error);
        return load;
    }
    load.bytes = data;
    load.encoding = detectEncoding(data);
    load.text = decodeWith(data, load.encoding);
    return load;
}

QString normalizeLineBreaks(const QString& text) {
    QString normal = text;
    normal.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normal.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    normal.replace(QChar::LineSeparator, QLatin1Char('\n'));
    normal.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return normal;
}

namespace {

// The hard lines of a text; a final line break ends the last line.
QStringList hardLines(const QString& text) {
    if (text.isEmpty()) {
        return {};
    }
    QString normal = normalizeLineBreaks(text);
    if (normal.endsWith(QLatin1Char('\n'))) {
        normal.chop(1);
    }
    return normal.split(QLatin1Char('\n'));
}

// One line of text laid out without wrapping; trailing blanks count.
void layOutOneLine(QTextLayout& layout) {
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setFlags(QTextOption::IncludeTrailingSpaces);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid()) {
        line.setNumColumns(static_cast<int>(layout.text().size()));
    }
    layout.endLayout();
}

int advanceOf(const QTextLayout& layout) {
    return layout.lineCount() > 0 ? qCeil(layout.lineAt(0).horizontalAdvance()) : 0;
}

// The width of a long text, measured piece by piece so that no single
// measurement grows past what the text engine can count in.
qint64 estimatedWidth(const QString& text, const QFont& font) {
    constexpr qsizetype kPiece = 1024;
    const QFontMetrics metrics(font);
    qint64 width = 0;
    for (qsizetype start = 0; start < text.size();) {
        qsizetype length = std::min(kPiece, text.size() - start);
        if (start + length < text.size() && text[start + length - 1].isHighSurrogate()) {
            ++length;
        }
        width += metrics.horizontalAdvance(text.mid(start, length));
        start += length;
    }
    return width;
}

int pagesFor(qint64 amount, qint64 perPage) {
    const qint64 pages = amount / perPage + (amount % perPage != 0 ? 1 : 0);
    return static_cast<int>(std::min<qint64>(pages, 1 << 30));
}

QString tooManyPages(int needed, int room) {
    return QCoreApplication::translate(
               "Import",
               "The text needs %1 pages, but the list can take only %2 more (it holds at "
               "most %3 pages): no page was written.")
        .arg(needed)
        .arg(room)
        .arg(PageList::kMaxPages);
}

}  // namespace

QStringList displayedLines(const QString& text, const QFont& font, int wrapWidth, bool wordWrap) {
    const QStringList paragraphs = hardLines(text);
    if (!wordWrap) {
        return paragraphs;
    }
    const QFont drawn = composerFont(font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    QStringList lines;
    for (const QString& paragraph : paragraphs) {
        if (paragraph.isEmpty()) {
            lines << paragraph;
            continue;
        }
        QTextLayout layout(paragraph, drawn);
        layout.setCacheEnabled(false);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(std::max(1, wrapWidth));
        }
        layout.endLayout();
        for (int i = 0; i < layout.lineCount(); ++i) {
            const QTextLine line = layout.lineAt(i);
            QString piece = paragraph.mid(line.textStart(), line.textLength());
            if (i + 1 < layout.lineCount()) {
                // The blanks at a wrap point are the break itself.
                while (!piece.isEmpty() && piece.back().isSpace()) {
                    piece.chop(1);
                }
            }
            lines << piece;
        }
    }
    return lines;
}

QString continuousText(const QString& text) {
    return hardLines(text).join(QLatin1Char(' '));
}

// ---- Pages ---------------------------------------------------------------

void clearPage(QImage& bitmap, QSize screen, const QColor& background) {
    if (bitmap.size() != screen || bitmap.format() != QImage::Format_RGB32) {
        bitmap = QImage(screen, QImage::Format_RGB32);
    }
    QPainter painter(&bitmap);
    painter.setPen(background);
    painter.setBrush(background);
    painter.fillRect(QRect(QPoint(0, 0), screen), background);
}

namespace {

void drawLaidOut(QPainter& painter, QTextLayout& layout, int x, int y, int ascent,
                 const TextStyle& style) {
    if (layout.lineCount() == 0) {
        return;
    }
    // The top of the text cell at y: the baseline lies the font's ascent
    // below it, whatever taller fallback glyphs the line holds.
    const QPointF origin(x, y + ascent - layout.lineAt(0).ascent());
    painter.setPen(style.shadow);
    layout.draw(&painter, origin + QPointF(1, 1));
    painter.setPen(style.text);
    layout.draw(&painter, origin);
}

}  // namespace

void drawWithShadow(QPainter& painter, const QString& s, int x, int y, const TextStyle& style) {
    const QFont font = composerFont(style.font);
    QTextLayout layout(s, font);
    layOutOneLine(layout);
    drawLaidOut(painter, layout, x, y, QFontMetrics(font).ascent(), style);
}

TextComposition::TextComposition(const QString& text, QSize screen, const ComposeOptions& options,
                                 int maxPages)
    : m_screen(screen), m_options(options) {
    m_options.style.font = composerFont(options.style.font);
    m_options.linesPerPage = std::clamp(options.linesPerPage, kMinLinesPerPage, kMaxLinesPerPage);
    const QFontMetrics metrics(m_options.style.font);
    m_textHeight = metrics.height();
    m_ascent = metrics.ascent();
    if (screen.width() < 1 || screen.height() < 1) {
        m_error =
            QCoreApplication::translate("Import", "The screen has no pixels: no page was written.");
        return;
    }
    if (text.size() > kMaxTextCharacters) {
        m_error = QCoreApplication::translate(
                      "Import",
                      "The text has %1 characters; at most %2 can be composed: no page was "
                      "written.")
                      .arg(text.size())
                      .arg(kMaxTextCharacters);
        return;
    }
    const int W = screen.width();
    if (m_options.layout == TextLayout::OneLine && m_options.continuous) {
        const QString strip = continuousText(text);
        // A strip far wider than the list can hold is refused from a piecewise
        // measure, before the whole strip is laid out.
        const qint64 estimate = estimatedWidth(strip, m_options.style.font);
        if (estimate > (static_cast<qint64>(maxPages) + 2) * W) {
            m_pages = pagesFor(estimate, W);
            m_error = tooManyPages(m_pages, maxPages);
            return;
        }
        m_strip = std::make_unique<QTextLayout>(strip, m_options.style.font);
        layOutOneLine(*m_strip);
        m_textWidth = advanceOf(*m_strip);
        m_pages = pagesFor(m_textWidth, W);
    } else {
        m_lines = displayedLines(text, m_options.style.font, memoWrapWidth(W), m_options.wordWrap);
        const int lines = static_cast<int>(m_lines.size());
        m_pages = m_options.layout == TextLayout::OneLine ? lines
                                                          : pagesFor(lines, m_options.linesPerPage);
    }
    if (m_pages > maxPages) {
        m_error = tooManyPages(m_pages, maxPages);
        m_strip.reset();
    }
}

TextComposition::~TextComposition() = default;

QImage TextComposition::page(int i) const {
    QImage bitmap;
    clearPage(bitmap, m_screen, m_options.style.background);
    if (i < 1 || i > m_pages || !m_error.isEmpty()) {
        return bitmap;
    }
    const int W = m_screen.width();
    const int H = m_screen.height();
    QPainter painter(&bitmap);
    painter.setFont(m_options.style.font);
    const TextStyle& style = m_options.style;
    if (m_strip) {
        // Page i shows columns W (i - 1) .. W i - 1 of the strip.
        drawLaidOut(painter, *m_strip, -W * (i - 1), (H - m_textHeight) / 2, m_ascent, style);
    } else if (m_options.layout == TextLayout::OneLine) {
        QTextLayout layout(m_lines[i - 1], style.font);
        layOutOneLine(layout);
        drawLaidOut(painter, layout, 0, (H - m_textHeight) / 2, m_ascent, style);
    } else {
        const int L = m_options.linesPerPage;
        const int slot = H / L;
        int j = (i - 1) * L;
        for (int k = 1; k <= L; ++k, ++j) {
            if (j >= m_lines.size()) {
                break;
            }
            QTextLayout layout(m_lines[j], style.font);
            layOutOneLine(layout);
            const int x = m_options.center ? (W - advanceOf(layout)) / 2 : 0;
            const int y = (slot - m_textHeight) / 2 + (k - 1) * slot;
            drawLaidOut(painter, layout, x, y, m_ascent, style);
        }
    }
    return bitmap;
}

int memoWrapWidth(int screenWidth) {
    return screenWidth;
}

int generatedPageRoom(const PageList& pages) {
    return pages.generatedPageRoom();
}

ComposeResult composeTextPages(const QString& text, QSize screen, const ComposeOptions& options,
                               const QString& folder, int room) {
    ComposeResult result;
    if (text.isEmpty()) {
        return result;
    }
    const TextComposition composition(text, screen, options, room);
    if (!composition.error().isEmpty()) {
        result.error = composition.error();
        return result;
    }
    result.first = firstFreeNumber(folder, options.base, composition.pageCount(), options.taken);
    const QStringList names =
        generatedPageNames(options.base, composition.pageCount(), result.first);
    const QDir dir(folder);
    for (int i = 1; i <= composition.pageCount(); ++i) {
        const QString path = dir.filePath(names[i - 1]);
        QString error;
        if (!saveBmp(composition.page(i), path, &error)) {
            result.error =
                QCoreApplication::translate("Import", "Cannot write %1: %2").arg(path, error);
            return result;
        }
        result.files << names[i - 1];
    }
    result.pages = composition.pageCount();
    return result;
}
