// The controller emulator: frames, memory checks, its own settings, clock
// and pictures without a port; the line, the faults and the command over
// real pseudo-terminals.

#include "emulator/Emulator.h"
#include "pages/PageList.h"
#include "platform/SerialDevice.h"
#include "tests/TestSupport.h"
#include "transfer/GlyphTable.h"
#include "transfer/SetupImage.h"
#include "transfer/Transmission.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QTimeZone>

#include <poll.h>
#include <unistd.h>
#include <functional>
#include <random>

namespace {

// The lines of a data file that are not comments.
QStringList dataLines(const char* name) {
    return QString::fromUtf8(readBytes(dataPath(name)))
        .split('\n', Qt::SkipEmptyParts)
        .filter(QRegularExpression("^[^#]"));
}

// The frames parsed from bytes fed whole (seed 0), byte by byte (1) or in
// random pieces, as "controller:command bank@address data"; a frame cut
// short is dropped at the end, as after a pause.
QString parse(const QByteArray& bytes, unsigned seed) {
    FrameParser parser;
    std::mt19937 random(seed);
    for (int at = 0, size = 0; at < bytes.size(); at += size) {
        size = seed == 0 ? bytes.size() : seed == 1 ? 1 : static_cast<int>(random() % 40) + 1;
        size = std::min<int>(size, bytes.size() - at);
        parser.feed(bytes.constData() + at, static_cast<size_t>(size));
    }
    parser.abandonFrame();
    QStringList frames;
    for (const ReceivedFrame& f : parser.takeFrames()) {
        const auto* clock = reinterpret_cast<const char*>(f.clock.data());
        const QByteArray data = f.command == 2 ? QByteArray(clock, 7) : f.data;
        const QByteArray shown = data.size() <= 40 ? data.toHex()
                                                   : QByteArray::number(data.size()) +
                                                         " bytes ending " + data.right(4).toHex();
        frames << QString::asprintf("%d:%d %d@%x %s", f.controller, f.command, f.bank, f.address,
                                    shown.constData());
    }
    return frames.join('|');
}

QByteArray block(int bank, int address, const QByteArray& data, uint8_t num = 1) {
    QByteArray bytes;
    appendWriteBlockHeader(bytes, num, bank, address, static_cast<int>(data.size()));
    return bytes + data;
}

QByteArray endFrame(uint8_t num = 1) {
    QByteArray bytes;
    appendEndFrame(bytes, num);
    return bytes;
}

TEST(EmulatorParser, ParsesWhatTheBuildersWrite) {
    const Settings t13{1, 8, 8, 1, 16, false, false, false, 13, 0};  // 8 x 8, COLOR-SWAP off
    PageList pages;
    pages.loadPages({PlayItem{"", 40, 0, 0, 7, 3}});
    const QTemporaryDir dir;
    const QString glyphs = "816 bytes ending " + glyphTable().right(4).toHex();
    const std::pair<QByteArray, QString> rows[] = {
        {block(2, 0x600, "xyz", 9), "9:0 2@600 78797a"},
        {block(3, 0x1234, ""), "1:0 3@1234 "},
        {endFrame(7), "7:1 0@0 "},
        {clockFrame(1, QDateTime(QDate(2026, 12, 5), QTime(13, 47, 42))), "1:2 0@0 26061205134742"},
        {readRequest(), "0:5 0@0 "},
        {parameterFrame(defaultParameters(0)),
         "0:0 0@8000 0100004000100040190180250000106400"
         "91faff01000000000800001200000070617261|0:4 0@0 "},
        {downloadFrame(QByteArray(kSetupImageBytes, '\xFF')),
         "0:0 0@8000 16388 bytes ending 646f77b5|0:3 0@0 "},
        {buildTransfer(t13, pages, dir.path(), nullptr).bytes,
         "1:0 0@500 0000000000000000|1:0 7@d04 " + glyphs + "|1:0 7@113c 0100280307|1:1 0@0 "},
        {"\x55\xAA\xFF\x01\x55\xAA\x55" + endFrame(), "1:1 0@0 "},  // noise first
        {"\x01\x55\xAA\x55" + endFrame(), "1:1 0@0 "},              // a header cut short
        {block(7, 0xD04, endFrame().repeated(20)), "1:0 7@d04 120 bytes ending aa55aa01"},
        {endFrame(2) + block(0, 0x500, QByteArray(100, 'x')).left(60), "2:1 0@0 "},  // cut short
    };
    for (const auto& [bytes, frames] : rows) {
        for (unsigned seed : {0u, 1u, 2u, 3u, 4u}) {
            EXPECT_EQ(parse(bytes, seed), frames) << "seed " << seed;
        }
    }
}

TEST(EmulatorLine, AnotherRateGivesWhatAUartWouldRead) {
    // line bit/s, own bit/s, bytes sent, bytes received, framing errors
    const std::tuple<int, int, const char*, const char*, int> rows[] = {
        {9600, 9600, "0155aa", "0155aa", 0},
        {115200, 9600, "ff", "", 0},     // a start bit too short to be one
        {9600, 115200, "00", "", 1},     // ten low samples: no stop bit
        {19200, 9600, "0000", "08", 0},  // every other bit: the first stop bit is bit 3
    };
    for (const auto& [line, own, sent, received, errors] : rows) {
        UartReceiver uart(line, own);
        const QByteArray got = uart.receive(QByteArray::fromHex(sent)) + uart.idle();
        EXPECT_EQ(got.toHex(), received) << line << " to " << own;
        EXPECT_EQ(uart.framingErrors(), errors) << line << " to " << own;
    }
}

// Parses bytes and hands every frame to the controller; the last response.
FrameResponse feed(EmulatedController& controller, const QByteArray& bytes, qint64 nowMs = 0) {
    FrameParser parser;
    parser.feed(bytes.constData(), static_cast<size_t>(bytes.size()));
    FrameResponse last;
    for (const ReceivedFrame& frame : parser.takeFrames()) {
        last = controller.handle(frame, nowMs);
    }
    return last;
}

TEST(EmulatedController, ChecksWhereEveryBlockLands) {
    const QStringList lines = dataLines("emulator-landing.txt");
    ASSERT_EQ(lines.size(), 16);
    for (const QString& line : lines) {
        const QStringList f = line.split(' ');
        const QString problem = f.mid(4).join(' ') == "-" ? QString() : f.mid(4).join(' ');
        QByteArray data(f[2].toInt(), 'p');
        data.replace(0, f[3].size() / 2, QByteArray::fromHex(f[3].toLatin1()));
        for (const bool strict : {false, true}) {
            SCOPED_TRACE((line + (strict ? " (strict)" : "")).toStdString());
            ControllerSetup setup;
            setup.strict = strict;
            EmulatedController controller(setup);
            const QString log =
                feed(controller, block(f[0].toInt(), f[1].toInt(nullptr, 0), data)).log;
            EXPECT_EQ(log.contains("off the memory map, " + problem), !problem.isEmpty())
                << log.toStdString();
            const bool acknowledged =
                feed(controller, endFrame()).form != FrameResponse::Form::None;
            EXPECT_EQ(acknowledged, !strict || problem.isEmpty());
        }
    }
}

// Red, green, yellow and dark at random.
QImage randomCard(int width, int height, unsigned seed) {
    std::mt19937 random(seed);
    QImage card(width, height, QImage::Format_RGB32);
    for (int i = 0; i < width * height; ++i) {
        const unsigned pick = random();
        card.setPixel(i % width, i / width, qRgb(pick & 1 ? 255 : 0, pick & 2 ? 255 : 0, 0));
    }
    return card;
}

TEST(EmulatedController, ItsOwnParametersDecideWhatItShows) {
    // Drawn and packed as the sender does by default: dual colour, COLOR-SWAP on.
    const QImage card = randomCard(16, 8, 5);
    QByteArray packed;
    packPage(card, Depth::DualColour, 16, 8, {false, true}, packed);
    const int table = memoryMap(typeFamily(0), 16, 8, 16).A;
    const QByteArray sent =
        block(0, 0x500, packed) + block(7, table, QByteArray("\1\0\1\2\3", 5)) + endFrame();
    // The card on a sign of the other polarity, with red and green lines
    // exchanged, or taking each byte least significant bit first.
    const auto shows = [&](bool invert, bool exchange, bool mirror) {
        QImage image(16, 8, QImage::Format_RGB32);
        for (int i = 0; i < 128; ++i) {
            const QRgb pixel = card.pixel(mirror ? i % 16 / 4 * 4 + 3 - i % 4 : i % 16, i / 16);
            const bool red = (exchange != mirror ? qGreen(pixel) : qRed(pixel)) > 0;
            const bool green = (exchange != mirror ? qRed(pixel) : qGreen(pixel)) > 0;
            image.setPixel(i % 16, i / 16,
                           qRgb(red != invert ? 255 : 0, green != invert ? 255 : 0, 0));
        }
        return image;
    };
    const std::tuple<QStringList, bool, QImage> rows[] = {
        {{}, false, shows(false, false, false)},
        {{"datacom=0"}, false, shows(true, false, false)},
        {{}, true, shows(false, true, false)},
        {{"swap8=1"}, false, shows(false, false, true)},
    };
    for (const auto& [parameters, rgSwap, image] : rows) {
        ControllerSetup setup;
        setup.rgSwap = rgSwap;
        assignParameters(QStringList{"width=16", "high=8"} + parameters, &setup.parameters);
        EmulatedController controller(setup);
        feed(controller, sent);
        const QTemporaryDir dir;
        SignOutput(dir.path(), 1, false).showPages(controller.shownPages(), {}, {});
        EXPECT_EQ(QImage(dir.filePath("page1.png")).convertToFormat(QImage::Format_RGB32), image)
            << parameters.join(' ').toStdString() << (rgSwap ? " --rg-swap" : "");
        // A saved parameter block is in force at once.
        ControllerParameters saved = controller.parameters();
        saved.dataCom = !saved.dataCom;
        EXPECT_TRUE(feed(controller, parameterFrame(saved)).parametersSaved);
        EXPECT_NE(controller.shownPages().at(0).image, image);
    }
}

TEST(EmulatedController, ClockRunsOn) {
    EmulatedController controller({}, 0);
    const QDateTime start(QDate(2000, 1, 1), QTime(0, 1, 1), QTimeZone::utc());
    EXPECT_EQ(controller.clockAt(61000).time, start);  // never set: from its start
    feed(controller, clockFrame(1, QDateTime(QDate(2026, 12, 5), QTime(23, 59, 30))), 1000);
    const ControllerClock clock = controller.clockAt(46000);
    EXPECT_EQ(clock.time, QDateTime(QDate(2026, 12, 6), QTime(0, 0, 15), QTimeZone::utc()));
    EXPECT_EQ(clock.weekday, 7);  // Saturday went on to Sunday at midnight
}

TEST(EmulatorPictures, UnpackingUndoesThePacking) {
    // 30 pixels wide, not a multiple of 8: the last 6 columns are not sent.
    QImage card = randomCard(30, 8, 3);
    card.setPixel(1, 1, qRgb(0, 0, 255));  // blue never lights
    card.setPixel(2, 1, qRgb(1, 0, 0));    // any red lights red
    for (const Depth depth : {Depth::DualColour, Depth::Monochrome}) {
        for (const ColourTest test :
             {ColourTest{false, false}, {false, true}, {true, false}, {true, true}}) {
            QByteArray bytes;
            packPage(card, depth, 30, 8, test, bytes);
            // A monochrome sign shows the first channel: green, or red with RG-SWAP.
            const char* golden = depth == Depth::DualColour ? "unpacked_dual_30x8.png"
                                 : test.rgSwap              ? "unpacked_mono_red_30x8.png"
                                                            : "unpacked_mono_green_30x8.png";
            expectMatchesGolden(unpackPage(bytes, depth, 30, 8, test), golden);
        }
    }
}

TEST(EmulatorPictures, PagesReplaceWhatTheFolderHeld) {
    const QImage lit = randomCard(16, 8, 7);
    const std::vector<ShownPage> pages(3, ShownPage{lit, 1, 0, 5});
    const auto make = [](const QString& path, const QDateTime& modified) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write("old") == 3 && file.flush() &&
               file.setFileTime(modified, QFileDevice::FileModificationTime);
    };
    const QDateTime now = QDateTime::currentDateTime();
    struct Row {
        const char* what;
        std::function<void(const QDir&, const QDir&)> before;
        std::function<void(const QDir&, const QDir&, const QStringList&)> after;
    };
    const Row rows[] = {
        {"a temporary picture left by a killed emulator goes, a fresh one stays",
         [&](const QDir& out, const QDir&) {
             ASSERT_TRUE(make(out.filePath(".page1.png.Ab12Cd"), now.addSecs(-120)));
             ASSERT_TRUE(make(out.filePath(".page2.png.Ef34Gh"), now));
         },
         [](const QDir& out, const QDir&, const QStringList& problems) {
             EXPECT_TRUE(problems.isEmpty()) << problems.join('\n').toStdString();
             EXPECT_FALSE(out.exists(".page1.png.Ab12Cd"));
             EXPECT_TRUE(out.exists(".page2.png.Ef34Gh"));
         }},
        {"a picture that cannot be written is told, the others are written",
         [](const QDir& out, const QDir&) { ASSERT_TRUE(out.mkdir("page2.png")); },
         [](const QDir& out, const QDir&, const QStringList& problems) {
             ASSERT_EQ(problems.size(), 1);
             EXPECT_TRUE(problems[0].startsWith("cannot write " + out.filePath("page2.png")))
                 << problems[0].toStdString();
             EXPECT_TRUE(QFileInfo(out.filePath("page2.png")).isDir());
             EXPECT_FALSE(QImage(out.filePath("page1.png")).isNull());
             EXPECT_FALSE(QImage(out.filePath("page3.png")).isNull());
         }},
        {"a picture linked elsewhere is replaced where the link points",
         [&](const QDir& out, const QDir& elsewhere) {
             ASSERT_TRUE(make(elsewhere.filePath("shown.png"), now));
             ASSERT_TRUE(QFile::link(elsewhere.filePath("shown.png"), out.filePath("page1.png")));
         },
         [&](const QDir& out, const QDir& elsewhere, const QStringList& problems) {
             EXPECT_TRUE(problems.isEmpty()) << problems.join('\n').toStdString();
             EXPECT_TRUE(QFileInfo(out.filePath("page1.png")).isSymLink());
             EXPECT_EQ(
                 QImage(elsewhere.filePath("shown.png")).convertToFormat(QImage::Format_RGB32),
                 lit);
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const QTemporaryDir outDir;
        const QTemporaryDir elsewhereDir;
        const QDir out(outDir.path());
        const QDir elsewhere(elsewhereDir.path());
        row.before(out, elsewhere);
        const QStringList problems = SignOutput(out.path(), 1, false).showPages(pages, {}, {});
        row.after(out, elsewhere, problems);
        // Nothing of the replacement is left behind.
        EXPECT_EQ(out.entryList({".page3.png.*", ".playlist.txt.*"}, QDir::Files | QDir::Hidden),
                  QStringList());
    }
}

bool linked(const QTemporaryDir& dir, const char* name) {
    for (int i = 0; i < 1000 && !QFileInfo::exists(dir.filePath(name)); ++i) {
        QThread::msleep(10);
    }
    return QFileInfo::exists(dir.filePath(name));
}

TEST(EmulatorLine, PacedTransferTakesItsLineTime) {
    // 73 pages of 64 x 16, glyphs, play table, end: 20556 bytes, 21.4 s at 9600 bit/s.
    PageList pages;
    pages.loadPages(std::vector<PlayItem>(73, PlayItem{"", 1, 0, 0, 5, 2}));
    const QByteArray tx = buildTransfer(Settings{}, pages, QString(), nullptr).bytes;
    const QTemporaryDir dir;
    QProcess emulator;  // a T0 64 x 16 controller at 9600 bit/s
    emulator.start(MARQUEE_CLI_PATH, {"--folder", dir.path(), "emulate"});
    ASSERT_TRUE(linked(dir, "com1"));
    SerialDevice port;
    QString error;
    ASSERT_TRUE(port.open(dir.filePath("com1"), &error) && port.configure(9600, &error));
    const qint64 lineMs = tx.size() * 10000LL / 9600;
    QElapsedTimer clock;
    clock.start();
    // Straight to the device, so that only the emulator sets the pace.
    for (qsizetype at = 0; at < tx.size(); poll(nullptr, 0, 5)) {
        at += std::max<ssize_t>(0, ::write(port.handle(), tx.constData() + at, tx.size() - at));
    }
    QByteArray reply;
    // Room to spare for a loaded machine: what counts is that it is not sooner.
    EXPECT_EQ(port.waitReply(static_cast<int>(lineMs + 10000 - clock.elapsed()), 1, &reply),
              SerialDevice::Wait::Received);
    EXPECT_EQ(reply, "\x01");
    EXPECT_GE(clock.elapsed(), lineMs * 95 / 100);
}

TEST(EmulatorLine, EachFaultGivesTheSendersMessage) {
    struct Case {
        QTemporaryDir dir;
        QProcess emulator, sender;
        QStringList fields;  // options | command | exit status | last line | logged
    };
    std::vector<std::unique_ptr<Case>> cases;
    for (const QString& line : dataLines("emulator-faults.txt")) {
        Case& c = *cases.emplace_back(std::make_unique<Case>());
        c.fields = line.split(" | ");
        writeBytes(c.dir.filePath("ck.ini"),
                   "1\r\n64\r\n16\r\n1\r\n16\r\n0\r\n1\r\n0\r\n0\r\n4\r\n");
        writeBytes(c.dir.filePath("show.lis"),
                   QByteArray("\r\n1\r\n0\r\n0\r\n5\r\n2\r\n").repeated(2));
        c.emulator.start(MARQUEE_CLI_PATH,
                         QStringList{"--folder", c.dir.path(), "emulate", "--bps", "115200"} +
                             c.fields[0].split(' '));
    }
    for (auto& c : cases) {  // all at once: the waits for replies overlap
        ASSERT_TRUE(linked(c->dir, "com1"));
        c->sender.setWorkingDirectory(c->dir.path());
        c->sender.start(MARQUEE_CLI_PATH,
                        QStringList{"--folder", c->dir.path()} + c->fields[1].split(' '));
    }
    for (auto& c : cases) {
        SCOPED_TRACE(c->fields.join(" | ").toStdString());
        ASSERT_TRUE(c->sender.waitForFinished(15000));
        EXPECT_EQ(c->sender.exitCode(), c->fields[2].toInt());
        EXPECT_TRUE(c->sender.readAllStandardOutput().trimmed().endsWith(c->fields[3].toUtf8()));
        c->emulator.terminate();  // a stop by signal takes the link away
        ASSERT_TRUE(c->emulator.waitForFinished(5000));
        EXPECT_FALSE(QFileInfo(c->dir.filePath("com1")).isSymLink());
        EXPECT_TRUE(c->emulator.readAllStandardOutput().contains(c->fields[4].toUtf8()));
    }
}

TEST(EmulatorCommand, KeepsWhatWasSaved) {
    const QTemporaryDir dir;
    ASSERT_TRUE(writeBytes(dir.filePath("ck.ini"), "1\r\n64\r\n16\r\n3\r\n"));  // COMM 3
    const auto run = [&](const QStringList& args) {
        return runCli(QStringList{"--folder", dir.path()} + args);
    };
    // --once serves a save and ends, taking its link away.
    QProcess once;
    once.start(MARQUEE_CLI_PATH, {"--folder", dir.path(), "emulate", "--once", "--no-pace"});
    ASSERT_TRUE(linked(dir, "com3"));
    EXPECT_EQ(run({"save-para", "num=2", "width=96"}).exitCode, 0);
    ASSERT_TRUE(once.waitForFinished(5000));
    EXPECT_EQ(once.exitCode(), 0);
    EXPECT_FALSE(QFileInfo(dir.filePath("com3")).isSymLink());
    // It starts again with what it was sent; --once with nothing to do runs out of time.
    const CliRun next = run({"emulate", "--once", "--timeout", "1"});
    EXPECT_EQ(next.exitCode, 1);
    EXPECT_TRUE(next.out.startsWith("controller 2 on") && next.out.contains(": T0 96 x 16"));
    writeBytes(dir.filePath("emulator3.para"), "width=5\n");
    EXPECT_TRUE(run({"emulate"}).err.contains("emulator3.para: width must be"));
}

}  // namespace
