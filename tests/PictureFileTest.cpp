#include "platform/PictureFile.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

// ImageMagick (convert) makes the test JPEGs and, through its own reading,
// gives the pixels to compare against.
QByteArray runMagick(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral("convert"), arguments);
    const bool ran = process.waitForFinished(120000) && process.exitCode() == 0;
    EXPECT_TRUE(ran) << "convert " << arguments.join(' ').toStdString() << ": "
                     << process.readAllStandardError().toStdString();
    return ran ? process.readAllStandardOutput() : QByteArray();
}

// How ImageMagick decodes the file, as an RGB picture.
QImage magickDecode(const QString& jpeg, const QStringList& options = {}) {
    const QByteArray ppm =
        runMagick(options + QStringList{jpeg, "-colorspace", "sRGB", "-depth", "8", "ppm:-"});
    return QImage::fromData(ppm, "PPM").convertToFormat(QImage::Format_RGB32);
}

// A JPEG of colour ramps under a checker, so that every channel and both
// directions carry detail.
QString makeJpeg(const QTemporaryDir& dir, const QString& name, QSize size,
                 const QStringList& options) {
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            image.setPixel(x, y,
                           qRgb(x * 255 / (size.width() - 1), y * 255 / (size.height() - 1),
                                (x / 16 + y / 16) % 2 != 0 ? 220 : 40));
        }
    }
    const QString source = dir.filePath(name + ".png");
    image.save(source);
    runMagick(QStringList(source) + options + QStringList(dir.filePath(name)));
    return dir.filePath(name);
}

int largestChannelDifference(const QImage& a, const QImage& b) {
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            largest = std::max({largest, std::abs(qRed(p) - qRed(q)),
                                std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
        }
    }
    return largest;
}

// Every kind of JPEG decodes as ImageMagick decodes it, up to 2 apart per
// channel (its CMYK to RGB step rounds at 16 bits, and its libjpeg may
// differ); large ones at 1/2, 1/4 or 1/8 size, never smaller than the target.
TEST(PictureFile, JpegsDecodeAsAnotherDecoderDoes) {
    QTemporaryDir dir;
    struct Case {
        const char* name;
        QStringList options;
        QSize size;  // made at; odd sizes leave partial blocks at the edges
        QSize target;
        QSize decoded;
    };
    const QSize odd(161, 121);
    const QSize wide(2000, 1000);
    const Case cases[] = {
        {"baseline.jpg", {"-quality", "90"}, odd, {}, odd},
        {"subsampled.JPG", {"-sampling-factor", "2x2"}, odd, {}, odd},
        {"progressive.jpeg", {"-interlace", "JPEG"}, odd, {}, odd},
        {"grey.jpg", {"-colorspace", "Gray"}, odd, {}, odd},
        {"restarts.jpg", {"-define", "jpeg:restart-interval=1"}, odd, {}, odd},
        {"cmyk.jpg", {"-colorspace", "CMYK"}, odd, {}, odd},  // YCCK under an Adobe marker
        {"wide.jpg", {}, wide, {64, 16}, {250, 125}},         // 1/8
        {"wide.jpg", {}, wide, {300, 100}, {500, 250}},       // 1/4: 1/8 would be too narrow
        {"wide.jpg", {}, wide, {200, 300}, {1000, 500}},      // 1/2: 1/4 would be too low
        {"wide.jpg", {}, wide, {900, 400}, {1000, 500}},      // 1/2
        {"wide.jpg", {}, wide, {1001, 100}, wide},            // not twice as wide as the target
        {"wide.jpg", {}, wide, {0, 0}, wide},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.name << " for " << c.target.width() << "x" << c.target.height());
        const QString path = QFileInfo::exists(dir.filePath(c.name))
                                 ? dir.filePath(c.name)
                                 : makeJpeg(dir, c.name, c.size, c.options);
        const PictureLoad load = loadPicture(path, c.target);
        ASSERT_TRUE(load.error.isEmpty()) << load.error.toStdString();
        EXPECT_EQ(load.image.format(), QImage::Format_RGB32);
        ASSERT_EQ(load.image.size(), c.decoded);
        if (c.decoded != c.size && c.decoded != QSize(250, 125)) {
            continue;  // decoded faster than ImageMagick does at 1/2 and 1/4
        }
        // At 1/8 the picture is the one ImageMagick gets when it asks
        // libjpeg for that size.
        const QImage expected = magickDecode(
            path, c.decoded == c.size ? QStringList()
                                      : QStringList{"-define", QStringLiteral("jpeg:size=%1x%2")
                                                                   .arg(c.decoded.width())
                                                                   .arg(c.decoded.height())});
        ASSERT_EQ(expected.size(), c.decoded);
        EXPECT_LE(largestChannelDifference(load.image, expected), 2);
    }
}

// Flat 8x8 patches of ink stored as 4-component CMYK without a colour
// transform, plain and inverted under an Adobe marker; patch i is
// C, M, Y, K = 0 0 0 0 | 255 0 0 0 | 0 255 0 0 | 0 0 255 0 | 0 0 0 255 |
// 0 0 0 128 | 128 64 0 0 | 102 0 51 51 (255 = full ink).
TEST(PictureFile, CmykInkBecomesRgbWithAndWithoutAdobeMarker) {
    const QRgb rgb[] = {qRgb(255, 255, 255), qRgb(0, 255, 255),  qRgb(255, 0, 255),
                        qRgb(255, 255, 0),   qRgb(0, 0, 0),      qRgb(127, 127, 127),
                        qRgb(127, 191, 255), qRgb(122, 204, 163)};
    for (const char* file : {"hardening/cmyk-plain.jpg", "hardening/cmyk-adobe.jpg"}) {
        SCOPED_TRACE(file);
        const PictureLoad load = loadPicture(dataPath(file));
        ASSERT_TRUE(load.error.isEmpty()) << load.error.toStdString();
        ASSERT_EQ(load.image.size(), QSize(8 * 8, 8));
        for (int i = 0; i < 8; ++i) {
            const QRgb got = load.image.pixel(i * 8 + 4, 4);
            EXPECT_LE(std::abs(qRed(got) - qRed(rgb[i])), 2) << "patch " << i;
            EXPECT_LE(std::abs(qGreen(got) - qGreen(rgb[i])), 2) << "patch " << i;
            EXPECT_LE(std::abs(qBlue(got) - qBlue(rgb[i])), 2) << "patch " << i;
        }
    }
}

// Every refusal names the file and says why; the cheap check made before a
// transfer refuses the same files from their headers alone. (Files that are
// no files are refused the same way for pictures and lists: HardeningTest.)
TEST(PictureFile, BadFilesGiveAnErrorNamingTheFile) {
    QTemporaryDir dir;
    const QByteArray baseline = readBytes(makeJpeg(dir, "b.jpg", QSize(161, 121), {}));
    const QByteArray progressive =
        readBytes(makeJpeg(dir, "p.jpg", QSize(161, 121), {"-interlace", "JPEG"}));
    QImage whole(40, 30, QImage::Format_RGB32);
    whole.fill(Qt::red);
    QString saved;
    ASSERT_TRUE(saveBmp(whole, dir.filePath("whole.bmp"), &saved));
    const QByteArray wholeBmp = readBytes(dir.filePath("whole.bmp"));

    enum Check { Both, LoadOnly };  // LoadOnly: only decoding finds the fault
    struct Case {
        const char* name;
        QByteArray bytes;  // written to name unless empty; "data:FILE" copies tests/data/FILE
        QSize target;
        const char* reason;
        Check check;
    };
    const QByteArray noise = "data:hardening/noise.bin";
    const Case cases[] = {
        {"missing.jpg", {}, {}, "No such file", Both},
        {"empty.jpg", "", {}, "empty", Both},
        {"noise.jpg", noise, {}, "it is not a BMP, JPEG or PNG picture", Both},
        {"page.xpm", "data:hardening/page.xpm", {}, "it is not a BMP, JPEG or PNG picture", Both},
        {"page.ppm", "data:hardening/page.ppm", {}, "it is not a BMP, JPEG or PNG picture", Both},
        {"cut.JPG", baseline.left(baseline.size() / 2), {}, "Premature end", LoadOnly},
        {"cut.jpeg", progressive.left(progressive.size() / 2), {}, "Premature end", LoadOnly},
        {"no-frame.jpg", baseline.left(4) + QByteArray(64, 'x'), {}, "frame header", Both},
        // Sizes over the budget, from the header, before any pixel memory.
        {"60000.bmp",
         "data:hardening/claims-60000.bmp",
         {},
         "picture too large: 60000 x 60000 pixels (at most 50 megapixels)",
         Both},
        {"rle-bomb.bmp",
         "data:hardening/rle-bomb.bmp",
         {},
         "picture too large: 8000 x 8000 pixels",
         Both},
        {"top-down.bmp",
         "data:hardening/claims-20000-top-down.bmp",
         {},
         "picture too large: 20000 x 16000 pixels",
         Both},
        {"overflow.bmp", "data:hardening/claims-overflow.bmp", {}, "picture too large", Both},
        {"60000.jpg", "data:hardening/claims-60000.jpg", QSize(64, 16),
         "picture too large: 60000 x 60000 pixels", Both},
        // 1/8 of the frame is within the budget, but a progressive file
        // keeps the full frame's coefficients while it is read.
        {"14000.jpg", "data:hardening/claims-14000-progressive.jpg", QSize(100, 100),
         "too much memory", LoadOnly},
        // Even reduced, every block of a frame is read.
        {"30000.jpg", "data:hardening/claims-30000-progressive.jpg", QSize(100, 100),
         "picture too large: 30000 x 30000 pixels (at most 200 megapixels for a JPEG)", Both},
        {"chunk.png", "data:hardening/chunk-claims-2gb.png", {}, "a chunk runs past the end", Both},
        {"two-ways.bmp", "data:hardening/header-read-two-ways.bmp", {}, "header", Both},
        {"zero-width.bmp", "data:hardening/os2-header-zero-width.bmp", {}, "header", Both},
        // Rows missing: Qt would fill them in silently.
        {"cut.bmp", wholeBmp.left(wholeBmp.size() / 2), {}, "cut short", Both},
        {"more-rows.bmp", "data:hardening/claims-more-rows.bmp", {}, "cut short", Both},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(c.name);
        if (c.bytes.startsWith("data:")) {
            ASSERT_TRUE(QFile::copy(dataPath(c.bytes.mid(5).constData()), path));
        } else if (!c.bytes.isNull()) {
            ASSERT_TRUE(writeBytes(path, c.bytes));
        }
        const PictureLoad load = loadPicture(path, c.target);
        EXPECT_TRUE(load.image.isNull());
        const QString named = QStringLiteral("cannot load %1: ").arg(QFileInfo(path).fileName());
        EXPECT_TRUE(load.error.startsWith(named)) << load.error.toStdString();
        EXPECT_TRUE(load.error.contains(c.reason)) << load.error.toStdString();
        const QString probed = probePicture(path, c.target).error;
        EXPECT_EQ(probed.isEmpty(), c.check == LoadOnly) << probed.toStdString();
    }
}

TEST(PictureFile, JpegCutAnywhereInTheScanIsAnError) {
    QTemporaryDir dir;
    for (const QStringList& options : {QStringList(), QStringList{"-interlace", "JPEG"},
                                       QStringList{"-define", "jpeg:restart-interval=1"}}) {
        SCOPED_TRACE(options.join(' ').toStdString());
        const QString path = makeJpeg(dir, QStringLiteral("whole.jpg"), QSize(64, 48), options);
        ASSERT_FALSE(path.isEmpty());
        const QByteArray whole = readBytes(path);
        ASSERT_TRUE(decodeJpeg(whole).error.isEmpty());
        const int scanStart = static_cast<int>(whole.indexOf("\xff\xda"));
        ASSERT_GT(scanStart, 0);
        // Everything but the closing end marker, which is not needed.
        for (int cut = scanStart; cut < whole.size() - 2; cut += 7) {
            const PictureLoad load = decodeJpeg(whole.left(cut));
            EXPECT_FALSE(load.error.isEmpty()) << "cut at " << cut << " of " << whole.size();
            EXPECT_TRUE(load.image.isNull());
        }
    }
}

// A progressive file decoded at 1/8 from its DC scans alone gives every pixel
// the whole file's decode gives, over scan scripts, samplings, colour spaces
// and restart intervals that cjpeg, jpegtran and ImageMagick write; where the
// shortcut cannot vouch for that (other scales, arithmetic coding, a file cut
// short) the whole file is decoded, with the same picture or the same error.
TEST(PictureFile, DcScansAloneDecodeAsTheWholeFileAtOneEighth) {
    QTemporaryDir dir;
    // Noise over ramps, an odd size so that the edge blocks are partial.
    QImage picture(411, 299, QImage::Format_RGB32);
    std::uint32_t noise = 12345;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            noise = noise * 1103515245u + 12345u;
            const int n = int(noise >> 26);
            picture.setPixel(x, y,
                             qRgb((x * 255 / 410 + n) % 256, (y * 255 / 298 + 2 * n) % 256,
                                  ((x + y) / 3 + n) % 256));
        }
    }
    const QString ppm = dir.filePath("source.ppm");
    ASSERT_TRUE(picture.save(ppm, "PPM"));
    const auto run = [&](const QString& program, const QStringList& arguments) {
        QProcess process;
        process.start(program, arguments);
        const bool ran = process.waitForFinished(60000) && process.exitCode() == 0;
        EXPECT_TRUE(ran) << program.toStdString() << " " << arguments.join(' ').toStdString()
                         << ": " << process.readAllStandardError().toStdString();
        return ran ? process.readAllStandardOutput() : QByteArray();
    };
    const auto writeFile = [&](const QString& name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        return dir.filePath(name);
    };
    // DC refined after the AC scans; DC sent a component at a time between
    // AC scans; DC and AC each in several successive-approximation steps.
    const QString refinedLast =
        writeFile("refined-last.txt",
                  "0,1,2: 0-0, 0, 1; 0: 1-63, 0, 0; 1: 1-63, 0, 0; 2: 1-63, 0, 0;\n"
                  "0,1,2: 0-0, 1, 0;\n");
    const QString apart = writeFile("apart.txt",
                                    "0: 0-0, 0, 0; 0: 1-63, 0, 0; 1: 0-0, 0, 0; 2: 0-0, 0, 0;\n"
                                    "2: 1-63, 0, 0; 1: 1-63, 0, 0;\n");
    const QString steps =
        writeFile("steps.txt",
                  "0,1,2: 0-0, 0, 2; 0: 1-9, 0, 1; 0,1,2: 0-0, 2, 1; 1: 1-63, 0, 0;\n"
                  "2: 1-63, 0, 0; 0: 10-63, 0, 1; 0,1,2: 0-0, 1, 0; 0: 1-63, 1, 0;\n");
    const QString baseline = dir.filePath("baseline.jpg");
    run("cjpeg", {"-quality", "90", "-outfile", baseline, ppm});

    struct Case {
        const char* name;
        QString program;
        QStringList arguments;
        bool dcScansSuffice;  // at 1/8
    };
    const QString cjpeg = QStringLiteral("cjpeg");
    const QString jpegtran = QStringLiteral("jpegtran");
    const QString convert = QStringLiteral("convert");
    const std::vector<Case> cases = {
        {"4:2:0", cjpeg, {"-progressive", ppm}, true},
        {"4:4:4", cjpeg, {"-progressive", "-sample", "1x1", ppm}, true},
        {"4:2:2", cjpeg, {"-progressive", "-sample", "2x1", ppm}, true},
        {"greyscale", cjpeg, {"-progressive", "-grayscale", ppm}, true},
        {"quality 100", cjpeg, {"-progressive", "-quality", "100", ppm}, true},
        {"restart every row", cjpeg, {"-progressive", "-restart", "1", ppm}, true},
        {"restart every 3 blocks", cjpeg, {"-progressive", "-restart", "3B", ppm}, true},
        {"DC refined last", cjpeg, {"-scans", refinedLast, ppm}, true},
        {"DC a component at a time", cjpeg, {"-scans", apart, ppm}, true},
        {"successive steps", cjpeg, {"-scans", steps, "-restart", "2B", ppm}, true},
        {"jpegtran from baseline", jpegtran, {"-progressive", "-restart", "1", baseline}, true},
        {"jpegtran script", jpegtran, {"-scans", apart, baseline}, true},
        {"CMYK", convert, {ppm, "-colorspace", "CMYK", "-interlace", "JPEG", "jpg:-"}, true},
        {"arithmetic coding", cjpeg, {"-progressive", "-arithmetic", ppm}, false},
        {"baseline", cjpeg, {ppm}, false},
    };
    const QSize eighth(48, 16);  // 411 x 299 at 1/8 is 52 x 38
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray jpeg = run(c.program, c.arguments);
        ASSERT_FALSE(jpeg.isEmpty());
        EXPECT_EQ(jpegDecodesFromDcScans(jpeg, eighth), c.dcScansSuffice);
        EXPECT_FALSE(jpegDecodesFromDcScans(jpeg, QSize(120, 80))) << "1/2";
        EXPECT_FALSE(jpegDecodesFromDcScans(jpeg, QSize())) << "full size";
        const PictureLoad whole = decodeJpeg(jpeg, eighth, PictureLimits(), JpegScans::All);
        ASSERT_TRUE(whole.error.isEmpty()) << whole.error.toStdString();
        ASSERT_EQ(whole.image.size(), QSize(52, 38));
        const PictureLoad dc = decodeJpeg(jpeg, eighth);
        ASSERT_TRUE(dc.error.isEmpty()) << dc.error.toStdString();
        EXPECT_EQ(dc.image, whole.image)
            << "largest difference " << largestChannelDifference(dc.image, whole.image);

        // Cut short anywhere after the header, the end marker too: the
        // whole file is decoded, with the same error.
        const int size = static_cast<int>(jpeg.size());
        const int scanStart = static_cast<int>(jpeg.indexOf("\xff\xda"));
        ASSERT_GT(scanStart, 0);
        for (int cut = scanStart; cut < size; cut += std::max(1, (size - scanStart) / 23)) {
            for (const QByteArray& broken : {jpeg.left(cut), jpeg.left(size - 1)}) {
                EXPECT_FALSE(jpegDecodesFromDcScans(broken, eighth)) << "cut at " << cut;
                const PictureLoad wholeBroken =
                    decodeJpeg(broken, eighth, PictureLimits(), JpegScans::All);
                const PictureLoad dcBroken = decodeJpeg(broken, eighth);
                EXPECT_EQ(dcBroken.error, wholeBroken.error) << "cut at " << cut;
                EXPECT_EQ(dcBroken.image, wholeBroken.image) << "cut at " << cut;
            }
        }
    }
}

// Saved pages load back exactly, whatever the format they were drawn in;
// transparent parts of a PNG load as unlit black.
TEST(PictureFile, PicturesLoadBackExactly) {
    QTemporaryDir dir;
    QImage picture(37, 23, QImage::Format_ARGB32);  // rows need padding to 4 bytes
    for (int y = 0; y < 23; ++y) {
        for (int x = 0; x < 37; ++x) {
            picture.setPixel(x, y, qRgb(x * 7, y * 11, (x ^ y) * 5));
        }
    }
    const QString path = dir.filePath("page.bmp");
    for (QImage::Format format : {QImage::Format_ARGB32, QImage::Format_RGB888,
                                  QImage::Format_Grayscale8, QImage::Format_Mono}) {
        SCOPED_TRACE(testing::Message() << "format " << format);
        const QImage source = picture.convertToFormat(format);
        QString error;
        ASSERT_TRUE(saveBmp(source, path, &error)) << error.toStdString();
        EXPECT_EQ(readBytes(path).mid(28, 2), QByteArray("\x18\0", 2)) << "24 bits a pixel";
        const PictureLoad load = loadPicture(path);
        ASSERT_TRUE(load.error.isEmpty()) << load.error.toStdString();
        EXPECT_EQ(load.image, source.convertToFormat(QImage::Format_RGB32));
    }
    QString error;
    EXPECT_FALSE(saveBmp(picture, dir.filePath("no/such/folder/page.bmp"), &error));
    EXPECT_FALSE(saveBmp(QImage(), dir.filePath("blank.bmp"), &error));

    QImage overlay(3, 1, QImage::Format_ARGB32);
    overlay.setPixel(0, 0, qRgba(200, 100, 50, 255));
    overlay.setPixel(1, 0, qRgba(200, 100, 50, 0));
    overlay.setPixel(2, 0, qRgba(200, 100, 50, 128));
    ASSERT_TRUE(overlay.save(dir.filePath("overlay.png")));
    const PictureLoad load = loadPicture(dir.filePath("overlay.png"));
    ASSERT_TRUE(load.error.isEmpty()) << load.error.toStdString();
    EXPECT_EQ(load.image.pixel(0, 0), qRgb(200, 100, 50));
    EXPECT_EQ(load.image.pixel(1, 0), qRgb(0, 0, 0));
    EXPECT_EQ(load.image.pixel(2, 0), qRgb(100, 50, 25));
}

}  // namespace
