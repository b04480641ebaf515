#include "platform/PictureFile.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QDataStream>
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

#include <jpeglib.h>

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

// Rewrites the picture size in a JPEG's frame header.
QByteArray withFrameSize(QByteArray jpeg, int width, int height) {
    int pos = 2;
    while (pos + 9 <= jpeg.size()) {
        const auto marker = static_cast<unsigned char>(jpeg[pos + 1]);
        const int length = (static_cast<unsigned char>(jpeg[pos + 2]) << 8) |
                           static_cast<unsigned char>(jpeg[pos + 3]);
        if (marker >= 0xC0 && marker <= 0xC2) {
            jpeg[pos + 5] = static_cast<char>(height >> 8);
            jpeg[pos + 6] = static_cast<char>(height & 0xff);
            jpeg[pos + 7] = static_cast<char>(width >> 8);
            jpeg[pos + 8] = static_cast<char>(width & 0xff);
            return jpeg;
        }
        pos += 2 + length;
    }
    ADD_FAILURE() << "no frame header found";
    return {};
}

QByteArray bmpHeader(qint32 width, qint32 height) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("BM", 2);
    out << quint32(54 + 64) << quint32(0) << quint32(54);                // file header
    out << quint32(40) << width << height << quint16(1) << quint16(24);  // info header
    out << quint32(0) << quint32(0) << qint32(2835) << qint32(2835) << quint32(0) << quint32(0);
    return bytes + QByteArray(64, '\x7f');  // a few pixels, far fewer than claimed
}

// Encodes flat 8x8 patches of ink with libjpeg, stored as 4-component CMYK
// (no colour transform), either plain or inverted under an Adobe marker.
QByteArray cmykPatches(const std::vector<std::array<int, 4>>& inks, bool adobe) {
    const int width = static_cast<int>(inks.size()) * 8;
    std::vector<JSAMPLE> row(static_cast<size_t>(width) * 4);
    for (int x = 0; x < width; ++x) {
        for (int c = 0; c < 4; ++c) {
            const int ink = inks[static_cast<size_t>(x / 8)][static_cast<size_t>(c)];
            row[static_cast<size_t>(x * 4 + c)] = static_cast<JSAMPLE>(adobe ? 255 - ink : ink);
        }
    }
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = 8;
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, JCS_CMYK);
    jpeg_set_quality(&cinfo, 100, TRUE);
    cinfo.write_Adobe_marker = adobe ? TRUE : FALSE;
    jpeg_start_compress(&cinfo, TRUE);
    JSAMPROW rows[1] = {row.data()};
    for (int y = 0; y < 8; ++y) {
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray jpeg(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(size));
    std::free(buffer);
    return jpeg;
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

TEST(PictureFile, CmykInkBecomesRgbWithAndWithoutAdobeMarker) {
    struct Patch {
        std::array<int, 4> ink;  // C, M, Y, K; 255 = full ink
        QRgb rgb;
    };
    const std::vector<Patch> patches = {
        {{0, 0, 0, 0}, qRgb(255, 255, 255)},    {{255, 0, 0, 0}, qRgb(0, 255, 255)},
        {{0, 255, 0, 0}, qRgb(255, 0, 255)},    {{0, 0, 255, 0}, qRgb(255, 255, 0)},
        {{0, 0, 0, 255}, qRgb(0, 0, 0)},        {{0, 0, 0, 128}, qRgb(127, 127, 127)},
        {{128, 64, 0, 0}, qRgb(127, 191, 255)}, {{102, 0, 51, 51}, qRgb(122, 204, 163)},
    };
    std::vector<std::array<int, 4>> inks;
    for (const Patch& patch : patches) {
        inks.push_back(patch.ink);
    }
    for (bool adobe : {false, true}) {
        SCOPED_TRACE(adobe ? "Adobe, inverted" : "plain");
        const PictureLoad load = decodeJpeg(cmykPatches(inks, adobe));
        ASSERT_TRUE(load.error.isEmpty()) << load.error.toStdString();
        ASSERT_EQ(load.image.size(), QSize(static_cast<int>(patches.size()) * 8, 8));
        for (size_t i = 0; i < patches.size(); ++i) {
            const QRgb got = load.image.pixel(static_cast<int>(i) * 8 + 4, 4);
            const QRgb want = patches[i].rgb;
            EXPECT_LE(std::abs(qRed(got) - qRed(want)), 2) << "patch " << i;
            EXPECT_LE(std::abs(qGreen(got) - qGreen(want)), 2) << "patch " << i;
            EXPECT_LE(std::abs(qBlue(got) - qBlue(want)), 2) << "patch " << i;
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

TEST(PictureFile, BadFilesGiveAnErrorNamingTheFile) {
    REQUIRE_MAGICK();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString baseline = makeJpeg(dir, QStringLiteral("b.jpg"), QSize(161, 121), {});
    const QString progressive =
        makeJpeg(dir, QStringLiteral("p.jpg"), QSize(161, 121), {"-interlace", "JPEG"});
    ASSERT_FALSE(baseline.isEmpty());
    ASSERT_FALSE(progressive.isEmpty());
    const QByteArray baselineBytes = readBytes(baseline);
    const QByteArray progressiveBytes = readBytes(progressive);
    QByteArray noise(4096, '\0');
    QRandomGenerator random(7);
    for (char& byte : noise) {
        byte = static_cast<char>(random.bounded(256));
    }
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.jpg")));
    QImage whole(40, 30, QImage::Format_RGB32);
    whole.fill(Qt::red);
    QString saved;
    ASSERT_TRUE(saveBmp(whole, dir.filePath(QStringLiteral("whole.bmp")), &saved));
    const QByteArray wholeBmp = readBytes(dir.filePath(QStringLiteral("whole.bmp")));

    struct Case {
        const char* name;
        QByteArray bytes;
        bool write;
        QSize target;
        const char* reason;
    };
    const Case cases[] = {
        {"missing.jpg", {}, false, {}, "No such file"},
        {"missing.bmp", {}, false, {}, "No such file"},
        {"folder.jpg", {}, false, {}, ""},
        {"empty.jpg", {}, true, {}, "empty"},
        {"empty.bmp", {}, true, {}, "empty"},
        {"noise.jpg", noise, true, {}, "Not a JPEG file"},
        {"noise.bmp", noise, true, {}, ""},
        {"cut.JPG", baselineBytes.left(baselineBytes.size() / 2), true, {}, "Premature end"},
        {"cut-progressive.JpEg",
         progressiveBytes.left(progressiveBytes.size() / 2),
         true,
         {},
         "Premature end"},
        // Qt's reader gives no size for the first, so it is read from the header.
        {"huge.bmp", bmpHeader(60000, 60000), true, {}, "picture too large: 60000 x 60000 pixels"},
        {"wide.bmp", bmpHeader(20000, -16000), true, {}, "picture too large: 20000 x 16000 pixels"},
        // Sizes whose product overflows 64 bits (found by fuzzing).
        {"overflow.bmp", bmpHeader(0x7FFFFFFF, 0x7FFFFFFF), true, {}, "picture too large"},
        // Rows missing: Qt would fill them in silently (a tiny file could
        // claim a picture of hundreds of megabytes).
        {"cut.bmp", wholeBmp.left(wholeBmp.size() / 2), true, {}, "cut short"},
        {"claims-more.bmp", bmpHeader(16000, 4000), true, {}, "cut short"},
        {"huge.jpg",
         withFrameSize(baselineBytes, 60000, 60000),
         true,
         {},
         "picture too large: 60000 x 60000 pixels"},
        // 1/8 of the frame is small enough, but a progressive file keeps the
        // full frame's coefficients while it is read.
        {"huge-progressive.jpg", withFrameSize(progressiveBytes, 60000, 60000), true,
         QSize(100, 100), "too much memory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromLatin1(c.name));
        if (c.write) {
            ASSERT_TRUE(writeBytes(path, c.bytes));
        }
        const PictureLoad load = loadPicture(path, c.target);
        EXPECT_TRUE(load.image.isNull());
        EXPECT_TRUE(load.error.contains(QString::fromLatin1(c.name))) << load.error.toStdString();
        EXPECT_TRUE(load.error.contains(QString::fromLatin1(c.reason))) << load.error.toStdString();
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
