#include "emulator/Emulator.h"
#include "platform/SerialDevice.h"
#include "tests/TestSupport.h"
#include "transfer/FrameParser.h"
#include "transfer/Frames.h"
#include "transfer/MemoryMap.h"
#include "transfer/Packing.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <thread>

namespace {

void sleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// ---- Frames as the parser should report them ----

QString describe(const ReceivedFrame& frame) {
    QString text = QStringLiteral("%1:%2")
                       .arg(frame.controller, 2, 16, QLatin1Char('0'))
                       .arg(frame.command, 2, 16, QLatin1Char('0'));
    if (frame.command == 0x00) {
        text += QStringLiteral(" %1@%2 %3")
                    .arg(frame.bank)
                    .arg(frame.address, 4, 16, QLatin1Char('0'))
                    .arg(QString::fromLatin1(frame.data.toHex()));
    } else if (frame.command == 0x02) {
        text += QLatin1Char(' ') +
                QString::fromLatin1(
                    QByteArray(reinterpret_cast<const char*>(frame.clock.data()), 7).toHex());
    }
    return text;
}

// A piece of the byte stream and the frame it should give ("" for none).
struct Piece {
    QByteArray bytes;
    QString frame;
    bool pauseAfter = false;  // the traffic pauses: a cut frame is dropped
};

Piece block(uint8_t num, int bank, int address, const QByteArray& data) {
    QByteArray bytes;
    appendWriteBlockHeader(bytes, num, bank, address, static_cast<int>(data.size()));
    bytes += data;
    ReceivedFrame frame;
    frame.controller = num;
    frame.bank = bank;
    frame.address = address;
    frame.data = data;
    return {bytes, describe(frame)};
}

Piece command(uint8_t num, uint8_t code) {
    QByteArray bytes;
    appendFrameHeader(bytes, num, static_cast<Command>(code));
    ReceivedFrame frame;
    frame.controller = num;
    frame.command = code;
    return {bytes, describe(frame)};
}

Piece clockFrame(uint8_t num, const QByteArray& clock) {
    QByteArray bytes;
    appendFrameHeader(bytes, num, Command::SetClock);
    ReceivedFrame frame;
    frame.controller = num;
    frame.command = 0x02;
    std::copy_n(clock.constData(), 7, reinterpret_cast<char*>(frame.clock.data()));
    return {bytes + clock, describe(frame)};
}

Piece noise(const QByteArray& bytes, bool pauseAfter = false) {
    return {bytes, {}, pauseAfter};
}

// Data full of header look-alikes: a block's data is never taken for a frame.
QByteArray headerLikeData(int size) {
    QByteArray data;
    while (data.size() < size) {
        data += QByteArray("\x01\x55\xAA\x55\xAA\x01\x00", 7);
    }
    return data.left(size);
}

enum class Split { Whole, ByteByByte, RandomChunks };

QStringList parse(const std::vector<Piece>& pieces, Split split, unsigned seed) {
    FrameParser parser;
    std::mt19937 random(seed);
    for (const Piece& piece : pieces) {
        int at = 0;
        while (at < piece.bytes.size()) {
            int size = static_cast<int>(piece.bytes.size()) - at;
            if (split == Split::ByteByByte) {
                size = 1;
            } else if (split == Split::RandomChunks) {
                size = std::min(size, static_cast<int>(random() % 40) + 1);
            }
            parser.feed(piece.bytes.constData() + at, static_cast<size_t>(size));
            at += size;
        }
        if (piece.pauseAfter && parser.inFrame()) {
            parser.abandonFrame();
        }
    }
    QStringList frames;
    for (const ReceivedFrame& frame : parser.takeFrames()) {
        frames << describe(frame);
    }
    return frames;
}

TEST(EmulatorParser, FramesWhateverTheSplit) {
    const QByteArray page("\x81\x42\x24\x18\x18\x24\x42\x81", 8);
    QByteArray cutBlock;
    appendWriteBlockHeader(cutBlock, 1, 0, 0x0500, 100);
    cutBlock += QByteArray(10, '\x55');
    struct Row {
        const char* name;
        std::vector<Piece> pieces;
    };
    const Row rows[] = {
        {"a whole transfer",
         {block(1, 0, 0x0500, page), block(1, 7, 0x0D04, headerLikeData(816)),
          block(1, 7, 0x113C, QByteArray("\x01\x00\x03\x02\x05", 5)), command(1, 0x01)}},
        {"noise before a frame",
         {noise(QByteArray("\x55\xAA\x00\xFF\x01\x55\xAA\x55", 8)), command(1, 0x01)}},
        {"frames for other controllers",
         {command(2, 0x01), clockFrame(0, QByteArray("\x26\x06\x12\x05\x13\x47\x42", 7)),
          block(255, 0, 0x0500, "ab")}},
        {"header cut inside the sync bytes", {noise("\x01\x55\xAA\x55"), command(1, 0x01)}},
        {"header cut before its command, then a pause",
         {noise("\x01\x55\xAA\x55\xAA", true), block(1, 2, 0x0600, "xyz")}},
        {"write block cut short, then a pause", {noise(cutBlock, true), command(1, 0x01)}},
        {"commands the emulator does not handle",
         {command(1, 0x07), command(0, 0x05), command(0, 0x04), command(1, 0x01)}},
        {"empty write block", {block(1, 3, 0x1234, ""), command(1, 0x01)}},
        {"clock", {clockFrame(1, QByteArray("\x00\x07\x01\x02\x00\x00\x00", 7))}},
        {"blocks past the end of a bank or in no bank",
         {block(1, 0, 0xFFF0, QByteArray(32, 'p')), block(1, 9, 0, "qqqq"), command(1, 0x01)}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QStringList expected;
        for (const Piece& piece : row.pieces) {
            if (!piece.frame.isEmpty()) {
                expected << piece.frame;
            }
        }
        const std::string wanted = expected.join('\n').toStdString();
        EXPECT_EQ(parse(row.pieces, Split::Whole, 0).join('\n').toStdString(), wanted);
        EXPECT_EQ(parse(row.pieces, Split::ByteByByte, 0).join('\n').toStdString(), wanted);
        for (unsigned seed = 1; seed <= 3; ++seed) {
            EXPECT_EQ(parse(row.pieces, Split::RandomChunks, seed).join('\n').toStdString(), wanted)
                << seed;
        }
    }
}

TEST(EmulatorParser, RandomBytesThenAPauseThenAFrame) {
    std::mt19937 random(7);
    QByteArray junk(200000, '\0');
    for (char& byte : junk) {
        // Mostly sync bytes, so that many headers and lengths are read from noise.
        const unsigned pick = random() % 4;
        byte = static_cast<char>(pick == 0 ? 0x55 : pick == 1 ? 0xAA : random() % 256);
    }
    const std::vector<Piece> pieces = {noise(junk, true), command(1, 0x01)};
    const QStringList frames = parse(pieces, Split::RandomChunks, 11);
    ASSERT_FALSE(frames.isEmpty());
    EXPECT_EQ(frames.last(), QStringLiteral("01:01"));
}

TEST(EmulatorMemory, WritesStayInsideTheBanks) {
    struct Row {
        int bank, address, size;
        int stored;
    };
    const Row rows[] = {
        {0, 0x0500, 8, 8},   {7, 0xFFF0, 32, 16},           {0, 0xFFFF, 2, 1},  {8, 0x0000, 4, 0},
        {255, 0x0500, 4, 0}, {3, 0x0000, 0x10000, 0x10000}, {-1, 0x0000, 4, 0}, {2, 0x10000, 4, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.bank << "@" << row.address << "+" << row.size);
        ControllerMemory memory;
        const QByteArray data(row.size, '\x5A');
        EXPECT_EQ(memory.write(row.bank, row.address, data), row.stored);
        int lit = 0;
        for (int bank = 0; bank < ControllerMemory::kBanks; ++bank) {
            lit += static_cast<int>(memory.bank(bank).count('\x5A'));
            EXPECT_EQ(memory.bank(bank).size(), ControllerMemory::kBankBytes);
        }
        EXPECT_EQ(lit, row.stored);
        if (row.stored > 0) {
            EXPECT_EQ(memory.read(row.bank, row.address, row.size), data.left(row.stored));
        }
    }
}

// ---- Pictures of the pages ----

// One character a pixel: R red, G green, Y yellow, . dark.
QString pixels(const QImage& image) {
    QString text;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            switch (image.pixel(x, y) & 0xFFFFFF) {
                case 0xFF0000:
                    text += 'R';
                    break;
                case 0x00FF00:
                    text += 'G';
                    break;
                case 0xFFFF00:
                    text += 'Y';
                    break;
                case 0x000000:
                    text += '.';
                    break;
                default:
                    text += '?';
            }
        }
        if (y + 1 < image.height()) {
            text += '/';
        }
    }
    return text;
}

TEST(EmulatorPictures, DecodePageIsTheInverseOfThePacking) {
    struct Row {
        Depth depth;
        int width;
        QByteArray bytes;
        bool colorSwap, rgSwap;
        const char* shown;
    };
    const Row rows[] = {
        {Depth::DualColour, 8, QByteArray("\x9C\x00", 2), false, false, "RGY....."},
        {Depth::DualColour, 8, QByteArray("\x63\xFF", 2), true, false, "RGY....."},
        {Depth::DualColour, 8, QByteArray("\x6C\x00", 2), false, true, "RGY....."},
        {Depth::DualColour, 8, QByteArray("\x00\xC4", 2), false, false, "....Y.G."},
        // Columns past the last whole byte pair are not sent: dark.
        {Depth::DualColour, 12, QByteArray("\xFF\xFF", 2), false, false, "YYYYYYYY...."},
        {Depth::Monochrome, 8, QByteArray("\x89", 1), false, false, "R...R..R"},
        {Depth::Monochrome, 8, QByteArray("\x76", 1), true, false, "R...R..R"},
        {Depth::Monochrome, 8, QByteArray("\x89", 1), false, true, "R...R..R"},
        {Depth::Monochrome, 16, QByteArray("\x01", 1), false, false, ".......R........"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.shown);
        const QImage image =
            unpackPage(row.bytes, row.depth, row.width, 1, {row.rgSwap, row.colorSwap});
        EXPECT_EQ(pixels(image), QString::fromLatin1(row.shown));
    }
}

// ---- The emulator over a real pseudo-terminal ----

// A random page in the given colours, as an operator would draw it.
QImage randomPage(int width, int height, const QString& colours, unsigned seed) {
    std::mt19937 random(seed);
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const QChar pick = colours[static_cast<int>(random() % colours.size())];
            image.setPixel(x, y,
                           pick == 'R'   ? qRgb(255, 0, 0)
                           : pick == 'G' ? qRgb(0, 255, 0)
                           : pick == 'Y' ? qRgb(255, 255, 0)
                                         : qRgb(0, 0, 0));
        }
    }
    return image;
}

struct PlayEntry {
    int effect, speed, time;
};

// The bytes a picture transfer writes: pages, glyph table, play table, end.
QByteArray transfer(uint8_t num, int type, int width, int height, const QList<QByteArray>& pages,
                    const QList<PlayEntry>& entries) {
    const MemoryMap map = memoryMap(typeFamily(type), width, height, 16);
    QByteArray tx;
    for (int i = 1; i <= pages.size(); ++i) {
        appendWriteBlockHeader(tx, num, map.pageBank(i), map.pageAddress(i), map.P);
        tx += pages[i - 1];
    }
    appendWriteBlockHeader(tx, num, kTableBank, kGlyphAddress, kGlyphBytes);
    tx += headerLikeData(kGlyphBytes);
    appendWriteBlockHeader(tx, num, kTableBank, map.A, 2 + 3 * static_cast<int>(entries.size()));
    appendLittleEndian16(tx, static_cast<int>(entries.size()));
    for (const PlayEntry& entry : entries) {
        tx += static_cast<char>(entry.effect);
        tx += static_cast<char>(entry.speed);
        tx += static_cast<char>(entry.time);
    }
    appendEndFrame(tx, num);
    return tx;
}

// The emulator running on its own thread in a fresh folder.
class EmulatorRun {
  public:
    explicit EmulatorRun(EmulatorOptions options) : port_(options.port) {
        options.outDir = dir_.path();
        emulator_ = std::make_unique<Emulator>(options, [this](const QString& line) {
            std::lock_guard<std::mutex> lock(mutex_);
            lines_ << line;
        });
        QString error;
        if (!emulator_->start(dir_.path(), &error)) {
            ADD_FAILURE() << error.toStdString();
            return;
        }
        thread_ = std::thread([this] { emulator_->run(); });
    }
    ~EmulatorRun() { stop(); }

    void stop() {
        if (thread_.joinable()) {
            emulator_->stop();
            thread_.join();
        }
    }
    bool connect(SerialDevice& device) {
        QString error;
        const bool ok = device.open(serialPortPath(dir_.path(), port_), &error) &&
                        device.configure(9600, &error);
        EXPECT_TRUE(ok) << error.toStdString();
        return ok;
    }
    QString path(const QString& name) const { return QDir(dir_.path()).filePath(name); }
    QString log() {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_.join('\n');
    }

  private:
    QTemporaryDir dir_;
    int port_;
    std::unique_ptr<Emulator> emulator_;
    std::thread thread_;
    std::mutex mutex_;
    QStringList lines_;
};

TEST(EmulatorPictures, ReceivedPagesShowAsDrawn) {
    struct Row {
        const char* name;
        int type, width, height;
        bool colorSwap, rgSwap;
        QString colours;  // drawn with these
        int pageCount;
    };
    const Row rows[] = {
        {"monochrome 8 x 8", 13, 8, 8, false, false, "Y.", 1},
        {"monochrome 16 x 8, COLOR-SWAP", 16, 16, 8, true, false, "Y.", 1},
        {"dual-colour 64 x 16, COLOR-SWAP", 0, 64, 16, true, false, "RGY.", 2},
        {"dual-colour 64 x 16, RG-SWAP", 26, 64, 16, false, true, "RGY.", 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Depth depth = typeFamily(row.type).depth;
        EmulatorOptions options;
        options.controller.type = row.type;
        options.controller.width = row.width;
        options.controller.height = row.height;
        options.controller.colorSwap = row.colorSwap;
        options.controller.rgSwap = row.rgSwap;
        EmulatorRun run(options);

        QList<QImage> drawn;
        QList<QByteArray> packed;
        QList<PlayEntry> entries;
        for (int i = 0; i < row.pageCount; ++i) {
            drawn << randomPage(row.width, row.height, row.colours, 100 + i);
            QByteArray bytes;
            const ColourTest test{row.rgSwap, row.colorSwap};
            if (depth == Depth::DualColour) {
                packDualColour(drawn.last(), row.width, row.height, test, bytes);
            } else {
                packMonochrome(drawn.last(), row.width, row.height, test, bytes);
            }
            packed << bytes;
            entries << PlayEntry{i + 1, 2 * i, 10 + i};
        }
        SerialDevice device;
        ASSERT_TRUE(run.connect(device));
        QString error;
        ASSERT_TRUE(
            device.writeAll(transfer(1, row.type, row.width, row.height, packed, entries), &error));
        QByteArray reply;
        ASSERT_EQ(device.waitReply(2000, 1, &reply), SerialDevice::Wait::Received);
        EXPECT_EQ(reply, QByteArray("\x01"));

        QString playlist;
        for (int i = 0; i < row.pageCount; ++i) {
            const QImage shown(run.path(QStringLiteral("page%1.png").arg(i + 1)));
            ASSERT_FALSE(shown.isNull());
            // A monochrome sign lights in red whatever colour was drawn.
            QString expected = pixels(drawn[i]);
            if (depth == Depth::Monochrome) {
                expected.replace('Y', 'R');
            }
            EXPECT_EQ(pixels(shown), expected) << i + 1;
            playlist += QStringLiteral("page %1: effect %2 speed %3 time %4\n")
                            .arg(i + 1)
                            .arg(entries[i].effect)
                            .arg(entries[i].speed)
                            .arg(entries[i].time);
        }
        EXPECT_EQ(readBytes(run.path("playlist.txt")), playlist.toUtf8());
        EXPECT_TRUE(run.log().contains(QStringLiteral("end of data: %1 page%2, acknowledged 0x01")
                                           .arg(row.pageCount)
                                           .arg(row.pageCount == 1 ? "" : "s")))
            << run.log().toStdString();

        if (row.pageCount == 2) {
            // A later, shorter play table: the picture of page 2 goes.
            QByteArray shorter;
            const MemoryMap map = memoryMap(typeFamily(row.type), row.width, row.height, 16);
            appendWriteBlockHeader(shorter, 1, kTableBank, map.A, 5);
            shorter += QByteArray("\x01\x00\x07\x08\x09", 5);
            appendEndFrame(shorter, 1);
            ASSERT_TRUE(device.writeAll(shorter, &error));
            ASSERT_EQ(device.waitReply(2000, 1, &reply), SerialDevice::Wait::Received);
            EXPECT_TRUE(QFileInfo::exists(run.path("page1.png")));
            EXPECT_FALSE(QFileInfo::exists(run.path("page2.png")));
            EXPECT_EQ(readBytes(run.path("playlist.txt")),
                      QByteArray("page 1: effect 7 speed 8 time 9\n"));
        }
    }
}

TEST(Emulator, RepliesAndMisbehaviour) {
    QByteArray endFrame, clock, otherEnd, cut;
    appendEndFrame(endFrame, 1);
    appendFrameHeader(clock, 1, Command::SetClock);
    clock += QByteArray("\x26\x06\x12\x05\x13\x47\x42", 7);
    appendEndFrame(otherEnd, 2);
    appendWriteBlockHeader(cut, 1, 0, 0x0500, 100);
    cut += QByteArray(10, '\0');
    using W = SerialDevice::Wait;
    struct Row {
        const char* name;
        std::function<void(EmulatorOptions&)> setUp;
        QByteArray first;  // sent, then a pause of 1.2 s, before frame
        QByteArray frame;
        int waitMs;
        W outcome;
        QByteArray reply;
        int minMs;       // the reply takes at least this long
        int leftQueued;  // bytes queued after the reply
        const char* logged;
    };
    const auto none = [](EmulatorOptions&) {};
    const Row rows[] = {
        {"end of data",
         none,
         {},
         endFrame,
         2000,
         W::Received,
         "\x01",
         0,
         0,
         "end of data: 0 pages, acknowledged 0x01"},
        {"set clock",
         none,
         {},
         clock,
         2000,
         W::Received,
         "\x02",
         0,
         0,
         "set clock: 26-12-05 13:47:42 weekday 6, acknowledged 0x02"},
        {"silent",
         [](EmulatorOptions& o) { o.silent = true; },
         {},
         endFrame,
         600,
         W::TimedOut,
         "",
         600,
         0,
         "no reply (silent)"},
        {"wrong reply to end of data",
         [](EmulatorOptions& o) { o.wrongReply = true; },
         {},
         endFrame,
         2000,
         W::Received,
         QByteArray(1, '\0'),
         0,
         0,
         "replied 0x00 instead of 0x01"},
        {"wrong reply to the clock",
         [](EmulatorOptions& o) { o.wrongReply = true; },
         {},
         clock,
         2000,
         W::Received,
         QByteArray(1, '\0'),
         0,
         0,
         "replied 0x00 instead of 0x02"},
        {"late reply",
         [](EmulatorOptions& o) { o.delayMs = 700; },
         {},
         endFrame,
         2000,
         W::Received,
         "\x01",
         700,
         0,
         "acknowledged 0x01 after 700 ms"},
        {"extra bytes",
         [](EmulatorOptions& o) { o.extraBytes = 3; },
         {},
         endFrame,
         2000,
         W::Received,
         "\x01",
         0,
         3,
         "with 3 extra bytes"},
        {"another controller",
         none,
         {},
         otherEnd,
         600,
         W::TimedOut,
         "",
         600,
         0,
         "end of data for controller 2: not mine, no reply"},
        {"a cut frame is dropped at a pause", none, cut, endFrame, 2000, W::Received, "\x01", 0, 0,
         "incomplete frame dropped"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EmulatorOptions options;
        options.controller.type = 13;
        options.controller.width = 8;
        options.controller.height = 8;
        row.setUp(options);
        EmulatorRun run(options);
        SerialDevice device;
        ASSERT_TRUE(run.connect(device));
        QString error;
        if (!row.first.isEmpty()) {
            ASSERT_TRUE(device.writeAll(row.first, &error));
            sleepMs(1200);
        }
        ASSERT_TRUE(device.writeAll(row.frame, &error));
        QElapsedTimer clock;
        clock.start();
        QByteArray reply;
        EXPECT_EQ(device.waitReply(row.waitMs, 1, &reply), row.outcome);
        EXPECT_GE(clock.elapsed(), row.minMs);
        EXPECT_EQ(reply, row.reply);
        sleepMs(100);
        EXPECT_EQ(device.bytesWaiting(), row.leftQueued);
        EXPECT_TRUE(run.log().contains(QLatin1String(row.logged))) << run.log().toStdString();
    }
}

// ---- marquee-cli emulate ----

bool waitForOutput(QProcess& process, const char* text, int ms) {
    QElapsedTimer clock;
    clock.start();
    QByteArray seen;
    while (clock.elapsed() < ms) {
        process.waitForReadyRead(100);
        seen += process.readAllStandardOutput();
        if (seen.contains(text)) {
            return true;
        }
    }
    return false;
}

TEST(Emulator, CommandLine) {
    QTemporaryDir dir;
    const QDir folder(dir.path());
    // NUM 2, 8 x 8, COMM 3, SCAN 16, no swaps, type T13.
    ASSERT_TRUE(writeBytes(folder.filePath("ck.ini"),
                           "2\r\n8\r\n8\r\n3\r\n16\r\n0\r\n0\r\n0\r\n13\r\n0\r\n"));
    const QString cli = QStringLiteral(MARQUEE_CLI_PATH);

    // --once: one transfer, acknowledged, then the emulator ends and its link goes.
    QProcess once;
    once.start(cli, {"--folder", dir.path(), "emulate", "--once", "--timeout", "20"});
    ASSERT_TRUE(waitForOutput(once, "controller 2 on", 10000));
    SerialDevice device;
    QString error;
    ASSERT_TRUE(device.open(serialPortPath(dir.path(), 3), &error)) << error.toStdString();
    ASSERT_TRUE(device.configure(9600, &error));
    const QByteArray page("\x80\x40\x20\x10\x08\x04\x02\x01", 8);
    ASSERT_TRUE(device.writeAll(transfer(2, 13, 8, 8, {page}, {{1, 2, 3}}), &error));
    QByteArray reply;
    EXPECT_EQ(device.waitReply(2000, 1, &reply), SerialDevice::Wait::Received);
    EXPECT_EQ(reply, QByteArray("\x01"));
    device.close();
    ASSERT_TRUE(once.waitForFinished(5000));
    EXPECT_EQ(once.exitCode(), 0);
    EXPECT_TRUE(once.readAllStandardOutput().contains("end of data: 1 page, acknowledged 0x01"));
    EXPECT_FALSE(QFileInfo(folder.filePath("com3")).isSymLink());
    EXPECT_EQ(pixels(QImage(folder.filePath("page1.png"))),
              "R......./.R....../..R...../...R..../....R.../.....R../......R./.......R");

    // A stop by SIGTERM also takes the link away.
    QProcess stopped;
    stopped.start(cli, {"--folder", dir.path(), "emulate", "--port", "5"});
    ASSERT_TRUE(waitForOutput(stopped, "controller 2 on", 10000));
    EXPECT_TRUE(QFileInfo(folder.filePath("com5")).isSymLink());
    stopped.terminate();
    ASSERT_TRUE(stopped.waitForFinished(5000));
    EXPECT_EQ(stopped.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(stopped.exitCode(), 0);
    EXPECT_FALSE(QFileInfo(folder.filePath("com5")).isSymLink());

    struct Row {
        QStringList args;
        int exitCode;
        const char* inErr;
    };
    const Row rows[] = {
        {{"--delay", "soon"}, 2, "--delay needs a number"},
        {{"--type", "27"}, 2, "--type needs a number from 0 to 26"},
        {{"--bogus"}, 2, "unknown option --bogus"},
        {{"--once", "--timeout", "1"}, 1, ""},  // nothing came before the time-out
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args.join(' ').toStdString());
        QProcess process;
        process.start(cli, QStringList{"--folder", dir.path(), "emulate"} + row.args);
        ASSERT_TRUE(process.waitForFinished(10000));
        EXPECT_EQ(process.exitCode(), row.exitCode);
        EXPECT_TRUE(process.readAllStandardError().contains(row.inErr));
    }
}

}  // namespace
