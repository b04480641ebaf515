#include "app/MainWindow.h"
#include "app/TextComposerDialog.h"
#include "core/SettingsFile.h"
#include "import/TextComposer.h"
#include "pages/PlayListFile.h"
#include "platform/Fonts.h"
#include "platform/PictureFile.h"
#include "tests/TestSupport.h"
#include "transfer/Packing.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>
#include <QTimer>

#include <set>

namespace {

const QColor kYellow(255, 255, 0);
const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);

// A font of known width: every character 10 pixels wide, lines 19 high.
QFont monoFont() {
    return crispFont(QStringLiteral("DejaVu Sans Mono"), 16);
}

// Yellow text with a red shadow on blue, so each can be told apart.
TextStyle styleWith(const QFont& font) {
    TextStyle style;
    style.font = font;
    style.text = kYellow;
    style.shadow = kRed;
    style.background = kBlue;
    return style;
}

// What drawWithShadow makes of s at (x, y) on a cleared page.
QImage drawn(QSize size, const QString& s, int x, int y, const TextStyle& style) {
    QImage image;
    clearPage(image, size, style.background);
    QPainter painter(&image);
    drawWithShadow(painter, s, x, y, style);
    return image;
}

// The colours a picture uses.
std::set<QRgb> coloursOf(const QImage& image) {
    std::set<QRgb> colours;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y) {
        for (int x = 0; x < rgb.width(); ++x) {
            colours.insert(rgb.pixel(x, y) | 0xFF000000u);
        }
    }
    return colours;
}

bool columnIsOnly(const QImage& image, int x, const QColor& colour) {
    for (int y = 0; y < image.height(); ++y) {
        if (image.pixelColor(x, y) != colour) {
            return false;
        }
    }
    return true;
}

QString writeText(const QTemporaryDir& dir, const char* name, const QByteArray& bytes) {
    const QString path = dir.filePath(QString::fromLatin1(name));
    EXPECT_TRUE(writeBytes(path, bytes));
    return path;
}

QStringList filesIn(const QString& folder, const char* pattern) {
    return QDir(folder).entryList({QString::fromLatin1(pattern)}, QDir::Files, QDir::Name);
}

TEST(TextComposer, ContinuousTextIsOneStripCutIntoScreens) {
    ASSERT_EQ(QFontInfo(monoFont()).family(), QStringLiteral("DejaVu Sans Mono"));
    struct Row {
        QFont font;
        QString text;
        int width;
        int stripWidth;
        int pages;
    };
    const Row rows[] = {
        {monoFont(), QStringLiteral("ABCDEFGHIJKLMNO"), 64, 150, 3},
        {defaultTextFont(), QStringLiteral("ABCDEFGHIJKLMNOP"), 64, 128, 2},  // not 3
        {defaultTextFont(), QStringLiteral("ABCDEFGHIJKLMNOPQ"), 64, 136, 3},
        {defaultTextFont(), QStringLiteral("你好AB"), 64, 48, 1},
        // Each line break is one blank; the final one ends the text.
        {monoFont(), QStringLiteral("ABC\nDEF\r\n"), 64, 70, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text.toStdString());
        ComposeOptions options;
        options.style = styleWith(row.font);
        const QSize screen(row.width, 16);
        const TextComposition composition(row.text, screen, options);
        ASSERT_TRUE(composition.error().isEmpty());
        EXPECT_EQ(composition.textWidth(), row.stripWidth);
        ASSERT_EQ(composition.pageCount(), row.pages);
        // Page i shows columns W (i - 1) .. W i - 1 of the whole strip.
        const int y = (16 - composition.textHeight()) / 2;
        const QImage strip =
            drawn(QSize(row.width * row.pages, 16), continuousText(row.text), 0, y, options.style);
        for (int i = 1; i <= row.pages; ++i) {
            EXPECT_EQ(composition.page(i), strip.copy(row.width * (i - 1), 0, row.width, 16))
                << "page " << i;
        }
        // Past the text and its one-pixel shadow there is only background:
        // the 150-pixel strip's page 3 shows columns 128 to 149, then that.
        for (int x = row.stripWidth + 1; x < strip.width(); ++x) {
            EXPECT_TRUE(columnIsOnly(strip, x, kBlue)) << "column " << x;
        }
    }
}

TEST(TextComposer, OneMemoLinePerPage) {
    ComposeOptions options;
    options.continuous = false;
    options.style = styleWith(monoFont());
    // "a bc def" wraps at 64 pixels into "a bc" and "def".
    const TextComposition composition(QStringLiteral("a bc def\n\nEND\n"), {64, 16}, options);
    ASSERT_EQ(composition.lines(), QStringList({QStringLiteral("a bc"), QStringLiteral("def"),
                                                QString(), QStringLiteral("END")}));
    ASSERT_EQ(composition.pageCount(), 4);
    const int y = (16 - 19) / 2;  // -1: halves round toward zero
    EXPECT_EQ(composition.page(2), drawn({64, 16}, QStringLiteral("def"), 0, y, options.style));
    EXPECT_EQ(coloursOf(composition.page(3)), std::set<QRgb>{kBlue.rgb()});
}

TEST(TextComposer, ManyLinesStackedInSlots) {
    struct Row {
        QFont font;
        int height;
        int linesPerPage;
        int lines;
        int pages;
    };
    const Row rows[] = {
        {defaultTextFont(), 16, 2, 5, 3},  // the last page holds line 5 alone
        {monoFont(), 16, 2, 5, 3},         // a 19-pixel line in an 8-pixel slot
        {defaultTextFont(), 32, 2, 4, 2}, {defaultTextFont(), 16, 1, 3, 3},
        {defaultTextFont(), 48, 3, 7, 3}, {defaultTextFont(), 16, 100, 5, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "height " << row.height << " L " << row.linesPerPage
                                        << " lines " << row.lines);
        QStringList lines;
        for (int i = 1; i <= row.lines; ++i) {
            lines << QStringLiteral("L%1").arg(i);
        }
        ComposeOptions options;
        options.layout = TextLayout::ManyLine;
        options.linesPerPage = row.linesPerPage;
        options.style = styleWith(row.font);
        const QSize screen(64, row.height);
        const TextComposition composition(lines.join(QLatin1Char('\n')), screen, options);
        ASSERT_EQ(composition.pageCount(), row.pages);
        const int slot = row.height / row.linesPerPage;
        for (int page = 1; page <= row.pages; ++page) {
            QImage expected;
            clearPage(expected, screen, kBlue);
            QPainter painter(&expected);
            for (int k = 1; k <= row.linesPerPage; ++k) {
                const int j = (page - 1) * row.linesPerPage + k - 1;
                if (j < row.lines) {
                    // Rounded toward zero: (8 - 19) / 2 is -5, not -6.
                    const int y = (slot - composition.textHeight()) / 2 + (k - 1) * slot;
                    drawWithShadow(painter, lines[j], 0, y, options.style);
                }
            }
            painter.end();
            EXPECT_EQ(composition.page(page), expected) << "page " << page;
        }
    }
    // Line 5 in the upper slot of page 3 and nothing in the lower slot.
    ComposeOptions options;
    options.layout = TextLayout::ManyLine;
    options.linesPerPage = 2;
    options.style = styleWith(defaultTextFont());
    const TextComposition composition(QStringLiteral("L1\nL2\nL3\nL4\nL5"), {64, 16}, options);
    const QImage last = composition.page(3);
    EXPECT_EQ(last, drawn({64, 16}, QStringLiteral("L5"), 0, (8 - 16) / 2, options.style));
    for (int y = 12; y < 16; ++y) {
        for (int x = 0; x < 64; ++x) {
            EXPECT_EQ(last.pixelColor(x, y), kBlue) << x << "," << y;
        }
    }
}

TEST(TextComposer, CenteredLinesAndLinesWiderThanTheScreen) {
    struct Row {
        QString line;
        int x;  // (W - width of the line) div 2, toward zero
    };
    const Row rows[] = {
        {QStringLiteral("AB"), 22},                // (64 - 20) / 2
        {QStringLiteral("ABC"), 17},               // (64 - 30) / 2
        {QStringLiteral("ABCDEFGHIJKLMNO"), -43},  // cut on both sides
        {QStringLiteral("ABCDEFGHIJKLM"), -33},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line.toStdString());
        ComposeOptions options;
        options.layout = TextLayout::ManyLine;
        options.center = true;
        options.wordWrap = false;
        options.style = styleWith(monoFont());
        const TextComposition composition(row.line, {64, 16}, options);
        ASSERT_EQ(composition.pageCount(), 1);
        const QImage page = composition.page(1);
        EXPECT_EQ(page, drawn({64, 16}, row.line, row.x, (16 - 19) / 2, options.style));
        if (row.x < 0) {
            // Text reaches both edges: the line is cut on the left and right.
            EXPECT_FALSE(columnIsOnly(page, 0, kBlue));
            EXPECT_FALSE(columnIsOnly(page, 63, kBlue));
        }
    }
}

TEST(TextComposer, ColoursAndDefaults) {
    const struct {
        const char* name;
        QColor colour;
    } table[] = {
        {"black", QColor(0, 0, 0)},      {"red", QColor(255, 0, 0)},
        {"green", QColor(0, 128, 0)},    {"blue", QColor(0, 0, 255)},
        {"yellow", QColor(255, 255, 0)}, {"purple", QColor(255, 0, 255)},
        {"gray", QColor(0, 255, 255)},   {"white", QColor(255, 255, 255)},
    };
    ASSERT_EQ(colourNames().size(), 8);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(colourNames()[i], QString::fromLatin1(table[i].name));
        EXPECT_EQ(colourAt(colourIndex(QString::fromLatin1(table[i].name))), table[i].colour)
            << table[i].name;
    }
    EXPECT_EQ(colourIndex(QStringLiteral("grey")), -1);

    // Defaults: yellow 16-pixel text on black, the black shadow invisible.
    const ComposeOptions defaults;
    EXPECT_EQ(defaults.base, QStringLiteral("LCTXT"));
    EXPECT_EQ(defaults.style.font.pixelSize(), 16);
    const TextComposition composition(QStringLiteral("Hi 你好"), {64, 16}, defaults);
    EXPECT_EQ(coloursOf(composition.page(1)), (std::set<QRgb>{qRgb(0, 0, 0), qRgb(255, 255, 0)}));
}

// Latin and Chinese pages, 64 x 16 and 128 x 32, in the default font: every
// pixel is the text, the shadow or the background, nothing in between.
TEST(TextComposer, GoldenPagesAndPackedBytes) {
    struct Row {
        const char* golden;
        QString text;
        QSize screen;
    };
    const Row rows[] = {
        {"text_latin_64x16.png", QStringLiteral("Sale 50%"), {64, 16}},
        {"text_chinese_64x16.png", QStringLiteral("歡迎光臨"), {64, 16}},
        {"text_latin_128x32.png", QStringLiteral("Open daily\n8am-10pm"), {128, 32}},
        {"text_chinese_128x32.png", QStringLiteral("今日特價\n全場八折優惠"), {128, 32}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.golden);
        ComposeOptions options;
        options.layout = TextLayout::ManyLine;
        options.linesPerPage = defaultLinesPerPage(row.screen.height(), defaultTextFont());
        options.center = true;
        options.style.shadow = kRed;
        const TextComposition composition(row.text, row.screen, options);
        ASSERT_EQ(composition.pageCount(), 1);
        const QImage page = composition.page(1);
        expectMatchesGolden(page, row.golden);
        const std::set<QRgb> colours = coloursOf(page);
        EXPECT_EQ(colours, (std::set<QRgb>{qRgb(0, 0, 0), kYellow.rgb(), kRed.rgb()}));
    }
    // The packed bytes of the Latin 64 x 16 page: yellow lights red and
    // green, the red shadow red alone, black nothing; one row per line.
    ComposeOptions options;
    options.layout = TextLayout::ManyLine;
    options.center = true;
    options.style.shadow = kRed;
    const TextComposition composition(QStringLiteral("Sale 50%"), {64, 16}, options);
    QByteArray packed;
    packDualColour(composition.page(1), 64, 16, ColourTest{}, packed);
    ASSERT_EQ(packed.size(), 2 * (64 / 8) * 16);
    QStringList rowsHex;
    for (int y = 0; y < 16; ++y) {
        rowsHex << QString::fromLatin1(packed.mid(y * 16, 16).toHex());
    }
    const QByteArray expected = readBytes(goldenPath("text_latin_64x16.packed.txt"));
    EXPECT_EQ((rowsHex.join(QLatin1Char('\n')) + QLatin1Char('\n')).toStdString(),
              expected.toStdString());
}

TEST(TextComposer, LinesAsDisplayed) {
    struct Row {
        QString text;
        int width;
        bool wordWrap;
        QStringList lines;
    };
    const QFont font = monoFont();
    const Row rows[] = {
        {QStringLiteral("a\r\nb\rc\n"), 64, true, {"a", "b", "c"}},
        {QStringLiteral("a\n\nb"), 64, true, {"a", "", "b"}},
        {QStringLiteral("a\n\n"), 64, true, {"a", ""}},
        {QString(), 64, true, {}},
        // Wrapped at word boundaries, the blank at the break dropped.
        {QStringLiteral("hello world"), 64, true, {"hello", "world"}},
        {QStringLiteral("hello world"), 64, false, {"hello world"}},
        // A word wider than the screen breaks anywhere.
        {QStringLiteral("ABCDEFGHIJKL"), 64, true, {"ABCDEF", "GHIJKL"}},
        {QStringLiteral("ab cd ef"), 130, true, {"ab cd ef"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text.toStdString());
        EXPECT_EQ(displayedLines(row.text, font, row.width, row.wordWrap), row.lines);
    }
    EXPECT_EQ(continuousText(QStringLiteral("a\r\nb\n\nc\n")), QStringLiteral("a b  c"));
}

TEST(TextComposer, TextFilesAreUtf8OrOneCharacterPerByte) {
    EXPECT_EQ(decodeText(QByteArray("\xE4\xBD\xA0\xE5\xA5\xBD")), QStringLiteral("你好"));
    EXPECT_EQ(decodeText(QByteArray("\xEF\xBB\xBFHi")), QStringLiteral("Hi"));
    // "你好" in a legacy Chinese code page is not UTF-8: nothing is lost.
    const QString legacy = decodeText(QByteArray("\xC4\xE3\xBA\xC3 ok"));
    EXPECT_EQ(legacy.size(), 7);
    EXPECT_FALSE(legacy.contains(QChar::ReplacementCharacter));
    EXPECT_TRUE(legacy.endsWith(QStringLiteral(" ok")));

    QTemporaryDir dir;
    const TextFileLoad missing = readTextFile(dir.filePath(QStringLiteral("none.txt")));
    EXPECT_TRUE(missing.text.isEmpty());
    EXPECT_TRUE(missing.error.contains(QStringLiteral("none.txt"))) << missing.error.toStdString();
}

TEST(TextComposer, WritesNothingBeyondTheListRoom) {
    struct Row {
        const char* what;
        ComposeOptions options;
        QString text;
        int room;
        int needed;  // 0: fits
    };
    ComposeOptions strip;
    ComposeOptions perLine;
    perLine.continuous = false;
    ComposeOptions many;
    many.layout = TextLayout::ManyLine;
    many.linesPerPage = 2;
    const QString lines300 = QStringLiteral("x\n").repeated(300);
    const Row rows[] = {
        // 8 pixels a character: 2048 characters make 256 screens of 64.
        {"strip of 256 pages", strip, QString(2048, QLatin1Char('A')), 255, 256},
        {"strip of 255 pages", strip, QString(2040, QLatin1Char('A')), 255, 0},
        {"strip in a fuller list", strip, QString(88, QLatin1Char('A')), 10, 11},
        {"300 lines", perLine, lines300, 255, 300},
        {"300 lines, 2 a page", many, lines300, 255, 0},
        {"300 lines, 2 a page, room 149", many, lines300, 149, 150},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        QTemporaryDir dir;
        const ComposeResult result =
            composeTextPages(row.text, {64, 16}, row.options, dir.path(), row.room);
        if (row.needed == 0) {
            EXPECT_TRUE(result.error.isEmpty()) << result.error.toStdString();
            EXPECT_LE(result.pages, row.room);
            EXPECT_EQ(filesIn(dir.path(), "*.bmp").size(), result.pages);
            continue;
        }
        EXPECT_EQ(result.pages, 0);
        EXPECT_TRUE(result.error.contains(QStringLiteral("needs %1 pages").arg(row.needed)))
            << result.error.toStdString();
        EXPECT_TRUE(filesIn(dir.path(), "*").isEmpty());
    }

    // The room is what placing can take: all of it fits, one more does not.
    PageList pages;
    pages.addPage();
    pages.addPage();
    const int room = generatedPageRoom(pages);
    EXPECT_EQ(room, 253);
    PageList full = pages;
    EXPECT_EQ(full.placeGeneratedPages(QStringLiteral("X"), room, CaptionStyle::Number).leftOut, 0);
    EXPECT_EQ(
        pages.placeGeneratedPages(QStringLiteral("X"), room + 1, CaptionStyle::Number).leftOut, 1);

    // A megabyte of text is refused quickly, in every layout, without
    // drawing a page.
    QString huge;
    while (huge.size() < 1000000) {
        huge += QStringLiteral("the quick brown fox 你好世界 jumps\n");
    }
    for (const ComposeOptions& options : {strip, perLine, many}) {
        QTemporaryDir dir;
        QElapsedTimer timer;
        timer.start();
        const ComposeResult result =
            composeTextPages(huge, {64, 16}, options, dir.path(), PageList::kMaxPages);
        EXPECT_LT(timer.elapsed(), 30000);
        EXPECT_TRUE(result.error.contains(QStringLiteral("pages, but the list can take only 255")))
            << result.error.toStdString();
        EXPECT_TRUE(filesIn(dir.path(), "*").isEmpty());
    }
}

TEST(TextComposer, LinesPerPageFromHeightAndFont) {
    const struct {
        int height;
        int pixelSize;
        int lines;
    } rows[] = {{16, 16, 1},     {32, 16, 2},    {47, 16, 2}, {8, 16, 1},  // never 0
                {1600, 16, 100}, {1600, 8, 100}, {64, 32, 2}};
    for (const auto& row : rows) {
        EXPECT_EQ(defaultLinesPerPage(row.height, crispFont(defaultTextFace(), row.pixelSize)),
                  row.lines)
            << row.height << " / " << row.pixelSize;
    }
}

// ---- The dialog in the window -------------------------------------------

template <typename T>
T* child(QWidget& parent, const char* name) {
    T* widget = parent.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

// The main window and the composer, created in the program's order.
struct Composer {
    explicit Composer(const QString& folder)
        : window(folder, [this](const QString& text, const QString&) { messages << text; }),
          form3(window.settings().HEIGHT, &window) {
        window.attachDialogs(nullptr, nullptr, &form3, nullptr);
        window.resize(1000, 700);
        window.show();
        QCoreApplication::processEvents();
    }
    QStringList messages;
    TTwpMain window;
    TForm3 form3;
};

void writeScreen(const QString& folder, int width, int height) {
    Settings settings;
    settings.WIDTH = width;
    settings.HEIGHT = height;
    ASSERT_TRUE(writeSettingsFile(folder, settings));
}

// The lines the memo shows, block by block, as its own layout made them.
QStringList memoLines(QTextEdit* memo) {
    QStringList lines;
    for (QTextBlock block = memo->document()->begin(); block.isValid(); block = block.next()) {
        const QTextLayout* layout = block.layout();
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            QString piece = block.text().mid(line.textStart(), line.textLength());
            if (i + 1 < layout->lineCount()) {
                while (!piece.isEmpty() && piece.back().isSpace()) {
                    piece.chop(1);
                }
            }
            lines << piece;
        }
    }
    return lines;
}

TEST(TextComposerDialog, LinePerPageIsSetOnceFromTheHeightAtStart) {
    QTemporaryDir dir;
    writeScreen(dir.path(), 64, 32);
    Composer program(dir.path());
    QSpinBox* lines = child<QSpinBox>(program.form3, "Edit4");
    EXPECT_EQ(lines->value(), 2);
    child<QSpinBox>(program.window, "Edit5")->setValue(16);  // HEIGHT changed later
    EXPECT_EQ(lines->value(), 2);
    lines->setValue(0);
    EXPECT_EQ(lines->value(), 1);  // the field takes no 0
    EXPECT_EQ(child<QLineEdit>(program.form3, "Edit1")->text(), QStringLiteral("LCTXT"));
    EXPECT_EQ(child<QLineEdit>(program.form3, "Edit3")->text(), QStringLiteral("LCTXT"));
    EXPECT_TRUE(child<QCheckBox>(program.form3, "CheckBox1")->isChecked());
    EXPECT_FALSE(child<QCheckBox>(program.form3, "CheckBox2")->isChecked());
    EXPECT_TRUE(child<QCheckBox>(program.form3, "CheckBox3")->isChecked());
}

TEST(TextComposerDialog, FontChooserKeepsTheFaceAndTakesTheColour) {
    QTemporaryDir dir;
    writeScreen(dir.path(), 64, 16);
    Composer program(dir.path());
    const QImage before =
        TextComposition(QStringLiteral("Hi 你好"), {64, 16}, ComposeOptions{}).page(1);
    // OK with only the colour changed to red.
    QTimer::singleShot(0, &program.form3, [] {
        QWidget* chooser = QApplication::activeModalWidget();
        ASSERT_NE(chooser, nullptr);
        QComboBox* colour = chooser->findChild<QComboBox*>(QStringLiteral("FontColour"));
        ASSERT_NE(colour, nullptr);
        EXPECT_EQ(colour->currentText(), QStringLiteral("yellow"));
        colour->setCurrentIndex(colourIndex(QStringLiteral("red")));
        QMetaObject::invokeMethod(chooser, "accept");
    });
    child<QPushButton>(program.form3, "Button1")->click();
    EXPECT_EQ(program.form3.textColour(), kRed);
    EXPECT_EQ(program.form3.textFont().pixelSize(), 16);
    EXPECT_EQ(program.form3.textFont().styleStrategy() & QFont::NoAntialias, QFont::NoAntialias);
    EXPECT_EQ(child<QTextEdit>(program.form3, "Memo1")->font(), program.form3.textFont());
    // The same glyphs as before, now red.
    ComposeOptions options = program.form3.options(TextLayout::OneLine);
    options.style.text = defaultTextColour();
    EXPECT_EQ(TextComposition(QStringLiteral("Hi 你好"), {64, 16}, options).page(1), before);
}

TEST(TextComposerDialog, MemoShowsTheLinesTheComposerCounts) {
    struct Row {
        int width;
        QString text;
        bool wordWrap;
    };
    const Row rows[] = {
        {64, QStringLiteral("Welcome to the shop, open every day\nnew line"), true},
        {64, QStringLiteral("歡迎光臨本店每天營業到晚上十點"), true},
        {128, QStringLiteral("Mixed 中文 and English words wrapping here, twice over"), true},
        {64, QStringLiteral("no wrapping at all on this long line\nsecond"), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text.toStdString());
        QTemporaryDir dir;
        writeScreen(dir.path(), row.width, 16);
        Composer program(dir.path());
        QCheckBox* wrap = child<QCheckBox>(program.form3, "CheckBox3");
        if (wrap->isChecked() != row.wordWrap) {
            wrap->click();
        }
        const QString path = writeText(dir, "t.txt", row.text.toUtf8());
        ASSERT_TRUE(program.form3.prepare(path));
        program.form3.show();
        QCoreApplication::processEvents();
        QTextEdit* memo = child<QTextEdit>(program.form3, "Memo1");
        EXPECT_EQ(memo->width(),
                  row.width + 4 + memo->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
        const QStringList expected = displayedLines(row.text, program.form3.textFont(),
                                                    memoWrapWidth(row.width), row.wordWrap);
        EXPECT_GT(expected.size(), 1);
        EXPECT_EQ(memoLines(memo), expected);
        program.form3.hide();
    }
}

TEST(TextComposerDialog, ChangePlacesThePagesInTheWindowsList) {
    QTemporaryDir dir;
    writeScreen(dir.path(), 64, 16);
    Composer program(dir.path());
    QPushButton* addPage = child<QPushButton>(program.window, "AddMu");
    addPage->click();
    addPage->click();
    ASSERT_EQ(program.window.pages().PageCount(), 3);
    // 16 characters of 8 pixels: a 128-pixel strip, two pages.
    const QString path = writeText(dir, "two.txt", "ABCDEFGHIJKLMNOP\n");
    QTimer::singleShot(0, &program.form3, [&] {
        EXPECT_TRUE(program.form3.isVisible());
        child<QPushButton>(program.form3, "Button2")->click();  // ONE LINE CHANGE
    });
    program.window.loadFile(path);
    EXPECT_FALSE(program.form3.isVisible());
    EXPECT_TRUE(program.messages.isEmpty()) << program.messages.join('\n').toStdString();

    const PageList& pages = program.window.pages();
    ASSERT_EQ(pages.PageCount(), 4);
    EXPECT_EQ(pages.item(3).FileName, QStringLiteral("LCTXT1.bmp"));
    EXPECT_EQ(pages.item(4).FileName, QStringLiteral("LCTXT2.bmp"));
    EXPECT_EQ(pages.currentPage(), 4);
    QTabBar* tabs = child<QTabBar>(program.window, "Tab");
    EXPECT_EQ(tabs->count(), 4);
    EXPECT_EQ(tabs->currentIndex(), 3);
    EXPECT_EQ(tabs->tabText(3), QStringLiteral(" 4"));
    EXPECT_TRUE(child<QPushButton>(program.window, "DelMu")->isEnabled());

    // The files are the composer's pages; the preview shows page 4's.
    ComposeOptions options;
    const TextComposition composition(QStringLiteral("ABCDEFGHIJKLMNOP"), {64, 16}, options);
    for (int i = 1; i <= 2; ++i) {
        const PictureLoad file =
            loadPicture(QDir(dir.path()).filePath(QStringLiteral("LCTXT%1.bmp").arg(i)));
        ASSERT_TRUE(file.error.isEmpty()) << file.error.toStdString();
        EXPECT_EQ(file.image.convertToFormat(QImage::Format_RGB32), composition.page(i));
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(program.window.previewShown().convertToFormat(QImage::Format_RGB32),
              composition.page(2));

    // An empty memo does nothing and leaves the dialog open.
    const QString empty = writeText(dir, "empty.txt", "");
    ASSERT_TRUE(program.form3.prepare(empty));
    program.form3.show();
    child<QPushButton>(program.form3, "Button4")->click();
    EXPECT_TRUE(program.form3.isVisible());
    EXPECT_EQ(pages.PageCount(), 4);
    program.form3.hide();

    // A file that cannot be read is reported and the dialog does not open.
    EXPECT_FALSE(program.form3.Open(dir.filePath(QStringLiteral("missing.txt"))));
    ASSERT_EQ(program.messages.size(), 1);
    EXPECT_TRUE(program.messages[0].contains(QStringLiteral("missing.txt")));
}

TEST(TextComposerDialog, TooManyPagesAreReportedAndNothingIsWritten) {
    QTemporaryDir dir;
    writeScreen(dir.path(), 64, 16);
    Composer program(dir.path());
    const QString path = writeText(dir, "long.txt", QByteArray(2048, 'A'));
    ASSERT_TRUE(program.form3.prepare(path));
    program.form3.show();
    child<QPushButton>(program.form3, "Button2")->click();
    ASSERT_EQ(program.messages.size(), 1);
    EXPECT_TRUE(program.messages[0].contains(QStringLiteral("needs 256 pages")))
        << program.messages[0].toStdString();
    EXPECT_TRUE(program.form3.isVisible());
    EXPECT_TRUE(filesIn(dir.path(), "*.bmp").isEmpty());
    EXPECT_EQ(program.window.pages().PageCount(), 1);
    program.form3.hide();
}

// ---- The command line ----------------------------------------------------

TEST(ComposeCommand, WritesPagesAndTheListEndToEnd) {
    QTemporaryDir dir;
    writeScreen(dir.path(), 64, 16);
    const QString text = writeText(dir, "t.txt", "L1\nL2\nL3\nL4\nL5\n");
    // A list of three pages to place the new pages in.
    PageList three;
    three.addPage();
    three.addPage();
    const QString list = dir.filePath(QStringLiteral("out.lis"));
    ASSERT_TRUE(savePlayList(list, three).isEmpty());

    const CliRun run =
        runCli({QStringLiteral("--folder"), dir.path(), QStringLiteral("compose"), text,
                QStringLiteral("--layout"), QStringLiteral("many"), QStringLiteral("--lines"),
                QStringLiteral("2"), QStringLiteral("--shadow"), QStringLiteral("red"),
                QStringLiteral("--name"), QStringLiteral("ML"), QStringLiteral("--list"), list});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.outLines(), QStringList({QStringLiteral("ML1.bmp"), QStringLiteral("ML2.bmp"),
                                           QStringLiteral("ML3.bmp")}));
    ComposeOptions options;
    options.layout = TextLayout::ManyLine;
    options.linesPerPage = 2;
    options.style.shadow = kRed;
    const TextComposition composition(QStringLiteral("L1\nL2\nL3\nL4\nL5\n"), {64, 16}, options);
    for (int i = 1; i <= 3; ++i) {
        const PictureLoad file =
            loadPicture(QDir(dir.path()).filePath(QStringLiteral("ML%1.bmp").arg(i)));
        EXPECT_EQ(file.image.convertToFormat(QImage::Format_RGB32), composition.page(i)) << i;
    }
    PageList loaded;
    ASSERT_TRUE(loadPlayList(list, &loaded).loaded);
    ASSERT_EQ(loaded.PageCount(), 5);
    EXPECT_EQ(loaded.item(3).FileName, QStringLiteral("ML1.bmp"));
    EXPECT_EQ(loaded.item(5).FileName, QStringLiteral("ML3.bmp"));
    EXPECT_EQ(loaded.item(5), (PlayItem{QStringLiteral("ML3.bmp"), 0, 0, 0, 5, 0}));

    struct Bad {
        QStringList args;
        const char* error;
    };
    const QString longText = writeText(dir, "long.txt", QByteArray(2048, 'A'));
    const Bad bad[] = {
        {{text, QStringLiteral("--lines"), QStringLiteral("0")}, "bad value for --lines"},
        {{text, QStringLiteral("--shadow"), QStringLiteral("orange")}, "bad value for --shadow"},
        {{text, QStringLiteral("--layout")}, "--layout needs a value"},
        {{text, QStringLiteral("--colour"), QStringLiteral("red")}, "unknown option"},
        {{dir.filePath(QStringLiteral("none.txt"))}, "none.txt"},
        {{writeText(dir, "empty.txt", "")}, "no text"},
        {{longText, QStringLiteral("--name"), QStringLiteral("NO")}, "needs 256 pages"},
    };
    for (const Bad& row : bad) {
        SCOPED_TRACE(row.error);
        const CliRun failed =
            runCli(QStringList{QStringLiteral("--folder"), dir.path(), QStringLiteral("compose")} +
                   row.args);
        EXPECT_EQ(failed.exitCode, 2);
        EXPECT_TRUE(failed.err.contains(QString::fromLatin1(row.error)))
            << failed.err.toStdString();
    }
    EXPECT_TRUE(filesIn(dir.path(), "NO*").isEmpty());
    EXPECT_TRUE(
        runCli({QStringLiteral("--help")}).out.contains(QStringLiteral("compose TEXT.txt")));
}

}  // namespace
