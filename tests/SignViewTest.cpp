#include "app/ComposerSignView.h"
#include "app/PictureLoader.h"
#include "app/SignPlayer.h"
#include "app/SignViewBar.h"
#include "platform/PictureFile.h"
#include "tests/ProgramSupport.h"
#include "tests/TestSupport.h"
#include "transfer/EntryEffects.h"
#include "transfer/GlyphTable.h"
#include "transfer/PagePreparation.h"
#include "transfer/SignView.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QWheelEvent>
#include <QtEndian>

#include <functional>

namespace {

constexpr QRgb kRed = 0xffff0000;

// Colour bars two LEDs wide: red, green, yellow, blue, white, black,
// magenta, cyan; full on the upper half, dim (30, which ADJUST puts out) on
// the lower.
QImage bars(QSize size) {
    static const QRgb colours[] = {0xffff0000, 0xff00ff00, 0xffffff00, 0xff0000ff,
                                   0xffffffff, 0xff000000, 0xffff00ff, 0xff00ffff};
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const QRgb c = colours[(x / 2) % 8];
            const auto dim = [&](int v) { return y < size.height() / 2 || v == 0 ? v : 30; };
            image.setPixel(x, y, qRgb(dim(qRed(c)), dim(qGreen(c)), dim(qBlue(c))));
        }
    }
    return image;
}

int reds(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += image.pixel(x, y) == kRed ? 1 : 0;
        }
    }
    return count;
}

// What the sign view draws of a picture with these settings.
QImage signView(const QImage& picture, int type, ColourTest test, bool adjust, int zoom) {
    const QSize screen = picture.size();
    return zoomView(
        signLeds(stretchToScreen(picture, screen, adjust), typeFamily(type).depth, screen, test),
        zoom, ViewStyle::Dots);
}

TEST(SignView, GoldenPictures) {
    // 20 LEDs wide: a dual-colour row sends 16 of them, a monochrome row 16.
    struct Row {
        const char* golden;
        int type;
        ColourTest test;
        bool adjust;
    };
    const Row rows[] = {
        {"sign_dual.png", 0, {false, false}, false},
        {"sign_dual_rgswap.png", 0, {true, false}, false},
        {"sign_dual_colorswap_adjust.png", 0, {false, true}, true},
        {"sign_mono.png", 13, {false, false}, false},
        {"sign_mono_rgswap_colorswap.png", 13, {true, true}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.golden);
        expectMatchesGolden(signView(bars({20, 8}), row.type, row.test, row.adjust, 6), row.golden);
    }
    // At 1:1 the view is the LEDs themselves; a type that is not sent lights nothing.
    const QImage leds = signLeds(bars({20, 8}), Depth::DualColour, {20, 8}, {});
    EXPECT_EQ(zoomView(leds, 1, ViewStyle::Dots), leds);
    EXPECT_EQ(signLeds(bars({20, 8}), Depth::NotSent, {20, 8}, {}).pixel(0, 0), 0xff000000);
    EXPECT_EQ(maxZoom({2048, 1600}), 2);
}

TEST(SignView, EveryEffectMovesAndEndsOnThePage) {
    QImage from(16, 8, QImage::Format_RGB32);
    from.fill(Qt::green);
    QImage to(16, 8, QImage::Format_RGB32);
    to.fill(Qt::red);
    const EffectScene scene{from, to, glyphTable(), QTime(12, 34, 56)};
    for (int code = 0; code < kEntryEffectCount; ++code) {
        SCOPED_TRACE(code);
        const QImage middle = effectFrame(code, scene, 0.5);
        EXPECT_EQ(middle == to, code == 0);
        EXPECT_EQ(middle == from, false);
        EXPECT_EQ(effectMs(code, 0) == 0, code == 0 || code == 39);
        EXPECT_EQ(effectFrame(code, scene, 1.0) == to, code != 39);
    }
    EXPECT_EQ(effectFrame(200, scene, 0.5), to);  // a code no effect has: at once

    // Some frames in detail, on an 8 x 4 sign, green giving way to red.
    const auto lit = [](const QImage& frame) {
        QString text;
        for (int y = 0; y < frame.height(); ++y) {
            for (int x = 0; x < frame.width(); ++x) {
                const QRgb p = frame.pixel(x, y);
                text += p == kRed ? 'R' : p == 0xff00ff00 ? 'G' : '.';
            }
            text += y + 1 < frame.height() ? "/" : "";
        }
        return text;
    };
    const EffectScene small{from.copy(0, 0, 8, 4), to.copy(0, 0, 8, 4), {}, {}};
    struct Row {
        int code;
        double t;
        const char* frame;
    };
    const Row rows[] = {
        {1, 0.25, "GGGGGGRR/GGGGGGRR/GGGGGGRR/GGGGGGRR"},  // shifted in from the right
        {4, 0.5, "RRRRRRRR/RRRRRRRR/GGGGGGGG/GGGGGGGG"},   // drawn in from the top
        {5, 0.25, "RRGGGGGG/RRGGGGGG/RRGGGGGG/RRGGGGGG"},  // uncovered left to right
        {9, 0.5, "RRGGGGRR/RRGGGGRR/RRGGGGRR/RRGGGGRR"},   // both sides to the centre
        {12, 0.5, "GGGGGGGG/RRRRRRRR/RRRRRRRR/GGGGGGGG"},  // centre up and down
        {17, 0.5, "RRGGGGRR/RRGGGGRR/RRGGGGRR/RRGGGGRR"},  // the halves slide in
        {21, 0.5, "RRRR...R/RRRR...R/RRRR...R/RRRR...R"},  // lines fly in one by one
        {25, 0.5, "RRRRRRRG/RRRRRGGG/RRRGGGGG/RGGGGGGG"},  // from the top-left corner
        {37, 0.4, "GGGRRGGG/GGRRRRGG/GGRRRRGG/GGGRRGGG"},  // a circle from the centre
        {40, 0.2, "......../......../......../........"},  // flicker: dark between
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.code);
        EXPECT_EQ(lit(effectFrame(row.code, small, row.t)).toStdString(), row.frame);
    }
    // "time": the controller's clock in its own characters, red.
    const QImage face = effectFrame(39, scene, 0.0);
    EXPECT_EQ(face, clockFace({16, 8}, glyphTable(), QTime(12, 34, 56)));
    expectMatchesGolden(clockFace({64, 16}, glyphTable(), QTime(12, 34, 56)), "sign_clock.png");
}

TEST(SignView, ShowTimeline) {
    // Page 1 at once for 2 s, page 2 uncovered in 600 ms then 1 s, page 3
    // shown for no time at all.
    const ShowTimeline show({{0, 0, 2}, {5, 0, 1}, {0, 0, 0}});
    EXPECT_EQ(show.totalMs(), 3600);
    const std::pair<qint64, ShowMoment> rows[] = {
        {0, {0, 1.0}},    {1999, {0, 1.0}}, {2000, {1, 0.0}},
        {2300, {1, 0.5}}, {3599, {1, 1.0}}, {3600, {-1, 1.0}},
    };
    for (const auto& [ms, moment] : rows) {
        SCOPED_TRACE(ms);
        EXPECT_EQ(show.at(ms).page, moment.page);
        EXPECT_DOUBLE_EQ(show.at(ms).progress, moment.progress);
    }
}

// The frames of an animated PNG, each rebuilt as a plain PNG, and how long
// each is shown.
struct Animation {
    int declared = -1;
    std::vector<QImage> frames;
    std::vector<int> ms;
};

QByteArray pngChunk(const char* type, const QByteArray& data) {
    const QByteArray typed = QByteArray(type, 4) + data;
    quint32 crc = ~0u;
    for (const char byte : typed) {
        crc ^= static_cast<uint8_t>(byte);
        for (int k = 0; k < 8; ++k) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
        }
    }
    QByteArray head(4, '\0');
    QByteArray tail(4, '\0');
    qToBigEndian(static_cast<quint32>(data.size()), head.data());
    qToBigEndian(~crc, tail.data());
    return head + typed + tail;
}

Animation readAnimation(const QByteArray& file) {
    Animation out;
    QByteArray header;
    QByteArray data;
    const auto flush = [&] {
        if (!data.isEmpty()) {
            out.frames.push_back(QImage::fromData(file.left(8) + header + pngChunk("IDAT", data) +
                                                  pngChunk("IEND", {})));
        }
        data.clear();
    };
    for (qsizetype at = 8; at + 12 <= file.size();) {
        const auto length = static_cast<qsizetype>(qFromBigEndian<quint32>(file.constData() + at));
        const QByteArray type = file.mid(at + 4, 4);
        const QByteArray body = file.mid(at + 8, length);
        if (type == "IHDR") {
            header = file.mid(at, length + 12);
        } else if (type == "acTL") {
            out.declared = static_cast<int>(qFromBigEndian<quint32>(body.constData()));
        } else if (type == "fcTL") {
            flush();
            const int num = qFromBigEndian<quint16>(body.constData() + 20);
            const int den = qFromBigEndian<quint16>(body.constData() + 22);
            out.ms.push_back(num * 1000 / std::max(1, den));
        } else if (type == "IDAT" || type == "fdAT") {
            data += type == "IDAT" ? body : body.mid(4);
        }
        at += length + 12;
    }
    flush();
    return out;
}

bool waitFor(QProcess& process, const char* text) {
    QByteArray seen;
    for (int i = 0; i < 100 && !seen.contains(text); ++i) {
        process.waitForReadyRead(100);
        seen += process.readAllStandardOutput();
    }
    return seen.contains(text);
}

TEST(SignView, TheWindowShowsWhatTheEmulatorWrites) {
    QTemporaryDir dir;
    const QDir folder(dir.path());
    // 20 x 8, RG-SWAP, COLOR-SWAP and ADJUST on, T0, 115200 bit/s.
    ASSERT_TRUE(writeBytes(folder.filePath("ck.ini"),
                           "1\r\n20\r\n8\r\n1\r\n16\r\n1\r\n1\r\n1\r\n0\r\n4\r\n"));
    ASSERT_TRUE(bars({20, 8}).save(folder.filePath("bars.bmp")));
    // Two pages: the bars uncovered from the left in 600 ms, shown 1 s; a
    // blank page at once for 2 s.
    ASSERT_TRUE(writeBytes(folder.filePath("show.lis"),
                           "bars.bmp\r\n5\r\n0\r\n0\r\n1\r\n0\r\n\r\n0\r\n0\r\n0\r\n2\r\n0\r\n"));
    QProcess emulator;
    emulator.start(QStringLiteral(MARQUEE_CLI_PATH),
                   {"--folder", dir.path(), "emulate", "--once", "--timeout", "20", "--zoom", "4",
                    "--animate", "--width", "20", "--height", "8", "--bps", "115200", "--rg-swap"});
    ASSERT_TRUE(waitFor(emulator, "controller 1 on"));
    const CliRun send = runCli({"--folder", dir.path(), "send", folder.filePath("show.lis")});
    EXPECT_EQ(send.exitCode, 0) << send.err.toStdString();
    ASSERT_TRUE(emulator.waitForFinished(10000));
    const QImage written(folder.filePath("page1.png"));
    ASSERT_EQ(written.size(), QSize(80, 32));

    Program program(dir.path());
    program.window.openListAtStart(folder.filePath("show.lis"));
    program.window.findChild<SignViewBar*>()->chooseZoom(4);
    QWidget* surface = program.window.findChild<QWidget*>("DispPlay");
    program.window.previewShown();  // the picture decoded by the worker is there
    EXPECT_EQ(surface->grab().toImage().convertToFormat(QImage::Format_RGB32),
              written.convertToFormat(QImage::Format_RGB32));

    // The animation: dark, the bars coming in, the bars, the blank page.
    const Animation animation = readAnimation(readBytes(folder.filePath("playlist.png")));
    ASSERT_EQ(animation.declared, static_cast<int>(animation.frames.size()));
    ASSERT_EQ(animation.frames.size(), 17u);  // 15 steps of 40 ms, two pages
    QImage dark(20, 8, QImage::Format_RGB32);
    dark.fill(Qt::black);
    EXPECT_EQ(animation.frames.front().convertToFormat(QImage::Format_RGB32),
              zoomView(dark, 4, ViewStyle::Dots));
    EXPECT_EQ(animation.frames[15].convertToFormat(QImage::Format_RGB32),
              written.convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(animation.ms, (std::vector<int>{40, 40, 40, 40, 40, 40, 40, 40, 40, 40, 40, 40, 40,
                                              40, 40, 1000, 2000}));
}

TEST(SignView, ZoomStepsFitAndThePictureClick) {
    QTemporaryDir dir;
    ASSERT_TRUE(writeBytes(QDir(dir.path()).filePath("ck.ini"), "1\r\n128\r\n16\r\n"));
    Program program(dir.path());
    TTwpMain& window = program.window;
    auto* bar = window.findChild<SignViewBar*>();
    QWidget* surface = window.findChild<QWidget*>("DispPlay");
    QFrame* frame = window.findChild<QFrame*>("Panel1");
    auto* stage = window.findChild<QScrollArea*>("Stage");
    const QSize sign(128, 16);

    // Fit, the default: the largest zoom at which everything fits the window.
    EXPECT_EQ(bar->chosenZoom(), SignViewBar::kFit);
    const int fit = surface->width() / sign.width();
    EXPECT_GE(fit, 3);  // under two toolbar lines, in a window of 1000 x 700
    EXPECT_EQ(surface->size(), sign * fit);
    EXPECT_EQ(stage->widget()->size(), stage->viewport()->size());  // nothing scrolls
    for (const int zoom : {1, 2, 5, 16}) {
        SCOPED_TRACE(zoom);
        bar->chooseZoom(zoom);
        EXPECT_EQ(surface->size(), sign * zoom);
        EXPECT_EQ(frame->size(), sign * zoom + QSize(2, 2));
        EXPECT_EQ(frame->x(), std::max(0, (stage->viewport()->width() - frame->width()) / 2));
    }
    // Ctrl + wheel and Ctrl + / - step from the zoom shown.
    bar->chooseZoom(SignViewBar::kFit);
    QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), {}, {0, 120}, Qt::NoButton, Qt::ControlModifier,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(stage->viewport(), &wheel);
    EXPECT_EQ(surface->size(), sign * (fit + 1));
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_Minus, Qt::ControlModifier);
    QTest::keyClick(&window, Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(bar->chosenZoom(), fit - 1);

    // The click shows the picture's own top-left pixels, decoded at full
    // size, for a JPEG as for a BMP of the same photo.
    bar->chooseZoom(1);
    QImage photo(640, 480, QImage::Format_RGB32);
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            photo.setPixel(x, y, qRgb(x * 255 / 639, (x ^ y) & 0xff, y * 255 / 479));
        }
    }
    for (const char* name : {"photo.jpg", "photo.bmp"}) {
        SCOPED_TRACE(name);
        const QString path = QDir(dir.path()).filePath(name);
        ASSERT_TRUE(photo.save(path, nullptr, 95));
        window.loadFile(path);
        const QImage scaled = window.previewShown();
        QTest::mouseClick(surface, Qt::LeftButton);
        const QImage own = window.previewShown();
        EXPECT_EQ(own, loadPicture(path).image.copy(QRect(QPoint(0, 0), sign)));
        EXPECT_NE(own, scaled);
        QTest::mouseClick(surface, Qt::LeftButton);
        EXPECT_EQ(window.previewShown(), scaled);
    }
}

TEST(SignView, PlayAndTheComposersLiveView) {
    QTemporaryDir dir;
    const QDir folder(dir.path());
    // A monochrome 64 x 16 sign: yellow text lights red.
    ASSERT_TRUE(writeBytes(folder.filePath("ck.ini"),
                           "1\r\n64\r\n16\r\n1\r\n16\r\n0\r\n1\r\n0\r\n13\r\n0\r\n"));
    Program program(dir.path());
    TForm3& form3 = program.form3;
    const QString text = folder.filePath("sale.txt");
    ASSERT_TRUE(writeBytes(text, "Sale 50%\nOpen 8-22\n"));
    ASSERT_TRUE(form3.prepare(text));
    form3.refreshSignView();
    ComposerSignView* view = form3.signView();
    const auto composed = [&](TextLayout layout, int i) {
        const TextComposition c(QStringLiteral("Sale 50%\nOpen 8-22\n"), {64, 16},
                                form3.options(layout));
        return signLeds(c.page(i), Depth::Monochrome, {64, 16}, {false, true});
    };
    // ONE LINE as one strip: two pages of the long line, red where the text is.
    EXPECT_EQ(view->pageShown(0), composed(TextLayout::OneLine, 1));
    EXPECT_EQ(view->pageShown(1), composed(TextLayout::OneLine, 2));
    EXPECT_GT(reds(view->pageShown(0)), 20);
    // MANY LINE with two lines a page: the lines as the memo wraps them.
    form3.findChild<QSpinBox*>("Edit4")->setValue(2);
    form3.refreshSignView();
    EXPECT_EQ(view->layoutShown(), 1);
    const TextComposition many(QStringLiteral("Sale 50%\nOpen 8-22\n"), {64, 16},
                               form3.options(TextLayout::ManyLine));
    for (int i = 1; i <= many.pageCount(); ++i) {
        EXPECT_EQ(view->pageShown(i - 1), composed(TextLayout::ManyLine, i));
    }
    EXPECT_TRUE(view->pageShown(many.pageCount()).isNull());
    EXPECT_FALSE(QFileInfo::exists(folder.filePath("LCTXT1.bmp")));  // nothing written yet

    // Play: page 1's effect in frames, labelled approximate, then the page again.
    form3.hide();
    ASSERT_TRUE(bars({64, 16}).save(folder.filePath("bars.bmp")));
    program.window.loadFile(folder.filePath("bars.bmp"));
    const QImage still = program.window.previewShown();
    auto* player = program.window.findChild<SignPlayer*>();
    program.window.findChild<QComboBox*>("InModeList")->setCurrentIndex(10);
    emit program.window.findChild<QComboBox*>("InModeList")->activated(10);
    program.window.findChild<QPushButton*>("PlayPage")->click();
    EXPECT_TRUE(player->playing());
    EXPECT_TRUE(program.window.findChild<QLabel*>("Approximate")
                    ->text()
                    .startsWith("approximate: page 1, 10 — wipe from the centre to both sides"));
    EXPECT_EQ(program.window.findChild<QPushButton*>("PlayPage")->text(), "stop");
    player->showAt(300);
    EXPECT_EQ(program.window.previewShown(), player->frame());
    program.window.findChild<QPushButton*>("PlayPage")->click();
    EXPECT_FALSE(player->playing());
    EXPECT_TRUE(program.window.findChild<QLabel*>("Approximate")->text().isEmpty());
    EXPECT_EQ(program.window.previewShown(), still);
    EXPECT_TRUE(program.messages.isEmpty());
}

}  // namespace

TEST(SignView, PreviewPicturesAreDecodedByAWorkerAndFollowTheirFiles) {
    QTemporaryDir dir;
    const QSize screen(64, 16);
    const auto at = [&](const char* name) { return QDir(dir.path()).filePath(name); };
    const auto filled = [&](const char* name, QColor colour, int width) {
        QImage image(width, 16, QImage::Format_RGB32);
        image.fill(colour);
        EXPECT_TRUE(image.save(at(name)));
    };
    PictureLoader loader;
    // Spins the event loop until the worker has delivered the file's picture.
    const auto arrived = [&](const QString& path) -> const PictureLoad* {
        for (int i = 0; i < 2000; ++i) {
            if (const PictureLoad* picture = loader.find(path, screen)) {
                return picture;
            }
            QCoreApplication::processEvents();
            QThread::msleep(5);
        }
        return nullptr;
    };
    QFile photo(dataPath("pictures/photo.jpg"));
    ASSERT_TRUE(photo.open(QIODevice::ReadOnly));
    const QByteArray jpeg = photo.readAll();
    struct Row {
        const char* name;
        std::function<void()> write;
        bool readable;
    };
    const Row rows[] = {
        {"red.bmp", [&] { filled("red.bmp", Qt::red, 64); }, true},
        {"photo.jpg", [&] { QFile::copy(dataPath("pictures/photo.jpg"), at("photo.jpg")); }, true},
        {"cut.jpg",
         [&] {
             QFile cut(at("cut.jpg"));
             ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
             cut.write(jpeg.left(200));
         },
         false},
        {"missing.png", [] {}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        row.write();
        // Not decoded on the caller's thread: nothing until the worker is done.
        EXPECT_EQ(loader.find(at(row.name), screen), nullptr);
        const PictureLoad* picture = arrived(at(row.name));
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(picture->error.isEmpty(), row.readable) << picture->error.toStdString();
        EXPECT_EQ(picture->image.isNull(), !row.readable);
        // The same answer as a decode on the spot.
        EXPECT_EQ(picture->image, loadPicture(at(row.name), screen).image);
        if (!row.readable) {
            continue;
        }
        // The file changes: its old picture is never shown again.
        filled(row.name, Qt::green, 80);
        EXPECT_EQ(loader.find(at(row.name), screen), nullptr);
        picture = arrived(at(row.name));
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(picture->image, loadPicture(at(row.name), screen).image);
        EXPECT_EQ(picture->image.width(), 80);
    }

    // Pages passed over while another decodes are not decoded: only the
    // latest wish waits.
    filled("a.bmp", Qt::red, 64);
    filled("b.bmp", Qt::green, 64);
    filled("c.bmp", Qt::blue, 64);
    EXPECT_EQ(loader.find(at("a.bmp"), screen), nullptr);
    EXPECT_EQ(loader.find(at("b.bmp"), screen), nullptr);
    EXPECT_EQ(loader.find(at("c.bmp"), screen), nullptr);
    loader.finish();
    ASSERT_NE(loader.find(at("c.bmp"), screen), nullptr);
    EXPECT_EQ(loader.find(at("c.bmp"), screen)->image.pixelColor(0, 0), QColor(Qt::blue));
    ASSERT_NE(loader.find(at("a.bmp"), screen), nullptr);
    EXPECT_EQ(loader.find(at("b.bmp"), screen), nullptr);
    // The window's own check waits for its answer.
    EXPECT_EQ(loader.wait(at("b.bmp"), screen).image.pixelColor(0, 0), QColor(Qt::green));
}
