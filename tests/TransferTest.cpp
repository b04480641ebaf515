#include "controller/Link.h"
#include "pages/PlayListFile.h"
#include "transfer/Frames.h"
#include "transfer/GlyphTable.h"
#include "transfer/MemoryMap.h"
#include "transfer/Packing.h"
#include "transfer/Transmission.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QPainter>
#include <QTemporaryDir>

namespace {

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

TEST(MemoryMap, SizesAndAddressesOverTypesAndScreens) {
    struct Case {
        int type, width, height, scan;
        int P, S, R, B, A, M1, M2;
    };
    const Case cases[] = {
        {0, 64, 16, 16, 256, 251, 2048, 256, 0x1934, 1757, 19693},
        {13, 64, 16, 16, 128, 502, 2048, 128, 0x18B4, 3514, 19736},
        {13, 8, 8, 16, 8, 8032, 256, 8, 0x113C, 56224, 20373},
        // Fold factors change only the scan area, so the play table moves.
        {1, 64, 16, 16, 256, 251, 4096, 256, 0x2134, 1757, 19011},
        {3, 64, 16, 16, 256, 251, 8192, 256, 0x3134, 1757, 17645},
        {5, 64, 16, 16, 256, 251, 16384, 256, 0x5134, 1757, 14915},
        {26, 64, 16, 16, 256, 251, 8192, 256, 0x3134, 1757, 17645},
        {16, 64, 16, 16, 128, 502, 8192, 128, 0x30B4, 3514, 17688},
        {0, 96, 64, 16, 1536, 41, 3072, 1536, 0x2234, 287, 18925},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "T" << c.type << " " << c.width << "x" << c.height);
        const MemoryMap map = memoryMap(typeFamily(c.type), c.width, c.height, c.scan);
        EXPECT_EQ(map.P, c.P);
        EXPECT_EQ(map.S, c.S);
        EXPECT_EQ(map.R, c.R);
        EXPECT_EQ(map.B, c.B);
        EXPECT_EQ(map.A, c.A);
        EXPECT_EQ(map.M1, c.M1);
        EXPECT_EQ(map.M2, c.M2);
        EXPECT_EQ(map.M2, (65533 - map.A) / 3);
        EXPECT_LE(map.A + 2 + 3 * map.M2, 0xFFFF);
    }
    const MemoryMap map = memoryMap(typeFamily(0), 64, 16, 16);
    EXPECT_EQ(capacityText(map), "MAX 1757 PAGES");
    EXPECT_EQ(map.pageBank(1), 0);
    EXPECT_EQ(map.pageAddress(1), 0x0500);
    EXPECT_EQ(map.pageBank(251), 0);
    EXPECT_EQ(map.pageAddress(251), 0x0500 + 250 * 256);
    EXPECT_EQ(map.pageBank(252), 1);
    EXPECT_EQ(map.pageAddress(252), 0x0500);
    EXPECT_EQ(map.pagesSent(3000), 1757);
    EXPECT_EQ(capacityText(memoryMap(typeFamily(13), 8, 8, 16)), "MAX 20373 PAGES");
}

TEST(MemoryMap, TypeFamilies) {
    const int notSent[] = {14, 15, 18, 19, 20, 21, 24, 25, -1, 27};
    for (int type : notSent) {
        EXPECT_EQ(typeFamily(type).depth, Depth::NotSent) << type;
        EXPECT_FALSE(memoryMap(typeFamily(type), 64, 16, 16).fits());
    }
    const std::pair<int, TypeFamily> sent[] = {
        {0, {Depth::DualColour, 1}},  {2, {Depth::DualColour, 2}},  {4, {Depth::DualColour, 4}},
        {6, {Depth::DualColour, 8}},  {8, {Depth::DualColour, 2}},  {12, {Depth::DualColour, 8}},
        {13, {Depth::Monochrome, 1}}, {17, {Depth::Monochrome, 4}}, {23, {Depth::Monochrome, 4}},
        {26, {Depth::DualColour, 4}},
    };
    for (const auto& [type, family] : sent) {
        EXPECT_EQ(typeFamily(type).depth, family.depth) << type;
        EXPECT_EQ(typeFamily(type).fold, family.fold) << type;
    }
    // Too large for one bank: nothing fits and nothing may be sent.
    EXPECT_FALSE(memoryMap(typeFamily(0), 2048, 1600, 16).fits());
    EXPECT_EQ(memoryMap(typeFamily(0), 2048, 1600, 16).pagesSent(5), 0);
}

// A row of pixels as a one-row canvas.
QImage row(std::initializer_list<QRgb> pixels) {
    QImage image(static_cast<int>(pixels.size()), 1, QImage::Format_RGB32);
    int x = 0;
    for (QRgb p : pixels) {
        image.setPixel(x++, 0, p);
    }
    return image;
}

TEST(Packing, BitsOfTheWorkedExamples) {
    const QRgb red = qRgb(255, 0, 0), green = qRgb(0, 255, 0), yellow = qRgb(255, 255, 0),
               black = qRgb(0, 0, 0), white = qRgb(255, 255, 255), blue = qRgb(0, 0, 255);
    struct Case {
        const char* name;
        QImage pixels;
        bool dual, rgSwap, colorSwap, adjust;
        QByteArray expected;
    };
    const QImage rgyk = row({red, green, yellow, black, black, black, black, black});
    const QImage mono = row({green, black, red, black, yellow, black, black, white});
    const QImage dim = row({qRgb(1, 0, 0), black, black, black, black, black, black, black});
    const QImage blues = row({blue, blue, blue, blue, blue, blue, blue, blue});
    const Case cases[] = {
        {"dual r g y k", rgyk, true, false, false, false, hex("9C00")},
        {"dual COLOR-SWAP", rgyk, true, false, true, false, hex("63FF")},
        {"dual RG-SWAP", rgyk, true, true, false, false, hex("6C00")},
        {"mono", mono, false, false, false, false, hex("89")},
        {"mono RG-SWAP", mono, false, true, false, false, hex("29")},
        {"faint red lights", dim, true, false, false, false, hex("8000")},
        {"faint red with ADJUST", dim, true, false, false, true, hex("0000")},
        {"blue never lights", blues, true, false, false, false, hex("0000")},
        {"blue mono", blues, false, false, false, false, hex("00")},
        {"blue COLOR-SWAP", blues, true, false, true, false, hex("FFFF")},
        {"blue mono COLOR-SWAP", blues, false, false, true, false, hex("FF")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QImage canvas = c.pixels;
        if (c.adjust) {
            AdjustGamma(canvas, canvas.width(), canvas.height());
        }
        QByteArray out;
        const ColourTest test{c.rgSwap, c.colorSwap};
        if (c.dual) {
            packDualColour(canvas, canvas.width(), 1, test, out);
        } else {
            packMonochrome(canvas, canvas.width(), 1, test, out);
        }
        EXPECT_EQ(out.toHex(), c.expected.toHex());
    }
}

TEST(Packing, AdjustGammaCurve) {
    const std::pair<int, int> values[] = {{255, 255}, {128, 32}, {41, 1},
                                          {40, 0},    {0, 0},    {200, 123}};
    for (const auto& [in, out] : values) {
        QImage canvas = row({qRgb(in, in, in)});
        AdjustGamma(canvas, 1, 1);
        EXPECT_EQ(qRed(canvas.pixel(0, 0)), out) << in;
        EXPECT_EQ(qBlue(canvas.pixel(0, 0)), out) << in;
    }
}

TEST(Packing, RowLengthsAndOddWidths) {
    struct Case {
        int width;
        int dualBytes, monoBytes;
    };
    // A dual-colour row is 2 x (W div 8) bytes, so a page is exactly P bytes.
    for (const Case& c :
         {Case{64, 16, 8}, Case{12, 2, 1}, Case{15, 2, 1}, Case{16, 4, 2}, Case{8, 2, 1}}) {
        QImage canvas(c.width, 3, QImage::Format_RGB32);
        canvas.fill(Qt::red);
        QByteArray dual, mono;
        packDualColour(canvas, c.width, 3, {}, dual);
        packMonochrome(canvas, c.width, 3, {}, mono);
        EXPECT_EQ(dual.size(), 3 * c.dualBytes) << c.width;
        EXPECT_EQ(mono.size(), 3 * c.monoBytes) << c.width;
        EXPECT_EQ(dual.size(), memoryMap(typeFamily(0), c.width, 3, 16).P);
    }
}

TEST(Packing, ToBcd) {
    const std::pair<int, int> values[] = {{59, 0x59}, {7, 0x07},  {0, 0},
                                          {99, 0x99}, {26, 0x26}, {256 + 12, 0x12}};
    for (const auto& [value, bcd] : values) {
        EXPECT_EQ(ToBcd(value), bcd) << value;
    }
}

struct ListFolder {
    QTemporaryDir dir;
    QString path(const char* name) const { return QDir(dir.path()).filePath(name); }
};

PageList onePage(const QString& file, int inMode, int speed, int time) {
    PageList pages;
    pages.setPagePicture(file);
    pages.clickInMode(inMode);
    pages.editDispSpeed(QString::number(speed));
    pages.editDispTime(QString::number(time));
    return pages;
}

TEST(Transfer, WholeT13TransferOfOneEightByEightPage) {
    ListFolder folder;
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::black);
    picture.setPixel(0, 0, qRgb(0, 255, 0));  // one lit LED, top left
    picture.setPixel(7, 7, qRgb(0, 255, 0));  // and bottom right
    ASSERT_TRUE(picture.save(folder.path("dot.bmp")));
    Settings settings;
    settings.NUM = 1;
    settings.WIDTH = 8;
    settings.HEIGHT = 8;
    settings.SCAN = 16;
    settings.TYPE = 13;
    settings.COLOR_SWAP = false;
    const PageList pages = onePage("dot.bmp", 40, 3, 7);

    const TransferBuild build = buildTransfer(settings, pages, folder.dir.path(), nullptr);
    ASSERT_TRUE(build.error.isEmpty()) << build.error.toStdString();
    const QByteArray& bytes = build.bytes;
    ASSERT_EQ(bytes.size(), 868);
    EXPECT_EQ(bytes.left(19).toHex(), hex("0155AA55AA00"
                                          "00"
                                          "0005"
                                          "0800"
                                          "8000000000000001")
                                          .toHex());
    EXPECT_EQ(bytes.mid(19, 11).toHex(), hex("0155AA55AA00"
                                             "07"
                                             "040D"
                                             "3003")
                                             .toHex());
    EXPECT_EQ(bytes.mid(30, 816), glyphTable());
    EXPECT_EQ(bytes.mid(846).toHex(), hex("0155AA55AA00"
                                          "07"
                                          "3C11"
                                          "0500"
                                          "0100"
                                          "28"
                                          "03"
                                          "07"
                                          "0155AA55AA01")
                                          .toHex());
}

TEST(Transfer, FoldVariantsShareThePageBytes) {
    ListFolder folder;
    QImage picture(64, 16, QImage::Format_RGB32);
    picture.fill(Qt::black);
    QPainter(&picture).fillRect(5, 3, 20, 7, Qt::yellow);
    ASSERT_TRUE(picture.save(folder.path("p.bmp")));
    const PageList pages = onePage("p.bmp", 1, 2, 3);
    QByteArray firstPage;
    int lastTableAddress = -1;
    for (int type : {1, 3, 5}) {
        Settings settings;
        settings.TYPE = type;
        const TransferBuild build = buildTransfer(settings, pages, folder.dir.path(), nullptr);
        ASSERT_TRUE(build.error.isEmpty());
        const QByteArray page = build.bytes.mid(11, 256);
        if (firstPage.isEmpty()) {
            firstPage = page;
        }
        EXPECT_EQ(page, firstPage) << "T" << type;
        // The play table frame follows the glyph frame.
        const QByteArray table = build.bytes.mid(11 + 256 + 827, 11);
        const int address = static_cast<uint8_t>(table[7]) | static_cast<uint8_t>(table[8]) << 8;
        EXPECT_EQ(address, build.map.A);
        EXPECT_NE(address, lastTableAddress);
        lastTableAddress = address;
        EXPECT_TRUE(build.bytes.endsWith(hex("0155AA55AA01")));
    }
}

TEST(Transfer, PicturesAreSqueezedNotCropped) {
    ListFolder folder;
    QImage picture(320, 240, QImage::Format_RGB32);
    picture.fill(Qt::black);
    QPainter(&picture).fillRect(160, 0, 160, 240, Qt::red);  // right half red
    ASSERT_TRUE(picture.save(folder.path("wide.bmp")));
    Settings settings;  // 64 x 16, T0, COLOR-SWAP on
    settings.COLOR_SWAP = false;
    const TransferBuild build =
        buildTransfer(settings, onePage("wide.bmp", 0, 0, 5), folder.dir.path(), nullptr);
    ASSERT_TRUE(build.error.isEmpty());
    // Each row: 8 bytes dark (left half), 8 bytes red (0xAA: every red bit).
    const QByteArray page = build.bytes.mid(11, 256);
    for (int y = 0; y < 16; ++y) {
        EXPECT_EQ(page.mid(16 * y, 16).toHex(),
                  (QByteArray(8, '\0') + QByteArray(8, '\xAA')).toHex())
            << "row " << y;
    }
}

TEST(Transfer, BlankPagesAndRefusals) {
    ListFolder folder;
    Settings settings;
    {
        SCOPED_TRACE("blank page with and without COLOR-SWAP");
        for (bool swap : {false, true}) {
            settings.COLOR_SWAP = swap;
            const TransferBuild build =
                buildTransfer(settings, PageList{}, folder.dir.path(), nullptr);
            EXPECT_EQ(build.bytes.mid(11, 256), QByteArray(256, swap ? '\xFF' : '\0'));
        }
    }
    struct Refusal {
        const char* name;
        Settings settings;
        PageList pages;
        const char* says;
    };
    Settings tooLarge;
    tooLarge.WIDTH = 2048;
    tooLarge.HEIGHT = 1600;
    Settings noSpeed;
    noSpeed.BPS = -1;
    Settings notSent;
    notSent.TYPE = 14;
    PageList missing;
    missing.addPage();
    missing.setPagePicture("gone.jpg");
    const Refusal refusals[] = {
        {"screen too large", tooLarge, PageList{}, "too large for the controller memory"},
        {"no link speed", noSpeed, PageList{}, "No link speed"},
        {"type not sent", notSent, PageList{}, "cannot be sent"},
        {"picture missing", Settings{}, missing, "page 2: cannot load gone.jpg"},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.name);
        const TransferBuild build = buildTransfer(r.settings, r.pages, folder.dir.path(), nullptr);
        EXPECT_TRUE(build.error.contains(QString::fromLatin1(r.says))) << build.error.toStdString();
    }
}

}  // namespace
