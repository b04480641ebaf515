#include "core/SettingsFile.h"
#include "import/TextComposer.h"
#include "pages/PlayListFile.h"
#include "platform/Fonts.h"
#include "platform/PictureFile.h"
#include "tests/ProgramSupport.h"
#include "transfer/Packing.h"

#include <QFontInfo>
#include <QPainter>
#include <QStyle>
#include <QTextBlock>
#include <QTextLayout>

namespace {

const QColor kYellow(255, 255, 0), kRed(255, 0, 0), kBlue(0, 0, 255);

// A font of known width: every character 10 pixels wide, lines 19 high.
QFont monoFont() {
    return crispFont("DejaVu Sans Mono", 16);
}

// Yellow text with a red shadow on blue, so each can be told apart.
ComposeOptions optionsWith(const QFont& font, TextLayout layout = TextLayout::OneLine,
                           int linesPerPage = 1) {
    ComposeOptions options;
    options.layout = layout;
    options.linesPerPage = linesPerPage;
    options.style = {font, kYellow, kRed, kBlue};
    return options;
}

// A line of text drawn with its top-left at (x, y).
struct Line {
    QString text;
    int x, y;
};

// What drawWithShadow makes of the lines on a cleared page.
QImage drawn(QSize size, const TextStyle& style, const std::vector<Line>& lines) {
    QImage image;
    clearPage(image, size, style.background);
    QPainter painter(&image);
    for (const Line& line : lines) {
        drawWithShadow(painter, line.text, line.x, line.y, style);
    }
    return image;
}

QString writeText(const QTemporaryDir& dir, const char* name, const QByteArray& bytes) {
    EXPECT_TRUE(writeBytes(dir.filePath(name), bytes));
    return dir.filePath(name);
}

QStringList filesIn(const QString& folder, const char* pattern) {
    return QDir(folder).entryList({pattern}, QDir::Files, QDir::Name);
}

TEST(TextComposer, ContinuousTextIsOneStripCutIntoScreens) {
    ASSERT_EQ(QFontInfo(monoFont()).family(), "DejaVu Sans Mono");
    struct Row {
        QFont font;
        QString text;
        int stripWidth;
        int pages;
    };
    const Row rows[] = {
        {monoFont(), "ABCDEFGHIJKLMNO", 150, 3},
        {defaultTextFont(), "ABCDEFGHIJKLMNOP", 128, 2},  // not 3
        {defaultTextFont(), "ABCDEFGHIJKLMNOPQ", 136, 3},
        {defaultTextFont(), "你好AB", 48, 1},
        // Each line break is one blank; the final one ends the text.
        {monoFont(), "ABC\nDEF\r\n", 70, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text.toStdString());
        const ComposeOptions options = optionsWith(row.font);
        const TextComposition composition(row.text, {64, 16}, options);
        ASSERT_TRUE(composition.error().isEmpty());
        EXPECT_EQ(composition.textWidth(), row.stripWidth);
        ASSERT_EQ(composition.pageCount(), row.pages);
        // Page i shows columns 64 (i - 1) .. 64 i - 1 of the whole strip.
        const QImage strip =
            drawn({64 * row.pages, 16}, options.style,
                  {{continuousText(row.text), 0, (16 - composition.textHeight()) / 2}});
        for (int i = 1; i <= row.pages; ++i) {
            EXPECT_EQ(composition.page(i), strip.copy(64 * (i - 1), 0, 64, 16)) << "page " << i;
        }
        // Past the text and its one-pixel shadow there is only background:
        // the 150-pixel strip's page 3 shows columns 128 to 149, then that.
        if (row.stripWidth + 1 < strip.width()) {
            EXPECT_EQ(coloursIn(strip, QRect(row.stripWidth + 1, 0, strip.width(), 16)),
                      std::set<QRgb>{kBlue.rgb()});
        }
    }
}

TEST(TextComposer, MemoLinesOnPagesAndInSlots) {
    ComposeOptions perLine = optionsWith(monoFont());
    perLine.continuous = false;
    const ComposeOptions two = optionsWith(defaultTextFont(), TextLayout::ManyLine, 2);
    const ComposeOptions monoTwo = optionsWith(monoFont(), TextLayout::ManyLine, 2);
    const ComposeOptions three = optionsWith(defaultTextFont(), TextLayout::ManyLine, 3);
    ComposeOptions centred = optionsWith(monoFont(), TextLayout::ManyLine);
    centred.center = true;
    centred.wordWrap = false;
    struct Row {
        QString text;
        const char* lines;  // the memo's lines, | between; empty: those of the text
        int height;
        ComposeOptions options;
        int pages;
        std::vector<int> y;       // of the line in each slot of a page
        std::vector<int> x = {};  // of each line; empty: 0
    };
    // Halves round toward zero: (16 - 19) / 2 is -1, (8 - 19) / 2 is -5.
    const Row rows[] = {
        {"a bc def\n\nEND\n", "a bc|def||END", 16, perLine, 4, {-1}},  // wrapped at 64
        {"L1\nL2\nL3\nL4\nL5", "", 16, two, 3, {-4, 4}},               // line 5 alone on page 3
        {"L1\nL2\nL3", "", 16, monoTwo, 2, {-5, 3}},  // 19-pixel lines, 8-pixel slots
        {"L1\nL2\nL3\nL4", "", 48, three, 2, {0, 16, 32}},
        {"AB\nABC\nABCDEFGHIJKLMNO", "", 16, centred, 3, {-1}, {22, 17, -43}},  // cut when wider
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text.toStdString());
        const QSize screen(64, row.height);
        const TextComposition composition(row.text, screen, row.options);
        const QStringList lines = *row.lines ? QString(row.lines).split('|') : row.text.split('\n');
        EXPECT_EQ(composition.lines(), lines);
        ASSERT_EQ(composition.pageCount(), row.pages);
        const int perPage = static_cast<int>(row.y.size());
        for (int page = 1; page <= row.pages; ++page) {
            std::vector<Line> drawnLines;
            for (int j = (page - 1) * perPage; j < std::min(page * perPage, int(lines.size()));
                 ++j) {
                drawnLines.push_back({lines[j], row.x.empty() ? 0 : row.x[j], row.y[j % perPage]});
            }
            EXPECT_EQ(composition.page(page), drawn(screen, row.options.style, drawnLines))
                << "page " << page;
        }
    }
    // Below line 5 on page 3 there is only background.
    const TextComposition lastAlone("L1\nL2\nL3\nL4\nL5", {64, 16},
                                    optionsWith(defaultTextFont(), TextLayout::ManyLine, 2));
    EXPECT_EQ(coloursIn(lastAlone.page(3), QRect(0, 12, 64, 4)), std::set<QRgb>{kBlue.rgb()});
}

TEST(TextComposer, ColoursAndDefaults) {
    EXPECT_EQ(colourNames(),
              (QStringList{"black", "red", "green", "blue", "yellow", "purple", "gray", "white"}));
    EXPECT_EQ(colourAt(colourIndex("gray")), QColor(0, 255, 255));
    EXPECT_EQ(colourAt(colourIndex("green")), QColor(0, 128, 0));
    EXPECT_EQ(colourIndex("grey"), -1);
    // Defaults: yellow 16-pixel text on black, the black shadow invisible.
    const ComposeOptions defaults;
    EXPECT_EQ(defaults.base, "LCTXT");
    EXPECT_EQ(defaults.style.font.pixelSize(), 16);
    EXPECT_EQ(coloursIn(TextComposition("Hi 你好", {64, 16}, defaults).page(1)),
              (std::set<QRgb>{qRgb(0, 0, 0), qRgb(255, 255, 0)}));
}

// Latin and Chinese pages, 64 x 16 and 128 x 32, in the default font: every
// pixel is the text, the shadow or the background, nothing in between.
TEST(TextComposer, GoldenPagesAndPackedBytes) {
    const std::tuple<const char*, QString, QSize> rows[] = {
        {"text_latin_64x16.png", "Sale 50%", {64, 16}},
        {"text_chinese_64x16.png", "歡迎光臨", {64, 16}},
        {"text_latin_128x32.png", "Open daily\n8am-10pm", {128, 32}},
        {"text_chinese_128x32.png", "今日特價\n全場八折優惠", {128, 32}},
    };
    for (const auto& [golden, text, screen] : rows) {
        SCOPED_TRACE(golden);
        ComposeOptions options;
        options.layout = TextLayout::ManyLine;
        options.linesPerPage = defaultLinesPerPage(screen.height(), defaultTextFont());
        options.center = true;
        options.style.shadow = kRed;
        const TextComposition composition(text, screen, options);
        ASSERT_EQ(composition.pageCount(), 1);
        expectMatchesGolden(composition.page(1), golden);
        EXPECT_EQ(coloursIn(composition.page(1)),
                  (std::set<QRgb>{qRgb(0, 0, 0), kYellow.rgb(), kRed.rgb()}));
        if (screen.width() == 64 && text.startsWith("Sale")) {
            // Yellow lights red and green, the red shadow red alone, black
            // nothing; one row of hex a line.
            QByteArray packed;
            packDualColour(composition.page(1), 64, 16, ColourTest{}, packed);
            QByteArray rowsHex;
            for (int y = 0; y < 16; ++y) {
                rowsHex += packed.mid(y * 16, 16).toHex() + '\n';
            }
            EXPECT_EQ(rowsHex.toStdString(),
                      readBytes(goldenPath("text_latin_64x16.packed.txt")).toStdString());
        }
    }
}

TEST(TextComposer, LinesAsDisplayed) {
    const std::tuple<QString, int, bool, QStringList> rows[] = {
        {"a\r\nb\rc\n", 64, true, {"a", "b", "c"}},
        {"a\n\nb", 64, true, {"a", "", "b"}},
        {"a\n\n", 64, true, {"a", ""}},
        {"", 64, true, {}},
        // Wrapped at word boundaries, the blank at the break dropped.
        {"hello world", 64, true, {"hello", "world"}},
        {"hello world", 64, false, {"hello world"}},
        // A word wider than the screen breaks anywhere.
        {"ABCDEFGHIJKL", 64, true, {"ABCDEF", "GHIJKL"}},
        {"ab cd ef", 130, true, {"ab cd ef"}},
    };
    for (const auto& [text, width, wordWrap, lines] : rows) {
        EXPECT_EQ(displayedLines(text, monoFont(), width, wordWrap), lines) << text.toStdString();
    }
    EXPECT_EQ(continuousText("a\r\nb\n\nc\n"), "a b  c");
}

TEST(TextComposer, TextFilesAreUtf8OrOneCharacterPerByte) {
    EXPECT_EQ(decodeText("\xE4\xBD\xA0\xE5\xA5\xBD"), "你好");
    EXPECT_EQ(decodeText("\xEF\xBB\xBFHi"), "Hi");
    // "你好" in GBK is not UTF-8: it is read as GBK.
    EXPECT_EQ(decodeText("\xC4\xE3\xBA\xC3 ok"), QString::fromUtf8("你好 ok"));
    QTemporaryDir dir;
    const TextFileLoad missing = readTextFile(dir.filePath("none.txt"));
    EXPECT_TRUE(missing.text.isEmpty());
    EXPECT_TRUE(missing.error.contains("none.txt")) << missing.error.toStdString();
}

TEST(TextComposer, WritesNothingBeyondTheListRoom) {
    ComposeOptions strip;
    ComposeOptions perLine;
    perLine.continuous = false;
    ComposeOptions many;
    many.layout = TextLayout::ManyLine;
    many.linesPerPage = 2;
    const QString lines300 = QString("x\n").repeated(300);
    QString huge;  // a megabyte
    while (huge.size() < 1000000) {
        huge += "the quick brown fox 你好世界 jumps\n";
    }
    struct Row {
        ComposeOptions options;
        QString text;
        int room;
        int needed;  // 0: fits; -1: more than the list can ever take
    };
    // 8 pixels a character: 2048 characters make 256 screens of 64.
    const Row rows[] = {
        {strip, QString(2048, 'A'), 255, 256},
        {strip, QString(80, 'A'), 10, 0},
        {strip, QString(88, 'A'), 10, 11},
        {perLine, lines300, 255, 300},
        {many, lines300, 149, 150},
        {many, QString("x\n").repeated(20), 10, 0},
        {strip, huge, 255, -1},
        {perLine, huge, 255, -1},
        {many, huge, 255, -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.text.size() << " characters, room " << row.room);
        QTemporaryDir dir;
        const ComposeResult result =
            composeTextPages(row.text, {64, 16}, row.options, dir.path(), row.room);
        if (row.needed == 0) {
            EXPECT_TRUE(result.error.isEmpty()) << result.error.toStdString();
            EXPECT_EQ(result.pages, row.room);
            EXPECT_EQ(filesIn(dir.path(), "*.bmp").size(), row.room);
        } else {
            EXPECT_EQ(result.pages, 0);
            EXPECT_TRUE(result.error.contains(row.needed > 0
                                                  ? QStringLiteral("needs %1 pages").arg(row.needed)
                                                  : "pages, but the list can take only 255"))
                << result.error.toStdString();
            EXPECT_TRUE(filesIn(dir.path(), "*").isEmpty());
        }
    }
    // The room is what placing can take: all of it fits, one more does not.
    PageList pages;
    pages.addPage();
    pages.addPage();
    const int room = generatedPageRoom(pages);
    EXPECT_EQ(room, 253);
    PageList full = pages;
    EXPECT_EQ(full.placeGeneratedPages("X", room, CaptionStyle::Number).leftOut, 0);
    EXPECT_EQ(pages.placeGeneratedPages("X", room + 1, CaptionStyle::Number).leftOut, 1);
}

TEST(TextComposer, LinesPerPageFromHeightAndFont) {
    const std::array<int, 3> rows[] = {{16, 16, 1},     {32, 16, 2},    {47, 16, 2}, {8, 16, 1},
                                       {1600, 16, 100}, {1600, 8, 100}, {64, 32, 2}};
    for (const auto& [height, pixelSize, lines] : rows) {
        EXPECT_EQ(defaultLinesPerPage(height, crispFont(defaultTextFace(), pixelSize)), lines)
            << height << " / " << pixelSize;
    }
}

// ---- The dialog in the window -------------------------------------------

// A program folder whose ck.ini gives the screen size.
QString folderFor(const QTemporaryDir& dir, int width, int height) {
    EXPECT_TRUE(writeSettingsFile(dir.path(), screenOf(width, height)));
    return dir.path();
}

// The lines the memo shows, block by block, as its own layout made them.
QStringList memoLines(QTextEdit* memo) {
    QStringList lines;
    for (QTextBlock block = memo->document()->begin(); block.isValid(); block = block.next()) {
        const QTextLayout* layout = block.layout();
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            QString piece = block.text().mid(line.textStart(), line.textLength());
            while (i + 1 < layout->lineCount() && !piece.isEmpty() && piece.back().isSpace()) {
                piece.chop(1);
            }
            lines << piece;
        }
    }
    return lines;
}

TEST(TextComposerDialog, StartValuesAndTheFontChooser) {
    QTemporaryDir dir;
    Program program(folderFor(dir, 64, 32));
    TForm3& form3 = program.form3;
    QSpinBox* lines = control<QSpinBox>(form3, "Edit4");
    EXPECT_EQ(lines->value(), 2);
    control<QSpinBox>(program.window, "Edit5")->setValue(16);  // HEIGHT changed later
    EXPECT_EQ(lines->value(), 2);
    lines->setValue(0);
    EXPECT_EQ(lines->value(), 1);  // the field takes no 0
    EXPECT_EQ(control<QLineEdit>(form3, "Edit1")->text(), "LCTXT");
    EXPECT_EQ(control<QLineEdit>(form3, "Edit3")->text(), "LCTXT");
    EXPECT_TRUE(control<QCheckBox>(form3, "CheckBox1")->isChecked());
    EXPECT_FALSE(control<QCheckBox>(form3, "CheckBox2")->isChecked());
    EXPECT_TRUE(control<QCheckBox>(form3, "CheckBox3")->isChecked());

    // OK in the font chooser with only the colour changed to red.
    const QImage before = TextComposition("Hi 你好", {64, 16}, ComposeOptions{}).page(1);
    QTimer::singleShot(0, &form3, [] {
        QWidget* chooser = QApplication::activeModalWidget();
        ASSERT_NE(chooser, nullptr);
        QComboBox* colour = control<QComboBox>(*chooser, "FontColour");
        ASSERT_NE(colour, nullptr);
        EXPECT_EQ(colour->currentText(), "yellow");
        colour->setCurrentIndex(colourIndex("red"));
        QMetaObject::invokeMethod(chooser, "accept");
    });
    control<QPushButton>(form3, "Button1")->click();
    EXPECT_EQ(form3.textColour(), kRed);
    EXPECT_EQ(form3.textFont().pixelSize(), 16);
    EXPECT_EQ(form3.textFont().styleStrategy() & QFont::NoAntialias, QFont::NoAntialias);
    EXPECT_EQ(control<QTextEdit>(form3, "Memo1")->font(), form3.textFont());
    // The same glyphs as before, now red.
    ComposeOptions options = form3.options(TextLayout::OneLine);
    options.style.text = defaultTextColour();
    EXPECT_EQ(TextComposition("Hi 你好", {64, 16}, options).page(1), before);
}

TEST(TextComposerDialog, MemoShowsTheLinesTheComposerCounts) {
    const std::tuple<int, QString, bool> rows[] = {
        {64, "Welcome to the shop, open every day\nnew line", true},
        {64, "歡迎光臨本店每天營業到晚上十點", true},
        {128, "Mixed 中文 and English words wrapping here, twice over", true},
        {64, "no wrapping at all on this long line\nsecond", false},
    };
    for (const auto& [width, text, wordWrap] : rows) {
        SCOPED_TRACE(text.toStdString());
        QTemporaryDir dir;
        Program program(folderFor(dir, width, 16));
        TForm3& form3 = program.form3;
        QCheckBox* wrap = control<QCheckBox>(form3, "CheckBox3");
        if (wrap->isChecked() != wordWrap) {
            wrap->click();
        }
        ASSERT_TRUE(form3.prepare(writeText(dir, "t.txt", text.toUtf8())));
        form3.show();
        QCoreApplication::processEvents();
        QTextEdit* memo = control<QTextEdit>(form3, "Memo1");
        EXPECT_EQ(memo->width(),
                  width + 4 + memo->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
        const QStringList expected =
            displayedLines(text, form3.textFont(), memoWrapWidth(width), wordWrap);
        EXPECT_GT(expected.size(), 1);
        EXPECT_EQ(memoLines(memo), expected);
        form3.hide();
    }
}

TEST(TextComposerDialog, ChangePlacesThePagesInTheWindowsList) {
    QTemporaryDir dir;
    Program program(folderFor(dir, 64, 16));
    TForm3& form3 = program.form3;
    program.addPages(2);
    // 16 characters of 8 pixels: a 128-pixel strip, two pages.
    const QString path = writeText(dir, "two.txt", "ABCDEFGHIJKLMNOP\n");
    QTimer::singleShot(0, &form3, [&] {
        EXPECT_TRUE(form3.isVisible());
        control<QPushButton>(form3, "Button2")->click();  // ONE LINE CHANGE
    });
    program.window.loadFile(path);
    EXPECT_FALSE(form3.isVisible());
    EXPECT_TRUE(program.messages.isEmpty()) << program.messages.join('\n').toStdString();

    const PageList& pages = program.window.pages();
    ASSERT_EQ(pages.PageCount(), 4);
    EXPECT_EQ(pages.item(3).FileName, "LCTXT1.bmp");
    EXPECT_EQ(pages.item(4).FileName, "LCTXT2.bmp");
    EXPECT_EQ(program.tabs(), (QStringList{"1", " 2", " 3", " 4"}));
    EXPECT_EQ(control<QTabBar>(program.window, "Tab")->currentIndex(), 3);
    EXPECT_TRUE(control<QPushButton>(program.window, "DelMu")->isEnabled());

    // The files are the composer's pages; the preview shows page 4's.
    const TextComposition composition("ABCDEFGHIJKLMNOP", {64, 16}, ComposeOptions{});
    for (int i = 1; i <= 2; ++i) {
        const PictureLoad file = loadPicture(dir.filePath(QStringLiteral("LCTXT%1.bmp").arg(i)));
        EXPECT_EQ(file.image.convertToFormat(QImage::Format_RGB32), composition.page(i)) << i;
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(program.window.previewShown().convertToFormat(QImage::Format_RGB32),
              composition.page(2));

    // An empty memo does nothing and leaves the dialog open; so does a text
    // of more pages than the list can take, which is reported.
    const std::pair<QByteArray, int> refused[] = {{"", 0}, {QByteArray(2048, 'A'), 1}};
    for (const auto& [text, messages] : refused) {
        ASSERT_TRUE(form3.prepare(writeText(dir, "refused.txt", text)));
        form3.show();
        control<QPushButton>(form3, text.isEmpty() ? "Button4" : "Button2")->click();
        EXPECT_TRUE(form3.isVisible());
        EXPECT_EQ(pages.PageCount(), 4);
        ASSERT_EQ(program.messages.size(), messages);
        form3.hide();
    }
    EXPECT_TRUE(program.messages[0].contains("needs 256 pages"))
        << program.messages[0].toStdString();
    EXPECT_EQ(filesIn(dir.path(), "*.bmp"), (QStringList{"LCTXT1.bmp", "LCTXT2.bmp"}));

    // A file that cannot be read is reported and the dialog does not open.
    EXPECT_FALSE(form3.Open(dir.filePath("missing.txt")));
    ASSERT_EQ(program.messages.size(), 2);
    EXPECT_TRUE(program.messages[1].contains("missing.txt"));
}

TEST(ComposeCommand, WritesPagesAndTheListEndToEnd) {
    QTemporaryDir dir;
    folderFor(dir, 64, 16);
    const QString text = writeText(dir, "t.txt", "L1\nL2\nL3\nL4\nL5\n");
    // A list of three pages to place the new pages in.
    PageList three;
    three.addPage();
    three.addPage();
    const QString list = dir.filePath("out.lis");
    ASSERT_TRUE(savePlayList(list, three).isEmpty());

    const CliRun run = runCli({"--folder", dir.path(), "compose", text, "--layout", "many",
                               "--lines", "2", "--shadow", "red", "--name", "ML", "--list", list});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.outLines(), (QStringList{"ML1.bmp", "ML2.bmp", "ML3.bmp"}));
    ComposeOptions options;
    options.layout = TextLayout::ManyLine;
    options.linesPerPage = 2;
    options.style.shadow = kRed;
    const TextComposition composition("L1\nL2\nL3\nL4\nL5\n", {64, 16}, options);
    for (int i = 1; i <= 3; ++i) {
        const PictureLoad file = loadPicture(dir.filePath(QStringLiteral("ML%1.bmp").arg(i)));
        EXPECT_EQ(file.image.convertToFormat(QImage::Format_RGB32), composition.page(i)) << i;
    }
    PageList loaded;
    ASSERT_TRUE(loadPlayList(list, &loaded).loaded);
    ASSERT_EQ(loaded.PageCount(), 5);
    EXPECT_EQ(loaded.item(3).FileName, "ML1.bmp");
    EXPECT_EQ(loaded.item(5), (PlayItem{"ML3.bmp", 0, 0, 0, 5, 0}));

    const std::pair<QStringList, const char*> bad[] = {
        {{text, "--lines", "0"}, "bad value for --lines"},
        {{text, "--shadow", "orange"}, "bad value for --shadow"},
        {{text, "--layout"}, "--layout needs a value"},
        {{text, "--colour", "red"}, "unknown option"},
        {{dir.filePath("none.txt")}, "none.txt"},
        {{writeText(dir, "empty.txt", "")}, "no text"},
        {{writeText(dir, "long.txt", QByteArray(2048, 'A')), "--name", "NO"}, "needs 256 pages"},
    };
    for (const auto& [args, error] : bad) {
        const CliRun failed = runCli(QStringList{"--folder", dir.path(), "compose"} + args);
        EXPECT_EQ(failed.exitCode, 2) << error;
        EXPECT_TRUE(failed.err.contains(error)) << failed.err.toStdString();
    }
    EXPECT_TRUE(filesIn(dir.path(), "NO*").isEmpty());
    EXPECT_TRUE(runCli({"--help"}).out.contains("compose TEXT.txt"));
}

}  // namespace
