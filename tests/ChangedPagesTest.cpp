// Transfers of the changed pages alone, over real pseudo-terminals: what
// goes on the line against what `build` writes, the record of what each
// controller holds, and what the emulated sign shows afterwards.

#include "controller/ControllerRecord.h"
#include "core/SettingsFile.h"
#include "core/SignBook.h"
#include "tests/EmulatorSupport.h"
#include "tests/PacedController.h"
#include "tests/ProgramSupport.h"
#include "tests/TestSupport.h"
#include "transfer/FrameParser.h"
#include "transfer/MemoryMap.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QImage>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QToolBar>

#include <functional>
#include <memory>

namespace {

constexpr int kPages = 40;
constexpr int kPageBytes = 64 * 32 * 2 / 8;  // T0, dual colour

// A sign folder for a T0 sign of 64 x 32 at 115200 Bd, with a picture of
// its own for every page and a list of them.
struct ChangingSign {
    QTemporaryDir dir;
    ChangingSign() {
        writeBytes(dir.filePath("ck.ini"), "1\r\n64\r\n32\r\n1\r\n16\r\n0\r\n0\r\n0\r\n0\r\n4\r\n");
        for (int page = 1; page <= kPages + 3; ++page) {
            draw(page, page);
        }
        writeList(kPages);
    }
    // pPAGE.bmp with a pattern of its own for seed: red and green dots, a bar.
    void draw(int page, int seed) const {
        QImage image(64, 32, QImage::Format_RGB32);
        image.fill(Qt::black);
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 64; ++x) {
                if ((x * 7 + y * 13 + seed * 31) % (seed % 5 + 3) == 0) {
                    image.setPixel(x, y, (x + seed) % 2 ? qRgb(255, 0, 0) : qRgb(0, 255, 0));
                }
            }
        }
        QPainter(&image).fillRect(seed % 60, 0, 4, 32, QColor(255, 255, 0));
        ASSERT_TRUE(image.save(dir.filePath(QStringLiteral("p%1.bmp").arg(page)), "BMP"));
    }
    // list.lis: the pictures in order (page k shows p<order[k]>.bmp).
    void writeList(int pages, std::vector<int> order = {}) const {
        QByteArray text;
        for (int k = 1; k <= pages; ++k) {
            const int picture = order.empty() ? k : order[size_t(k - 1)];
            text += QStringLiteral("p%1.bmp\r\n1\r\n0\r\n0\r\n5\r\n1\r\n").arg(picture).toLatin1();
        }
        writeBytes(dir.filePath("list.lis"), text);
    }
    CliRun cli(const QStringList& command) const {
        return runCli(QStringList{"--folder", dir.path()} + command);
    }
    // The frames `build` writes for the list as it is now.
    std::vector<ReceivedFrame> builtFrames() const {
        const CliRun built = cli({"build", dir.filePath("list.lis"), dir.filePath("out.bin")});
        EXPECT_EQ(built.exitCode, 0) << built.err.toStdString();
        FrameParser parser;
        const QByteArray bytes = readBytes(dir.filePath("out.bin"));
        parser.feed(bytes.constData(), size_t(bytes.size()));
        return parser.takeFrames();
    }
};

bool sameFrame(const ReceivedFrame& a, const ReceivedFrame& b) {
    return a.controller == b.controller && a.command == b.command && a.bank == b.bank &&
           a.address == b.address && a.data == b.data;
}

// The slot a page frame writes, 0 for any other frame.
int slotOf(const ReceivedFrame& frame, const MemoryMap& map) {
    if (frame.command != 0 || frame.bank >= kTableBank || frame.data.size() != map.P) {
        return 0;
    }
    return frame.bank * map.S + (frame.address - kPageBase) / map.P + 1;
}

TEST(ChangedPages, OnlyTheChangedSlotsGoOnTheLineAsBuildWritesThem) {
    const MemoryMap map = memoryMap(typeFamily(0), 64, 32, 16);
    ASSERT_EQ(map.P, kPageBytes);
    struct Case {
        const char* what;
        std::function<void(const ChangingSign&)> edit;
        std::vector<int> written;
    };
    const std::vector<Case> cases = {
        {"page 7's picture changed", [](const ChangingSign& s) { s.draw(7, 100); }, {7}},
        {"pages 3 and 4 swapped",
         [](const ChangingSign& s) {
             std::vector<int> order;
             for (int k = 1; k <= kPages; ++k) {
                 order.push_back(k == 3 ? 4 : k == 4 ? 3 : k);
             }
             s.writeList(kPages, order);
         },
         {3, 4}},
        {"three pages added", [](const ChangingSign& s) { s.writeList(kPages + 3); }, {41, 42, 43}},
        {"nothing changed", [](const ChangingSign&) {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ChangingSign sign;
        PacedController controller(sign.dir.path(), 115200);
        ASSERT_TRUE(controller.ok());
        const CliRun full = sign.cli({"send", sign.dir.filePath("list.lis")});
        ASSERT_EQ(full.exitCode, 0) << full.err.toStdString();
        const size_t before = controller.frames().size();
        ASSERT_EQ(before, size_t(kPages + 3));

        c.edit(sign);
        const CliRun changed = sign.cli({"send", "--changed", sign.dir.filePath("list.lis")});
        ASSERT_EQ(changed.exitCode, 0) << changed.err.toStdString();
        EXPECT_EQ(changed.outLines().last(), "rec success!");
        std::vector<ReceivedFrame> frames = controller.frames();
        frames.erase(frames.begin(), frames.begin() + long(before));

        // The changed slots, in order, then the play table and the end: no glyphs.
        ASSERT_EQ(frames.size(), c.written.size() + 2);
        for (size_t i = 0; i < c.written.size(); ++i) {
            EXPECT_EQ(slotOf(frames[i], map), c.written[i]);
        }
        EXPECT_EQ(frames[c.written.size()].bank, kTableBank);
        EXPECT_EQ(frames[c.written.size()].address, map.A);
        EXPECT_EQ(frames.back().command, 0x01);
        // Every frame is the one build writes at the same place.
        const std::vector<ReceivedFrame> built = sign.builtFrames();
        for (const ReceivedFrame& frame : frames) {
            const bool found = std::any_of(built.begin(), built.end(),
                                           [&](const auto& b) { return sameFrame(frame, b); });
            EXPECT_TRUE(found) << "bank " << frame.bank << " address " << frame.address;
        }
        const QString estimate = QStringLiteral("changed pages only: %1 of %2 pages")
                                     .arg(c.written.size())
                                     .arg(c.written.size() == 3 ? kPages + 3 : kPages);
        EXPECT_TRUE(changed.err.contains(estimate)) << changed.err.toStdString();
    }
}

TEST(ChangedPages, WithoutATrustedRecordEverythingIsSent) {
    ChangingSign sign;
    const QString records = sign.dir.filePath("controllers");
    const auto recordFiles = [&] { return QDir(records).entryList({"*.json"}, QDir::Files); };
    {
        PacedController silent(sign.dir.path(), 115200, false);
        ASSERT_TRUE(silent.ok());
        EXPECT_EQ(sign.cli({"send", sign.dir.filePath("list.lis")}).exitCode, 1);
        EXPECT_TRUE(recordFiles().isEmpty());
    }
    PacedController controller(sign.dir.path(), 115200);
    ASSERT_TRUE(controller.ok());
    struct Step {
        const char* what;
        QStringList command;
        int exit;
        size_t frames;  // written by this step
        bool recordAfter;
    };
    const std::vector<Step> steps = {
        // After the silent controller there is no record: a whole transfer.
        {"changed, no record", {"send", "--changed"}, 0, kPages + 3, true},
        {"changed, record", {"send", "--changed"}, 0, 2, true},
        {"full forced", {"send", "--full"}, 0, kPages + 3, true},
        // Another screen is another key: the record is not used.
        {"changed, other settings", {"send", "--changed"}, 0, kPages + 3, true},
        {"mode keeps it", {"mode"}, 0, 2, true},
        {"save-para drops it", {"save-para", "num=1", "width=64", "high=32"}, 1, 2, false},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        if (QByteArray(step.what) == "changed, other settings") {
            writeBytes(sign.dir.filePath("ck.ini"),
                       "1\r\n64\r\n32\r\n1\r\n16\r\n1\r\n0\r\n0\r\n0\r\n4\r\n");  // RG-SWAP
        }
        const size_t before = controller.frames().size();
        QStringList command = step.command;
        if (command.first() != "save-para") {
            command << sign.dir.filePath("list.lis");
        }
        const CliRun run = sign.cli(command);
        EXPECT_EQ(run.exitCode, step.exit) << run.err.toStdString();
        EXPECT_EQ(controller.frames().size() - before, step.frames);
        EXPECT_EQ(recordFiles().size(), step.recordAfter ? 1 : 0);
        if (QByteArray(step.what) == "changed, no record") {
            EXPECT_TRUE(run.err.contains(QRegularExpression(
                "no record of what controller 1 on \\S+ holds: sending all 40 pages")))
                << run.err.toStdString();
        }
    }
}

TEST(ChangedPages, RecordFilesRoundTripAndRefuseWhatIsNotOne) {
    ControllerRecord record;
    record.key = {"/dev/ttyUSB0", 3, 0, 64, 32, 16, false, true, false};
    record.time = QDateTime(QDate(2026, 12, 7), QTime(4, 5, 6));
    for (int i = 0; i < 3; ++i) {
        record.content.pages << contentDigest(QByteArray(512, char(i)));
    }
    record.content.glyphs = contentDigest("glyphs");
    record.content.playTable = contentDigest("table");
    const QByteArray text = formatControllerRecord(record);
    ControllerRecord read;
    ASSERT_TRUE(parseControllerRecord(text, &read));
    EXPECT_EQ(formatControllerRecord(read), text);
    EXPECT_EQ(read.key, record.key);
    EXPECT_EQ(read.content, record.content);

    QTemporaryDir dir;
    const ControllerRecords records(dir.path());
    QString reason;
    ASSERT_TRUE(records.store(record, &reason)) << reason.toStdString();
    EXPECT_TRUE(records.find(record.key).has_value());
    ControllerKey other = record.key;
    other.ADJUST = true;
    EXPECT_FALSE(records.find(other).has_value());
    // Two ports whose names differ only in their folders keep their own files.
    EXPECT_NE(records.pathFor("/dev/a/ttyS0", 1), records.pathFor("/dev/b/ttyS0", 1));
    for (const QByteArray& bad :
         {QByteArray("{"), QByteArray("[]"), QByteArray(text).replace("\"num\": 3", "\"num\": -4"),
          QByteArray(text).replace(record.content.glyphs.toHex(), "abc")}) {
        EXPECT_FALSE(parseControllerRecord(bad, &read)) << bad.toStdString();
    }
    writeBytes(records.pathFor(record.key.port, record.key.NUM), "not a record");
    EXPECT_FALSE(records.find(record.key).has_value());
}

// The pictures the emulator wrote of pages 1..count.
std::vector<QImage> shownPages(const QString& folder, int count) {
    std::vector<QImage> pages;
    for (int page = 1; page <= count; ++page) {
        pages.emplace_back(QDir(folder).filePath(QStringLiteral("page%1.png").arg(page)));
    }
    return pages;
}

TEST(ChangedPages, TheSignShowsWhatAWholeTransferWouldAndForgetsAfterAPowerCut) {
    for (const bool powerCut : {false, true}) {
        SCOPED_TRACE(powerCut ? "memory lost after the first transfer" : "memory kept");
        ChangingSign sign;
        QProcess emulator;
        QStringList options = {"--folder",
                               sign.dir.path(),
                               "emulate",
                               "--timeout",
                               "60",
                               "--width",
                               "64",
                               "--height",
                               "32",
                               "--bps",
                               "115200",
                               "--datacom",
                               "0",
                               "--out",
                               sign.dir.filePath("shown")};
        if (powerCut) {
            options << "--forget-after"
                    << "1";
        }
        emulator.start(QStringLiteral(MARQUEE_CLI_PATH), options);
        for (int i = 0; i < 1000 && !QFileInfo::exists(sign.dir.filePath("com1")); ++i) {
            QThread::msleep(10);
        }
        ASSERT_TRUE(QFileInfo::exists(sign.dir.filePath("com1")));
        ASSERT_EQ(sign.cli({"send", sign.dir.filePath("list.lis")}).exitCode, 0);
        sign.draw(7, 100);
        const CliRun changed = sign.cli({"send", "--changed", sign.dir.filePath("list.lis")});
        ASSERT_EQ(changed.exitCode, 0) << changed.err.toStdString();
        const std::vector<QImage> afterChange = shownPages(sign.dir.filePath("shown"), kPages);
        ASSERT_EQ(sign.cli({"send", "--full", sign.dir.filePath("list.lis")}).exitCode, 0);
        const std::vector<QImage> afterFull = shownPages(sign.dir.filePath("shown"), kPages);
        emulator.terminate();
        emulator.waitForFinished(5000);
        const QString log = QString::fromUtf8(emulator.readAllStandardOutput());
        for (int page = 1; page <= kPages; ++page) {
            SCOPED_TRACE(page);
            ASSERT_FALSE(afterFull[size_t(page - 1)].isNull());
            // Without the power cut every page is as the whole transfer left
            // it; after it only page 7 is, the others are dark.
            const bool same = afterChange[size_t(page - 1)] == afterFull[size_t(page - 1)];
            EXPECT_EQ(same, !powerCut || page == 7);
        }
        EXPECT_EQ(log.contains("memory lost after 1 transfers"), powerCut) << log.toStdString();
    }
}

TEST(ChangedPages, TheWindowOffersBothEstimatesForASignSetToSendChangesOnly) {
    ChangingSign sign;
    const QString folder = sign.dir.path();
    SignBook book;
    Sign shop;
    shop.name = "Shop";
    readSettingsFile(folder, &shop.settings);
    shop.sendChangesOnly = true;
    book.signs = {shop};
    QString reason;
    ASSERT_TRUE(writeSignBook(folder, book, &reason)) << reason.toStdString();
    PacedController controller(folder, 115200);
    ASSERT_TRUE(controller.ok());
    Program program(folder);
    TTwpMain& window = program.window;
    QStringList offered;
    TTwpMain::SendScope answer = TTwpMain::SendScope::Changes;
    window.setScopeChoice([&](const QString& estimates) {
        offered << estimates;
        return answer;
    });
    QWidget* send = window.findChild<QToolBar*>("ToolBar1")
                        ->widgetForAction(window.findChild<QAction*>("m_Send"));
    const auto sendAndCount = [&] {
        const size_t before = controller.frames().size();
        QTest::mouseClick(send, Qt::LeftButton);
        window.waitForCommand();
        return controller.frames().size() - before;
    };

    window.loadListFrom(sign.dir.filePath("list.lis"));
    // No record yet: everything goes, without asking, and the log says why.
    EXPECT_EQ(sendAndCount(), size_t(kPages + 3));
    EXPECT_TRUE(offered.isEmpty());
    const QString log = window.findChild<QPlainTextEdit*>()->toPlainText();
    EXPECT_TRUE(log.contains("no record of what controller 1 on")) << log.toStdString();
    EXPECT_TRUE(log.contains("rec success! (all 40 pages)")) << log.toStdString();

    sign.draw(7, 100);
    window.loadListFrom(sign.dir.filePath("list.lis"));
    EXPECT_EQ(sendAndCount(), size_t(3));  // page 7, the play table, the end
    ASSERT_EQ(offered.size(), 1);
    EXPECT_TRUE(offered[0].startsWith("changed pages only: 1 of 40 pages, ") &&
                offered[0].contains(" at 115200 Bd; all pages: "))
        << offered[0].toStdString();
    EXPECT_TRUE(window.findChild<QPlainTextEdit*>()->toPlainText().contains(
        "rec success! (changed pages: 1 of 40)"));

    answer = TTwpMain::SendScope::All;
    EXPECT_EQ(sendAndCount(), size_t(kPages + 3));
    answer = TTwpMain::SendScope::Cancel;
    EXPECT_EQ(sendAndCount(), size_t(0));
    ASSERT_EQ(offered.size(), 3);
    // After the changed transfer the record holds the new page 7.
    EXPECT_TRUE(offered[1].startsWith("changed pages only: 0 of 40 pages"))
        << offered[1].toStdString();
}

}  // namespace
