#include "platform/PictureFile.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <sys/stat.h>

namespace {

// ImageMagick makes the test JPEGs and, through its own reading, gives the
// pixels to compare against.
QString magickPath() {
    const QString standard = QStringLiteral("/usr/bin/convert");
    if (QFileInfo(standard).isExecutable()) {
        return standard;
    }
    return QStandardPaths::findExecutable(QStringLiteral("convert"));
}

#define REQUIRE_MAGICK()                                                                \
    if (magickPath().isEmpty()) {                                                       \
        GTEST_SKIP() << "ImageMagick's convert is not installed (package imagemagick)"; \
    }

bool runMagick(const QStringList& arguments, QByteArray* output = nullptr) {
    QProcess process;
    process.start(magickPath(), arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        ADD_FAILURE() << "convert " << arguments.join(' ').toStdString()
                      << " failed: " << process.readAllStandardError().toStdString();
        return false;
    }
    if (output != nullptr) {
        *output = process.readAllStandardOutput();
    }
    return true;
}

// How ImageMagick itself decodes the file, as an RGB picture.
QImage magickDecode(const QString& jpeg, const QStringList& options = {}) {
    QByteArray ppm;
    if (!runMagick(QStringList(options) << jpeg << QStringLiteral("-colorspace")
                                        << QStringLiteral("sRGB") << QStringLiteral("-depth")
                                        << QStringLiteral("8") << QStringLiteral("ppm:-"),
                   &ppm)) {
        return {};
    }
    return QImage::fromData(ppm, "PPM").convertToFormat(QImage::Format_RGB32);
}

// Colour ramps under a checker, so that every channel and both directions
// carry detail.
QImage testPicture(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int checker = ((x / 16 + y / 16) % 2) != 0 ? 220 : 40;
            image.setPixel(x, y, qRgb(x * 255 / (width - 1), y * 255 / (height - 1), checker));
        }
    }
    return image;
}

QString makeJpeg(const QTemporaryDir& dir, const QString& name, const QSize& size,
                 const QStringList& options) {
    const QString source =
        dir.filePath(QStringLiteral("source-%1x%2.png").arg(size.width()).arg(size.height()));
    if (!QFileInfo::exists(source) && !testPicture(size.width(), size.height()).save(source)) {
        ADD_FAILURE() << "cannot write " << source.toStdString();
        return {};
    }
    const QString jpeg = dir.filePath(name);
    return runMagick(QStringList(source) << options << jpeg) ? jpeg : QString();
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

TEST(PictureFile, JpegKindsMatchAnotherDecoder) {
    REQUIRE_MAGICK();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // An odd size leaves partial blocks at the right and bottom edges.
    const QSize size(161, 121);
    struct Case {
        const char* name;
        QStringList options;
    };
    // Up to 2 apart per channel: ImageMagick's CMYK to RGB step rounds at 16
    // bits and may land one step off ours, and its libjpeg may differ.
    const Case cases[] = {
        {"baseline.jpg", {"-quality", "90"}},
        {"subsampled.JPG", {"-sampling-factor", "2x2"}},
        {"progressive.jpeg", {"-interlace", "JPEG"}},
        {"grey.jpg", {"-colorspace", "Gray"}},
        {"restarts.jpg", {"-define", "jpeg:restart-interval=1"}},
        // ImageMagick stores CMYK as YCCK under an Adobe marker.
        {"cmyk.jpg", {"-colorspace", "CMYK"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = makeJpeg(dir, QString::fromLatin1(c.name), size, c.options);
        ASSERT_FALSE(path.isEmpty());
        const PictureLoad load = loadPicture(path);
        ASSERT_TRUE(load.error.isEmpty()) << load.error.toStdString();
        EXPECT_EQ(load.image.format(), QImage::Format_RGB32);
        const QImage expected = magickDecode(path);
        ASSERT_EQ(load.image.size(), size);
        ASSERT_EQ(expected.size(), size);
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

TEST(PictureFile, LargeJpegDecodesAtReducedSizeNoSmallerThanTarget) {
    REQUIRE_MAGICK();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = makeJpeg(dir, QStringLiteral("wide.jpg"), QSize(2000, 1000), {});
    ASSERT_FALSE(path.isEmpty());
    struct Case {
        QSize target;
        QSize decoded;
    };
    const Case cases[] = {
        {QSize(64, 16), QSize(250, 125)},       // 1/8
        {QSize(300, 100), QSize(500, 250)},     // 1/4: 1/8 would be too narrow
        {QSize(200, 300), QSize(1000, 500)},    // 1/2: 1/4 would be too low
        {QSize(900, 400), QSize(1000, 500)},    // 1/2
        {QSize(1001, 100), QSize(2000, 1000)},  // not twice as wide as the target
        {QSize(0, 0), QSize(2000, 1000)},      {QSize(), QSize(2000, 1000)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.target.width() << "x" << c.target.height());
        const PictureLoad load = loadPicture(path, c.target);
        ASSERT_TRUE(load.error.isEmpty()) << load.error.toStdString();
        EXPECT_EQ(load.image.size(), c.decoded);
    }
    // The reduced picture is the one ImageMagick gets when it asks libjpeg
    // for that size.
    const PictureLoad small = loadPicture(path, QSize(64, 16));
    const QImage expected =
        magickDecode(path, {QStringLiteral("-define"), QStringLiteral("jpeg:size=250x125")});
    ASSERT_EQ(expected.size(), small.image.size());
    EXPECT_LE(largestChannelDifference(small.image, expected), 2);
}

// Every refusal names the file and says why; the cheap check made before a
// transfer refuses the same files from their headers alone.
TEST(PictureFile, BadFilesGiveAnErrorNamingTheFile) {
    REQUIRE_MAGICK();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray baseline = readBytes(makeJpeg(dir, "b.jpg", QSize(161, 121), {}));
    const QByteArray progressive =
        readBytes(makeJpeg(dir, "p.jpg", QSize(161, 121), {"-interlace", "JPEG"}));
    QImage whole(40, 30, QImage::Format_RGB32);
    whole.fill(Qt::red);
    QString saved;
    ASSERT_TRUE(saveBmp(whole, dir.filePath("whole.bmp"), &saved));
    const QByteArray wholeBmp = readBytes(dir.filePath("whole.bmp"));
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.jpg"));
    ASSERT_EQ(mkfifo(QFile::encodeName(dir.filePath("fifo.bmp")).constData(), 0600), 0);
    QFile sparse(dir.filePath("sparse.jpg"));
    ASSERT_TRUE(sparse.open(QIODevice::WriteOnly) && sparse.resize(qint64(2) << 30));
    sparse.close();

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
        {"folder.jpg", {}, {}, "it is a folder, not a file", Both},
        {"fifo.bmp", {}, {}, "it is a FIFO (named pipe), not a file", Both},
        {"/dev/zero", {}, {}, "it is a device, not a file", Both},
        {"sparse.jpg", {}, {}, "it is 2147483648 bytes; at most 268435456 are read", Both},
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
        {"30000.jpg", "data:hardening/claims-30000-progressive.jpg", QSize(100, 100),
         "too much memory", LoadOnly},
        // Rows missing: Qt would fill them in silently.
        {"cut.bmp", wholeBmp.left(wholeBmp.size() / 2), {}, "cut short", Both},
        {"more-rows.bmp", "data:hardening/claims-more-rows.bmp", {}, "cut short", Both},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = c.name[0] == '/' ? QString::fromLatin1(c.name) : dir.filePath(c.name);
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
    REQUIRE_MAGICK();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
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

TEST(PictureFile, BmpRoundTripIsExact) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QImage picture = testPicture(37, 23);  // rows need padding to 4 bytes
    const QImage sources[] = {
        picture,
        picture.convertToFormat(QImage::Format_RGB888),
        picture.convertToFormat(QImage::Format_ARGB32),
        picture.convertToFormat(QImage::Format_Grayscale8),
        picture.convertToFormat(QImage::Format_Mono),
    };
    for (const QImage& source : sources) {
        SCOPED_TRACE(testing::Message() << "format " << source.format());
        const QString path = dir.filePath(QStringLiteral("page.bmp"));
        QString error;
        ASSERT_TRUE(saveBmp(source, path, &error)) << error.toStdString();
        const QByteArray bytes = readBytes(path);
        ASSERT_GE(bytes.size(), 54);
        EXPECT_EQ(bytes[28], 24) << "bits per pixel";
        EXPECT_EQ(bytes[29], 0);
        const PictureLoad load = loadPicture(path);
        ASSERT_TRUE(load.error.isEmpty()) << load.error.toStdString();
        EXPECT_EQ(load.image, source.convertToFormat(QImage::Format_RGB32));
    }

    QString error;
    EXPECT_FALSE(saveBmp(picture, dir.filePath(QStringLiteral("no/such/folder/page.bmp")), &error));
    EXPECT_FALSE(error.isEmpty());
    error.clear();
    EXPECT_FALSE(saveBmp(QImage(), dir.filePath(QStringLiteral("blank.bmp")), &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(PictureFile, TransparentPartsLoadAsUnlitBlack) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage picture(3, 1, QImage::Format_ARGB32);
    picture.setPixel(0, 0, qRgba(200, 100, 50, 255));
    picture.setPixel(1, 0, qRgba(200, 100, 50, 0));
    picture.setPixel(2, 0, qRgba(200, 100, 50, 128));
    const QString path = dir.filePath(QStringLiteral("overlay.png"));
    ASSERT_TRUE(picture.save(path));
    const PictureLoad load = loadPicture(path);
    ASSERT_TRUE(load.error.isEmpty()) << load.error.toStdString();
    EXPECT_EQ(load.image.pixel(0, 0), qRgb(200, 100, 50));
    EXPECT_EQ(load.image.pixel(1, 0), qRgb(0, 0, 0));
    EXPECT_EQ(load.image.pixel(2, 0), qRgb(100, 50, 25));
}

}  // namespace
