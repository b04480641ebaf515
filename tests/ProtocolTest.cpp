// The bytes of the protocol, without a port: memory map, packing, whole
// transmissions, the parameter block and its names, replies, setup image,
// glyph table.

#include "tests/TestSupport.h"
#include "transfer/Frames.h"
#include "transfer/GlyphTable.h"
#include "transfer/MemoryMap.h"
#include "transfer/Packing.h"
#include "transfer/ParameterBlock.h"
#include "transfer/SetupImage.h"
#include "transfer/Transmission.h"

#include <QPainter>

#include <iterator>
#include <map>

namespace {

TEST(Protocol, MemoryMapOverTypesAndScreens) {
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
        EXPECT_EQ((std::vector<int>{map.P, map.S, map.R, map.B, map.A, map.M1, map.M2}),
                  (std::vector<int>{c.P, c.S, c.R, c.B, c.A, c.M1, c.M2}));
    }
    const MemoryMap map = memoryMap(typeFamily(0), 64, 16, 16);
    EXPECT_EQ(capacityText(map), "MAX 1757 PAGES");
    EXPECT_EQ(capacityText(memoryMap(typeFamily(13), 8, 8, 16)), "MAX 20373 PAGES");
    const std::array<int, 3> places[] = {
        {1, 0, 0x0500}, {251, 0, 0x0500 + 250 * 256}, {252, 1, 0x0500}};
    for (const auto& [page, bank, address] : places) {
        EXPECT_EQ(map.pageBank(page), bank) << page;
        EXPECT_EQ(map.pageAddress(page), address) << page;
    }
    EXPECT_EQ(map.pagesSent(3000), 1757);
    // Too large for one bank: nothing fits and nothing may be sent.
    EXPECT_FALSE(memoryMap(typeFamily(0), 2048, 1600, 16).fits());
    EXPECT_EQ(memoryMap(typeFamily(0), 2048, 1600, 16).pagesSent(5), 0);
}

// A row of pixels as a one-row canvas, a letter a pixel: red, green,
// yellow, blacK, white, blue, and f a faint red (1, 0, 0).
QImage row(const char* letters) {
    const std::map<char, QRgb> colours = {{'r', qRgb(255, 0, 0)},   {'g', qRgb(0, 255, 0)},
                                          {'y', qRgb(255, 255, 0)}, {'k', qRgb(0, 0, 0)},
                                          {'b', qRgb(0, 0, 255)},   {'w', qRgb(255, 255, 255)},
                                          {'f', qRgb(1, 0, 0)}};
    QImage image(static_cast<int>(qstrlen(letters)), 1, QImage::Format_RGB32);
    for (int x = 0; x < image.width(); ++x) {
        image.setPixel(x, 0, colours.at(letters[x]));
    }
    return image;
}

TEST(Protocol, PackingGammaAndBcd) {
    struct Case {
        const char* pixels;
        bool dual, rgSwap, colorSwap, adjust;
        const char* bytes;
    };
    const Case cases[] = {
        {"rgykkkkk", true, false, false, false, "9C00"},
        {"rgykkkkk", true, false, true, false, "63FF"},  // COLOR-SWAP
        {"rgykkkkk", true, true, false, false, "6C00"},  // RG-SWAP
        {"gkrkykkw", false, false, false, false, "89"},
        {"gkrkykkw", false, true, false, false, "29"},
        {"fkkkkkkk", true, false, false, false, "8000"},  // a faint red lights
        {"fkkkkkkk", true, false, false, true, "0000"},   // but not with ADJUST
        {"bbbbbbbb", true, false, false, false, "0000"},  // blue never lights
        {"bbbbbbbb", false, false, false, false, "00"},
        {"bbbbbbbb", true, false, true, false, "FFFF"},
        {"bbbbbbbb", false, false, true, false, "FF"},
    };
    for (const Case& c : cases) {
        QImage canvas = row(c.pixels);
        if (c.adjust) {
            AdjustGamma(canvas, canvas.width(), 1);
        }
        QByteArray out;
        packPage(canvas, c.dual ? Depth::DualColour : Depth::Monochrome, canvas.width(), 1,
                 {c.rgSwap, c.colorSwap}, out);
        EXPECT_EQ(out.toHex(), hexBytes(c.bytes).toHex()) << c.pixels;
    }
    const std::pair<int, int> curve[] = {{255, 255}, {128, 32}, {41, 1}, {40, 0}, {200, 123}};
    for (const auto& [in, out] : curve) {
        QImage canvas = filled({1, 1}, QColor(in, in, in));
        AdjustGamma(canvas, 1, 1);
        EXPECT_EQ(canvas.pixel(0, 0), qRgb(out, out, out)) << in;
    }
    const std::pair<int, int> bcd[] = {{59, 0x59}, {7, 0x07}, {0, 0}, {99, 0x99}, {256 + 12, 0x12}};
    for (const auto& [value, packed] : bcd) {
        EXPECT_EQ(ToBcd(value), packed) << value;
    }
}

PageList onePage(const QString& file, int inMode, int speed, int time) {
    PageList pages;
    pages.setPagePicture(file);
    pages.clickInMode(inMode);
    pages.editDispSpeed(QString::number(speed));
    pages.editDispTime(QString::number(time));
    return pages;
}

TEST(Protocol, WholeT13TransferOfOneEightByEightPage) {
    QTemporaryDir dir;
    QImage picture = filled({8, 8}, Qt::black);
    picture.setPixel(0, 0, qRgb(0, 255, 0));  // one lit LED, top left
    picture.setPixel(7, 7, qRgb(0, 255, 0));  // and bottom right
    ASSERT_TRUE(picture.save(dir.filePath("dot.bmp")));
    Settings settings;
    settings.WIDTH = 8;
    settings.HEIGHT = 8;
    settings.TYPE = 13;
    settings.COLOR_SWAP = false;
    const TransferBuild build =
        buildTransfer(settings, onePage("dot.bmp", 40, 3, 7), dir.path(), nullptr);
    ASSERT_TRUE(build.error.isEmpty()) << build.error.toStdString();
    ASSERT_EQ(build.bytes.size(), 868);
    EXPECT_EQ(
        build.bytes.left(30).toHex(),
        hexBytes("0155AA55AA00 00 0005 0800 8000000000000001 0155AA55AA00 07 040D 3003").toHex());
    EXPECT_EQ(build.bytes.mid(30, 816), glyphTable());
    EXPECT_EQ(build.bytes.mid(846).toHex(),
              hexBytes("0155AA55AA00 07 3C11 0500 0100 28 03 07 0155AA55AA01").toHex());
}

TEST(Protocol, TransferPagesAndRefusals) {
    QTemporaryDir dir;
    QImage wide = filled({320, 240}, Qt::black);
    QPainter(&wide).fillRect(160, 0, 160, 240, Qt::red);  // right half red
    ASSERT_TRUE(wide.save(dir.filePath("wide.bmp")));
    Settings settings;  // 64 x 16, T0
    settings.COLOR_SWAP = false;
    // Squeezed, not cropped: each row 8 bytes dark, then 8 bytes 0xAA (every red bit).
    const TransferBuild squeezed =
        buildTransfer(settings, onePage("wide.bmp", 0, 0, 5), dir.path(), nullptr);
    EXPECT_EQ(squeezed.bytes.mid(11, 256).toHex(),
              (QByteArray(8, '\0') + QByteArray(8, '\xAA')).repeated(16).toHex());
    // A blank page is dark: all bits 0, or all 1 with COLOR-SWAP.
    for (bool swap : {false, true}) {
        settings.COLOR_SWAP = swap;
        EXPECT_EQ(buildTransfer(settings, PageList{}, dir.path(), nullptr).bytes.mid(11, 256),
                  QByteArray(256, swap ? '\xFF' : '\0'));
    }
    // Refused before anything is sent.
    Settings tooLarge;
    tooLarge.WIDTH = 2048;
    tooLarge.HEIGHT = 1600;
    Settings noSpeed;
    noSpeed.BPS = -1;
    EXPECT_TRUE(buildTransfer(tooLarge, PageList{}, dir.path(), nullptr)
                    .error.contains("too large for the controller memory"));
    EXPECT_TRUE(
        buildTransfer(noSpeed, PageList{}, dir.path(), nullptr).error.contains("No link speed"));
}

TEST(Protocol, ClockModeAndReadFrames) {
    const std::tuple<int, QDateTime, const char*> clocks[] = {
        {1, {{2026, 12, 5}, {13, 47, 42}}, "0155AA55AA02 26 06 12 05 13 47 42"},
        {0, {{2000, 1, 2}, {0, 0, 0}}, "0055AA55AA02 00 07 01 02 00 00 00"},
        {255, {{2009, 12, 31}, {23, 59, 59}}, "FF55AA55AA02 09 04 12 31 23 59 59"},
    };
    for (const auto& [num, when, bytes] : clocks) {
        EXPECT_EQ(clockFrame(num, when).toHex(), hexBytes(bytes).toHex());
    }
    EXPECT_EQ(readRequest().toHex(), "0055aa55aa05");

    PageList pages;
    pages.clickInMode(1);
    pages.editDispSpeed("2");
    pages.editDispTime("3");
    pages.addPage();
    pages.clickInMode(40);
    pages.addPage();
    Settings settings;  // 64 x 16, SCAN 16, T0
    QString refusal;
    EXPECT_EQ(modeFrames(settings, pages, &refusal).toHex(),
              hexBytes("0155AA55AA00 07 3419 0B00 0300 010203 280005 000005 0155AA55AA01").toHex());
    const std::pair<int, const char*> tables[] = {{13, "b418"}, {16, "b430"}};
    for (const auto& [type, address] : tables) {
        settings.TYPE = type;
        EXPECT_EQ(modeFrames(settings, pages, &refusal).mid(7, 2).toHex(), address);
    }
    settings.TYPE = 14;  // no family: the end frame alone
    EXPECT_EQ(modeFrames(settings, pages, &refusal).toHex(), "0155aa55aa01");
    settings.TYPE = 0;
    settings.WIDTH = 2048;
    settings.HEIGHT = 1600;
    EXPECT_TRUE(modeFrames(settings, pages, &refusal).isEmpty());
    EXPECT_FALSE(refusal.isEmpty());
}

// The block of the dialog's defaults, field by field.
const char kDefaultBlock[] =
    "01 0000 4000 10 00401901 80250000 10 64 00 91FA FF 01 00 00 00 00 080000 120000 00";

TEST(Protocol, ParameterBlockAndFrame) {
    const ControllerParameters defaults;
    EXPECT_EQ(encodeParameterBlock(defaults).toHex(), hexBytes(kDefaultBlock).toHex());
    EXPECT_EQ(parameterFrame(defaults).toHex(),
              (hexBytes("0055AA55AA00 00 0080 2400") + hexBytes(kDefaultBlock) + "para" +
               hexBytes("0055AA55AA04"))
                  .toHex());
    // The low 8 bits of a scan frequency of 300 (swap8 between), light as 65535 - light.
    ControllerParameters p;
    p.scanFrequency = 300;
    p.light = 0;
    EXPECT_EQ(encodeParameterBlock(p).mid(15, 4).toHex(), "2c00ffff");
    p.light = 65535;
    EXPECT_EQ(encodeParameterBlock(p).mid(17, 2).toHex(), "0000");
    const std::array<int, 4> lights[] = {{18432000, 16, 100, 1390}, {7372800, 16, 100, 526},
                                         {18432000, 4, 100, 5710},  {18432000, 1, 100, 22990},
                                         {18432000, 0, 100, 0},     {18432000, 16, -5, 0}};
    for (const auto& [clock, scan, frequency, light] : lights) {
        EXPECT_EQ(lightMaximum(clock, scan, frequency), light) << clock << " " << scan;
    }
}

// Each field alone set to a marker within its range: the bytes it gives in
// the block, and how save-para names it.
using P = ControllerParameters;
struct Poison {
    qint64 P::*member;
    qint64 marker;
    int offset;
    const char* bytes;
    const char* named;
};
const Poison kPoisons[] = {
    {&P::num, 200, 0, "C8", "num=200"},
    {&P::type, 26, 1, "1A00", "type=26"},
    {&P::width, 1000, 3, "E803", "width=1000"},
    {&P::height, 255, 5, "FF", "high=255"},
    {&P::clock, 7372800, 6, "00807000", "clock=7372800"},
    {&P::bps, 115200, 10, "00C20100", "bps=115200"},
    {&P::scanMode, 3, 14, "03", "scan=3"},
    {&P::scanFrequency, 250, 15, "FA", "freq=250"},
    {&P::light, 1000, 17, "17FC", "light=1000"},
    {&P::bitSwap8, 1, 16, "01", "swap8=1"},
    {&P::dataCom, 0, 19, "00", "datacom=0"},
    {&P::oeCom, 0, 20, "00", "oecom=0"},
    {&P::autoSwitch, 1, 21, "01", "autoswitch=1"},
    {&P::translate, 1, 22, "01", "translate=1"},
    {&P::saturdayOff, 1, 23, "01", "satoff=1"},
    {&P::sundayOff, 1, 24, "01", "sunoff=1"},
    {&P::onHour, 23, 25, "17", "on=23:00:00"},
    {&P::onMinute, 59, 26, "3B", "on=8:59:00"},
    {&P::onSecond, 58, 27, "3A", "on=8:00:58"},
    {&P::offHour, 7, 28, "07", "off=7:00:00"},
    {&P::offMinute, 45, 29, "2D", "off=18:45:00"},
    {&P::offSecond, 30, 30, "1E", "off=18:00:30"},
    {&P::english, 1, 31, "01", "english=1"},
};

// Every field of got is as in want, compared field by field.
void expectFields(const P& got, const P& want) {
    for (const Poison& field : kPoisons) {
        EXPECT_EQ(got.*field.member, want.*field.member) << "the field of " << field.named;
    }
}

TEST(Protocol, EachParameterFieldAloneGoesToItsPlaceAndBack) {
    ASSERT_EQ(std::size(kPoisons), parameterFields().size());
    const P defaults;
    const QByteArray plain = encodeParameterBlock(defaults);
    for (const Poison& field : kPoisons) {
        SCOPED_TRACE(field.named);
        ASSERT_NE(defaults.*field.member, field.marker);
        P marked;
        marked.*field.member = field.marker;
        QByteArray expected = plain;
        expected.replace(field.offset, qstrlen(field.bytes) / 2, hexBytes(field.bytes));
        const QByteArray block = encodeParameterBlock(marked);
        EXPECT_EQ(block.toHex(), expected.toHex());
        // Decoding changes this field and no other.
        expectFields(decodeParameterBlock(block), marked);
        // save-para's names: shown as named, and taken back alone.
        EXPECT_TRUE(describeParameters(marked).split(' ').contains(field.named))
            << describeParameters(marked).toStdString();
        P assigned;
        EXPECT_EQ(assignParameters({field.named, QStringLiteral("light=%1").arg(marked.light)},
                                   &assigned),
                  "");
        expectFields(assigned, marked);
    }
    P all;
    for (const Poison& field : kPoisons) {
        all.*field.member = field.marker;
    }
    const QString text = describeParameters(all);
    EXPECT_EQ(text,
              "num=200 type=26 width=1000 high=255 clock=7372800 bps=115200 scan=3 freq=250 "
              "light=1000 swap8=1 datacom=0 oecom=0 autoswitch=1 translate=1 satoff=1 sunoff=1 "
              "on=23:59:58 off=7:45:30 english=1");
    P back;
    EXPECT_EQ(assignParameters(text.split(' '), &back), "");
    expectFields(back, all);
    EXPECT_EQ(describeParameters(back), text);
    expectFields(decodeParameterBlock(encodeParameterBlock(all)), all);
}

TEST(Protocol, ParameterAssignments) {
    P p;
    EXPECT_EQ(assignParameters({"scan=4", "on=7:30"}, &p), "");
    EXPECT_EQ(p.light, 5710);  // not given: the light maximum of the result
    EXPECT_EQ(p.onMinute, 30);
    const std::pair<const char*, const char*> refused[] = {
        {"freq=20", "freq must be a number from 60 to 500"},
        {"num=x", "num must be a number"},
        {"colour=1", "unknown parameter colour"},
        {"on=25:00", "on needs a time"},
        {"clock=1234", "clock must be one of"},
        {"num", "expected NAME=VALUE"},
    };
    for (const auto& [assignment, says] : refused) {
        P q;
        const QString error = assignParameters({assignment}, &q);
        EXPECT_TRUE(error.startsWith(says)) << error.toStdString();
    }
}

TEST(Protocol, ReadParaReplies) {
    Settings before;  // what the window shows: 1 200 16 7 16 1 1 0 0 2
    before.WIDTH = 200;
    before.COMM = 7;
    before.RG_SWAP = true;
    before.BPS = 2;
    const QByteArray normal = hexBytes("AA550005") + hexBytes(kDefaultBlock);
    const auto changed = [&](int offset, const char* bytes) {
        return QByteArray(normal).replace(4 + offset, qstrlen(bytes) / 2, hexBytes(bytes));
    };
    const auto defaultsFor = [](int type) {
        return hexBytes("AA550005 FF") + char(type) + QByteArray(30, '\0');
    };
    // NUM, TYPE, WIDTH, HEIGHT, BPS and SCAN change; COMM and the flags never.
    const std::tuple<const char*, QByteArray, bool, const char*, int> cases[] = {
        {"the defaults block", normal, true, "1 64 16 7 16 1 1 0 0 0", 1390},
        {"light field FFFF", changed(17, "FFFF"), true, "1 64 16 7 16 1 1 0 0 0", 0},
        {"defaults reply T14", defaultsFor(14), true, "1 64 16 7 4 1 1 0 14 0", 5710},
        {"defaults reply T25", defaultsFor(25), true, "1 64 16 7 1 1 1 0 25 0", 22990},
        {"defaults reply type 27", defaultsFor(27), false, "1 200 16 7 16 1 1 0 0 2", 1390},
        {"width out of range clamps", changed(3, "0010"), true, "1 2048 16 7 16 1 1 0 0 0", 1390},
    };
    for (const auto& [name, reply, apply, settings, light] : cases) {
        const ParameterReply result = interpretParameterReply(reply, before);
        EXPECT_EQ(result.apply, apply) << name;
        EXPECT_EQ(settingsText(result.settings), settings) << name;
        EXPECT_EQ(result.parameters.light, light) << name;
    }
    expectFields(interpretParameterReply(normal, before).parameters, P{});
    // 8 bit swap needs exactly 0x01; data com is on for any non-zero byte.
    const P odd =
        interpretParameterReply(changed(16, "02").replace(4 + 19, 1, "\x01"), before).parameters;
    EXPECT_EQ(odd.bitSwap8, 0);
    EXPECT_EQ(odd.dataCom, 1);
}

TEST(Protocol, SetupImageDownloadFrameAndSavedSettings) {
    QTemporaryDir dir;
    ASSERT_TRUE(writeBytes(dir.filePath("setup3"), ""));
    ASSERT_TRUE(writeBytes(dir.filePath("setup4"), hexBytes("001122334455")));
    ASSERT_TRUE(writeBytes(dir.filePath("setup5"), hexBytes("0011223344")));
    ASSERT_TRUE(writeBytes(dir.filePath("setup6"), QByteArray(2 * kSetupImageBytes + 2, '\x01')));
    const SetupImage empty = loadSetupImage(dir.path(), 3);
    ASSERT_TRUE(empty.error.isEmpty());
    EXPECT_EQ(empty.image, QByteArray(kSetupImageBytes, '\xFF'));
    const QByteArray frame = downloadFrame(empty.image);
    ASSERT_EQ(frame.size(), 16405);
    EXPECT_EQ(frame.left(11).toHex(), hexBytes("0055AA55AA00 00 0080 0440").toHex());
    EXPECT_EQ(frame.mid(16395).toHex(), (QByteArray("dow") + hexBytes("B5 0055AA55AA03")).toHex());
    EXPECT_EQ(loadSetupImage(dir.path(), 4).image,
              hexBytes("113355") + QByteArray(kSetupImageBytes - 3, '\xFF'));
    EXPECT_EQ(loadSetupImage(dir.path(), 2).error, "can not find this type!");
    EXPECT_TRUE(loadSetupImage(dir.path(), 5).error.contains("half a byte pair"));
    EXPECT_TRUE(loadSetupImage(dir.path(), 6).error.contains("at most"));

    // The window takes what was saved, brought into its ranges; TYPE stays.
    Settings current;
    current.TYPE = 5;
    P saved;
    saved.num = 9;
    saved.width = 96;
    saved.height = 2;
    saved.scanMode = 8;
    saved.dataCom = 0;
    saved.bps = 57600;
    EXPECT_EQ(settingsText(settingsAfterSave(current, saved)), "9 96 8 1 8 0 0 0 5 3");
}

TEST(Protocol, GlyphTable) {
    ASSERT_EQ(glyphCharacters().size(), 35);
    EXPECT_EQ(glyphCharacters()[14], "D");  // the fifteenth cell is a second "D"
    EXPECT_EQ(glyphCharacters()[25], "日");
    EXPECT_EQ(glyphCharacters()[28], "日");
    const QByteArray table = glyphTable();
    ASSERT_EQ(table.size(), kGlyphBytes);
    // The space is blank; every other character lights something.
    int offset = 0;
    for (int i = 0; i < 35; ++i) {
        const QByteArray cell = table.mid(offset, glyphCellWidth(i) / 8 * kGlyphCellHeight);
        offset += cell.size();
        EXPECT_EQ(cell.count('\0') == cell.size(), i == 16) << "cell " << i;
    }
    expectMatchesGolden(glyphTablePicture(table), "glyphs.png");
}

}  // namespace
