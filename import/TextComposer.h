#pragma once

#include "import/TextEncoding.h"
#include "pages/PageList.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <vector>

class QPainter;
class QTextLayout;

// The text composer: renders a text into screen-sized page pictures
// base + "1.bmp" .. base + n + ".bmp" in the program folder. TForm3 and
// "marquee-cli compose" both go through this file, so they make the same
// pages from the same text.

inline constexpr char kDefaultTextBase[] = "LCTXT";
inline constexpr int kDefaultTextPixelSize = 16;
inline constexpr int kMinLinesPerPage = 1;
inline constexpr int kMaxLinesPerPage = 100;
// Text files larger than this are refused; a text longer than
// kMaxTextCharacters is refused before any layout.
inline constexpr qint64 kMaxTextFileBytes = 8LL * 1024 * 1024;
inline constexpr int kMaxTextCharacters = 8 * 1024 * 1024;

// ---- Colours -------------------------------------------------------------

// The SHADOW and BACK GROUND lists: index, name and colour.
struct NamedColour {
    const char* name;
    QRgb rgb;
};
const std::array<NamedColour, 8>& colourTable();
QStringList colourNames();
// Index of a name in the table, -1 when it is not there.
int colourIndex(const QString& name);
// The colour of entry index (black for an index outside the table).
QColor colourAt(int index);

// ---- Font and defaults ---------------------------------------------------

// The default face "細明體", mapped by our fontconfig file to a Ming font.
QString defaultTextFace();
// 16 pixels, the default face, no anti-aliasing.
QFont defaultTextFont();
// Yellow.
QColor defaultTextColour();
// The font as it draws pages: a pixel size (a point size is turned into
// the pixel size it shows at) and no anti-aliasing, so every pixel is the
// text colour, the shadow colour or the background.
QFont composerFont(const QFont& chosen);
// LINE/PAGE at start: HEIGHT div the font's pixel height, kept in 1..100.
int defaultLinesPerPage(int height, const QFont& font);

// ---- Text ----------------------------------------------------------------

// Decodes a text file in the character set detected: UTF-8 when it is
// valid UTF-8 (a byte order mark is dropped), GB18030 (GBK) or Big5 for
// Chinese, else Latin-1 so that no byte is lost.
QString decodeText(const QByteArray& bytes);

struct TextFileLoad {
    QString text;
    QByteArray bytes;                            // as read, for decoding in another set
    TextEncoding encoding = TextEncoding::Utf8;  // the set detected
    QString error;                               // empty on success
};
// Reads a whole text file of at most kMaxTextFileBytes.
TextFileLoad readTextFile(const QString& path);

// CR LF, CR, and the Unicode line and paragraph separators become LF.
QString normalizeLineBreaks(const QString& text);

// The memo is WIDTH + 4 pixels wide; inside its two-pixel borders the text
// wraps at WIDTH, so a wrapped line fits the screen.
int memoWrapWidth(int screenWidth);

// The lines of the text as the memo displays them at wrapWidth pixels in
// font: each hard line, and with wordWrap each wrapped piece of it (the
// blanks at a wrap point are dropped). A final line break ends the last
// line; it does not start a new one.
QStringList displayedLines(const QString& text, const QFont& font, int wrapWidth, bool wordWrap);

// The text as one line: each line break drawn as one blank (a final line
// break is dropped).
QString continuousText(const QString& text);

// ---- Pages ---------------------------------------------------------------

enum class TextLayout { OneLine, ManyLine };

struct TextStyle {
    QFont font = defaultTextFont();
    QColor text = defaultTextColour();
    QColor shadow = Qt::black;
    QColor background = Qt::black;
};

struct ComposeOptions {
    TextLayout layout = TextLayout::OneLine;
    bool continuous = true;  // ONE LINE: CONTINUE
    int linesPerPage = 1;    // MANY LINE: LINE/PAGE
    bool center = false;     // MANY LINE: CENTER
    bool wordWrap = true;    // WORDWRAP: the memo's lines are wrapped pieces
    QString base = QString::fromLatin1(kDefaultTextBase);
    TextStyle style;
    // Files the pages of the list show (resolved): the pages written are
    // numbered on from the first number that names none of them.
    QStringList taken;
};

// Sets the bitmap to the screen size and fills it with the background.
void clearPage(QImage& bitmap, QSize screen, const QColor& background);

// Draws s with its top-left at (x, y): first in the shadow colour one pixel
// right and down, then in the text colour. The shadow is always drawn.
void drawWithShadow(QPainter& painter, const QString& s, int x, int y, const TextStyle& style);

// One text laid out for a screen: the lines, the page count and each page.
class TextComposition {
  public:
    // maxPages: the most pages the list can take; a text needing more is
    // refused (error() says how many it needs) before anything is drawn.
    TextComposition(const QString& text, QSize screen, const ComposeOptions& options,
                    int maxPages = PageList::kMaxPages);
    ~TextComposition();
    TextComposition(const TextComposition&) = delete;
    TextComposition& operator=(const TextComposition&) = delete;

    // Why the text cannot be composed (too long); empty otherwise.
    const QString& error() const { return m_error; }
    int pageCount() const { return m_pages; }
    // ONE LINE with CONTINUE: the strip's width; otherwise 0.
    int textWidth() const { return m_textWidth; }
    // The height of a line of text in the font.
    int textHeight() const { return m_textHeight; }
    // The memo's lines as displayed (empty with CONTINUE).
    const QStringList& lines() const { return m_lines; }
    // Page i, 1 .. pageCount(), WIDTH x HEIGHT.
    QImage page(int i) const;

  private:
    QSize m_screen;
    ComposeOptions m_options;
    QString m_error;
    QStringList m_lines;
    std::unique_ptr<QTextLayout> m_strip;
    int m_textWidth = 0;
    int m_textHeight = 0;
    int m_ascent = 0;
    int m_pages = 0;
};

// How many generated pages the list can take now: the first replaces the
// last page, the others are appended up to 255 pages.
int generatedPageRoom(const PageList& pages);

struct ComposeResult {
    int pages = 0;      // files written (and to be placed)
    int first = 1;      // the number of the first file
    QStringList files;  // their names, base + (first + i - 1) + ".bmp"
    QString error;      // for the operator; nothing is placed when set
};

// The CHANGE command's drawing: composes the text and writes its pages into
// folder, never over a file of options.taken. Nothing happens for an empty text or a text without
// pages. A text needing more than room pages writes nothing and says how many it needs. A file that
// cannot be written stops there (the files before it remain).
ComposeResult composeTextPages(const QString& text, QSize screen, const ComposeOptions& options,
                               const QString& folder, int room);
