// SEND streamed: pages written while later ones are decoded, a page found
// corrupt after its header stops at a frame boundary, decodes held to a
// memory budget whatever the cores, progressive scans capped, and the
// window preparing pages in the background.

#include "platform/PictureFile.h"
#include "tests/PacedController.h"
#include "tests/ProgramSupport.h"
#include "tests/TestSupport.h"
#include "transfer/PagePipeline.h"
#include "transfer/Transmission.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace {

// A noisy picture, so JPEG keeps real data in every scan.
QImage noise(int width, int height, quint32 seed) {
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, random.generate() | 0xFF000000u);
        }
    }
    return image;
}

// A 64 x 64 progressive JPEG: libjpeg's usual scans, or one scan a
// coefficient and component (1 + 3 x 63 = 190 scans).
QByteArray progressiveJpeg(bool scanPerCoefficient) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = 64;
    cinfo.image_height = 64;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_simple_progression(&cinfo);
    std::vector<jpeg_scan_info> scans(1 + 3 * 63);
    if (scanPerCoefficient) {
        scans[0] = {3, {0, 1, 2, 0}, 0, 0, 0, 0};
        for (int c = 0; c < 3; ++c) {
            for (int k = 1; k <= 63; ++k) {
                scans[size_t(1 + c * 63 + k - 1)] = {1, {c, 0, 0, 0}, k, k, 0, 0};
            }
        }
        cinfo.scan_info = scans.data();
        cinfo.num_scans = static_cast<int>(scans.size());
    }
    jpeg_start_compress(&cinfo, TRUE);
    const QImage rgb = noise(64, 64, 7).convertToFormat(QImage::Format_RGB888);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb.constScanLine(int(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray data(reinterpret_cast<const char*>(out), int(size));
    std::free(out);
    return data;
}

// The same file whose frame header claims width x height.
QByteArray claimingSize(QByteArray jpeg, int width, int height) {
    const int frame = jpeg.indexOf("\xFF\xC2");
    jpeg[frame + 5] = char(height >> 8);
    jpeg[frame + 6] = char(height);
    jpeg[frame + 7] = char(width >> 8);
    jpeg[frame + 8] = char(width);
    return jpeg;
}

QByteArray list(const QStringList& names) {
    QByteArray text;
    for (const QString& name : names) {
        text += name.toUtf8() + "\r\n1\r\n0\r\n0\r\n5\r\n1\r\n";
    }
    return text;
}

TEST(Streaming, ProgressiveScansAreCapped) {
    EXPECT_TRUE(decodeJpeg(progressiveJpeg(false)).error.isEmpty());
    const PictureLoad many = decodeJpeg(progressiveJpeg(true));
    EXPECT_EQ(many.error, "the picture has more than 100 progressive scans");
}

TEST(Streaming, DecodesInFlightFollowMemoryNotCores) {
    QTemporaryDir dir;
    writeBytes(dir.filePath("huge.jpg"), claimingSize(progressiveJpeg(false), 8000, 6000));
    noise(640, 480, 1).save(dir.filePath("small.jpg"), "JPEG", 90);
    Settings settings;
    settings.WIDTH = 112;
    settings.HEIGHT = 62;
    qputenv("MARQUEE_THREADS", "16");
    PageList pages;
    pages.loadPages({});
    for (const char* name : {"huge.jpg", "small.jpg"}) {
        std::vector<PlayItem> items(4);
        for (PlayItem& item : items) {
            item.FileName = name;
        }
        pages.loadPages(items);
        PagePipeline pipeline(settings, pages, 4, dir.path());
        // 8000 x 6000 at 4:2:0 is 144 MB of coefficients: alone, whatever the cores.
        EXPECT_EQ(pipeline.threads(), QByteArray(name) == "huge.jpg" ? 1 : 4) << name;
        EXPECT_EQ(pipeline.take(1).error.isEmpty(), QByteArray(name) == "small.jpg");
    }
    qunsetenv("MARQUEE_THREADS");
}

TEST(Streaming, ACorruptPageStopsAtAFrameBoundaryNamingTheFile) {
    QTemporaryDir dir;
    writeBytes(dir.filePath("ck.ini"), "1\r\n64\r\n16\r\n1\r\n16\r\n0\r\n0\r\n0\r\n0\r\n4\r\n");
    noise(640, 480, 1).save(dir.filePath("good.jpg"), "JPEG", 90);
    const QByteArray whole = readBytes(dir.filePath("good.jpg"));
    writeBytes(dir.filePath("cut.jpg"), whole.left(whole.size() * 6 / 10));  // header intact
    writeBytes(dir.filePath("show.lis"), list({"good.jpg", "cut.jpg", "good.jpg"}));
    PacedController controller(dir.path(), 115200);
    ASSERT_TRUE(controller.ok());
    const CliRun run = runCli({"--folder", dir.path(), "send", dir.filePath("show.lis")});
    QTest::qWait(300);
    EXPECT_EQ(run.exitCode, 2) << run.err.toStdString();
    EXPECT_EQ(run.outLines(), (QStringList{"MAX 1757 PAGES", "SENDING......", "stopped"}));
    EXPECT_TRUE(run.err.startsWith("page 2: cannot load cut.jpg: ")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("the controller did not receive the end of the transfer"));
    EXPECT_EQ(controller.frames().size(), 1u);  // page 1, whole, and nothing after it
    EXPECT_FALSE(controller.inFrame());
    EXPECT_EQ(controller.bytesRead(), 11 + 256);
}

TEST(Streaming, TheWindowPreparesPagesInTheBackground) {
    QTemporaryDir dir;
    writeBytes(dir.filePath("ck.ini"), "1\r\n64\r\n16\r\n1\r\n16\r\n0\r\n0\r\n0\r\n0\r\n4\r\n");
    for (int i = 1; i <= 3; ++i) {
        noise(640, 480, quint32(i)).save(dir.filePath(QStringLiteral("p%1.jpg").arg(i)), "JPEG");
    }
    writeBytes(dir.filePath("show.lis"), list({"p1.jpg", "p2.jpg", "p3.jpg"}));
    Program program(dir.path());
    program.window.loadListFrom(dir.filePath("show.lis"));
    QTRY_VERIFY_WITH_TIMEOUT(program.window.pagesPrepared(), 10000);
    EXPECT_EQ(program.window.preparedPages().size(), 3);
    // A picture changed on disk is prepared again; the old one is forgotten.
    noise(320, 240, 9).save(dir.filePath("p2.jpg"), "JPEG");
    program.window.loadListFrom(dir.filePath("show.lis"));
    QTRY_VERIFY_WITH_TIMEOUT(program.window.pagesPrepared(), 10000);
    EXPECT_EQ(program.window.preparedPages().size(), 3);

    PacedController controller(dir.path(), 115200);
    ASSERT_TRUE(controller.ok());
    program.window.findChild<QAction*>("m_Send")->trigger();
    program.window.waitForCommand();
    EXPECT_EQ(program.window.findChild<QLabel*>("StatusPanel2")->text(), "rec success!");
    // What went out is what build makes of the files as they are now.
    const TransferBuild build =
        buildTransfer(program.window.settings(), program.window.pages(), dir.path(), nullptr);
    FrameParser parser;
    parser.feed(build.bytes.constData(), size_t(build.bytes.size()));
    const std::vector<ReceivedFrame> expected = parser.takeFrames();
    const std::vector<ReceivedFrame> sent = controller.frames();
    ASSERT_EQ(sent.size(), expected.size());
    for (size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i].command, expected[i].command);
        EXPECT_EQ(sent[i].address, expected[i].address);
        EXPECT_EQ(sent[i].data, expected[i].data) << "frame " << i;
    }
}

}  // namespace
