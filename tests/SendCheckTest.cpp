// What SEND and MODE find before the port opens, and the estimate they
// show; the command line prints the findings and sends what fits.

#include "tests/PacedController.h"
#include "tests/TestSupport.h"
#include "transfer/SendCheck.h"
#include "transfer/Transmission.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

Settings sign(int width, int height, int scan, int type, int bps = 0) {
    Settings s;
    s.WIDTH = width;
    s.HEIGHT = height;
    s.SCAN = scan;
    s.TYPE = type;
    s.BPS = bps;
    return s;
}

PageList blankPages(int count) {
    PageList pages;
    for (int i = 1; i < count; ++i) {
        pages.addPage();
    }
    return pages;
}

TEST(SendCheck, FindingsAndEstimate) {
    // kinds: one letter a finding, N not sendable, P picture, C capacity, W columns cut.
    struct Case {
        const char* name;
        bool mode;  // MODE instead of SEND
        Settings settings;
        int pages;
        QStringList pictures;
        const char* kinds;
        int sent, fit, banks;
        const char* text;  // in the first finding
    };
    const QString badPicture = "page 2: cannot load a.jpg: the file is empty";
    const Case cases[] = {
        {"fine", false, sign(64, 16, 16, 0), 2, {}, "", 2, 1757, 1, ""},
        {"dual colour 70 wide", false, sign(70, 16, 16, 0), 1, {}, "W", 1, 1757, 1, "rightmost 6"},
        {"monochrome 60 wide", false, sign(60, 16, 16, 13), 1, {}, "W", 1, 4011, 1, "rightmost 4"},
        {"beyond capacity", false, sign(1096, 16, 13, 1), 5, {}, "C", 3, 3, 1, "pages 4 to 5 are"},
        {"one page beyond", false, sign(1096, 16, 13, 1), 4, {}, "C", 3, 3, 1, "page 4 is not"},
        {"pictures", false, sign(64, 16, 16, 0), 2, {badPicture}, "P", 2, 1757, 1, "a.jpg"},
        {"no link speed", false, sign(64, 16, 16, 0, 7), 1, {}, "N", 0, 0, 0, "No link speed"},
        {"MODE beyond capacity", true, sign(1096, 16, 13, 1), 4, {}, "C", 3, 3, 1, "page 4 is"},
        {"MODE 70 wide", true, sign(70, 16, 16, 0), 1, {}, "", 1, 1757, 1, ""},
        {"MODE, type without family", true, sign(64, 16, 16, 14), 3, {}, "", 0, 0, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const PageList pages = blankPages(c.pages);
        const SendReview review =
            c.mode ? reviewMode(c.settings, pages) : reviewSend(c.settings, pages, c.pictures);
        QString kinds;
        for (const SendFinding& finding : review.findings) {
            kinds += QString("NPCW").at(static_cast<int>(finding.kind));
        }
        EXPECT_EQ(kinds, QString::fromLatin1(c.kinds));
        EXPECT_EQ(review.canSend(), !kinds.contains('N') && !kinds.contains('P'));
        EXPECT_EQ(review.estimate.pagesSent, c.sent);
        EXPECT_EQ(review.estimate.pagesThatFit, c.fit);
        EXPECT_EQ(review.estimate.banksUsed, c.banks);
        if (!review.findings.empty()) {
            EXPECT_TRUE(review.findings.front().text.contains(QString::fromUtf8(c.text)))
                << review.findings.front().text.toStdString();
        }
        if (!review.canSend()) {
            continue;
        }
        // The estimate is the size of what is built, and its time at 9600 Bd.
        QString refusal;
        const qint64 built =
            c.mode ? modeFrames(c.settings, pages, &refusal).size()
                   : buildTransfer(c.settings, pages, QString(), nullptr).bytes.size();
        EXPECT_EQ(review.estimate.bytes, built);
        EXPECT_EQ(review.estimate.lineMs, built * 10 * 1000 / 9600);
    }
    const SendReview fine = reviewSend(sign(64, 16, 16, 0), blankPages(2), {});
    EXPECT_EQ(reviewSend(sign(70, 16, 16, 0), blankPages(1), {}).texts(),
              QStringList{"WIDTH 70 is not a multiple of 8: every page is sent 64 pixels wide, "
                          "and its rightmost 6 columns are cut."});
    EXPECT_EQ(fine.estimateText(9600),
              "1,386 bytes, 0:02 on the line at 9600 Bd; 1 of 7 page banks used; 1757 pages fit, 2 "
              "sent.");
}

TEST(SendCheck, TheCommandLineSendsWhatFitsWithTheWarning) {
    QTemporaryDir dir;
    // T1, 1096 x 16, SCAN 13: the play table leaves room for 3 pages.
    writeBytes(dir.filePath("ck.ini"), "1\r\n1096\r\n16\r\n1\r\n13\r\n0\r\n0\r\n0\r\n1\r\n4\r\n");
    writeBytes(dir.filePath("four.lis"), QByteArray("\r\n1\r\n0\r\n0\r\n5\r\n1\r\n").repeated(4));
    PacedController controller(dir.path(), 115200);
    ASSERT_TRUE(controller.ok());
    const CliRun run = runCli({"--folder", dir.path(), "send", dir.filePath("four.lis")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.outLines(),
              (QStringList{"MAX 3 PAGES", "SENDING......", "SEND OVER", "rec success!"}));
    EXPECT_TRUE(run.err.contains("The list has 4 pages, but the controller holds 3"))
        << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("Sending anyway: 14,"));
    // Three pages, the glyph table, the play table of 3 entries, the end.
    const std::vector<ReceivedFrame> frames = controller.frames();
    ASSERT_EQ(frames.size(), 6u);
    EXPECT_EQ(frames[4].data.left(2), QByteArray::fromHex("0300"));
}

}  // namespace
