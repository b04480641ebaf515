#include "controller/ControllerCommands.h"
#include "tests/TestSupport.h"
#include "transfer/ParameterBlock.h"
#include "transfer/SetupImage.h"
#include "transfer/Transmission.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

namespace {

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

const char kDefaultBlock[] = "010000400010004019018025000010640091FAFF0100000000080000120000 00";

TEST(ClockFrame, WorkedExamples) {
    struct Case {
        int num;
        QDateTime when;
        const char* bytes;
    };
    const Case cases[] = {
        {1, QDateTime(QDate(2026, 12, 5), QTime(13, 47, 42)), "0155AA55AA02 26 06 12 05 13 47 42"},
        {0, QDateTime(QDate(2000, 1, 2), QTime(0, 0, 0)), "0055AA55AA02 00 07 01 02 00 00 00"},
        {255, QDateTime(QDate(2009, 12, 31), QTime(23, 59, 59)),
         "FF55AA55AA02 09 04 12 31 23 59 59"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(clockFrame(c.num, c.when).toHex(), hex(c.bytes).toHex());
    }
}

TEST(PlayModeFrames, TableAloneThenEndFrame) {
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
              hex("0155AA55AA00 07 3419 0B00 0300 010203 280005 000005 0155AA55AA01").toHex());
    settings.TYPE = 13;
    EXPECT_EQ(modeFrames(settings, pages, &refusal).mid(7, 2).toHex(), "b418");
    settings.TYPE = 16;
    EXPECT_EQ(modeFrames(settings, pages, &refusal).mid(7, 2).toHex(), "b430");
    settings.TYPE = 14;
    EXPECT_EQ(modeFrames(settings, pages, &refusal).toHex(), hex("0155AA55AA01").toHex());
    settings.TYPE = 0;
    settings.WIDTH = 2048;
    settings.HEIGHT = 1600;
    EXPECT_TRUE(modeFrames(settings, pages, &refusal).isEmpty());
    EXPECT_FALSE(refusal.isEmpty());
}

TEST(ParameterBlock, DefaultsAndFieldEncodings) {
    const ControllerParameters defaults;
    EXPECT_EQ(defaults.light, lightMaximum(18432000, 16, 100));
    EXPECT_EQ(encodeParameterBlock(defaults).toHex(), hex(kDefaultBlock).toHex());
    const QByteArray frame = parameterFrame(defaults);
    ASSERT_EQ(frame.size(), 53);
    EXPECT_EQ(frame.left(11).toHex(), hex("0055AA55AA00 00 0080 2400").toHex());
    EXPECT_EQ(frame.mid(11, 32), encodeParameterBlock(defaults));
    EXPECT_EQ(frame.mid(43), QByteArray("para") + hex("0055AA55AA04"));

    struct Case {
        const char* name;
        std::function<void(ControllerParameters&)> change;
        int offset;
        const char* bytes;
    };
    const Case cases[] = {
        {"scan frequency 300 is sent as 44", [](auto& p) { p.scanFrequency = 300; }, 15, "2C"},
        {"light 0", [](auto& p) { p.light = 0; }, 17, "FFFF"},
        {"light 65535", [](auto& p) { p.light = 65535; }, 17, "0000"},
        {"data com off", [](auto& p) { p.dataCom = 0; }, 19, "00"},
        {"8 bit swap on", [](auto& p) { p.bitSwap8 = 1; }, 16, "01"},
        {"type 26", [](auto& p) { p.type = 26; }, 1, "1A00"},
        {"bps 115200", [](auto& p) { p.bps = 115200; }, 10, "00C20100"},
    };
    for (const Case& c : cases) {
        ControllerParameters p;
        c.change(p);
        const QByteArray want = hex(c.bytes);
        EXPECT_EQ(encodeParameterBlock(p).mid(c.offset, want.size()).toHex(), want.toHex())
            << c.name;
    }
}

TEST(ParameterBlock, LightMaximum) {
    EXPECT_EQ(lightMaximum(18432000, 16, 100), 1390);
    EXPECT_EQ(lightMaximum(7372800, 16, 100), 526);
    EXPECT_EQ(lightMaximum(18432000, 4, 100), 5710);
    EXPECT_EQ(lightMaximum(18432000, 1, 100), 22990);
    EXPECT_EQ(lightMaximum(18432000, 0, 100), 0);  // no division by zero
    EXPECT_EQ(lightMaximum(18432000, 16, -5), 0);
}

TEST(ReadParameters, RepliesAsShown) {
    Settings before;
    before.COMM = 7;
    before.RG_SWAP = true;
    before.WIDTH = 200;
    struct Case {
        const char* name;
        QByteArray reply;
        bool apply;
        int num, type, width, height, bps, scan, light;
    };
    QByteArray normal = hex("AA550005") + hex(kDefaultBlock);
    QByteArray lights = normal;
    lights[4 + 17] = '\xFF';
    lights[4 + 18] = '\xFF';
    auto defaultsFor = [](int type) {
        QByteArray reply = hex("AA550005") + QByteArray(32, '\0');
        reply[4] = '\xFF';
        reply[5] = static_cast<char>(type);
        return reply;
    };
    QByteArray wide = normal;
    wide[4 + 3] = '\x00';
    wide[4 + 4] = '\x10';  // 4096 pixels
    const Case cases[] = {
        {"the defaults block", normal, true, 1, 0, 64, 16, 0, 16, 1390},
        {"light field FFFF", lights, true, 1, 0, 64, 16, 0, 16, 0},
        {"defaults reply T14", defaultsFor(14), true, 1, 14, 64, 16, 0, 4, 5710},
        {"defaults reply T25", defaultsFor(25), true, 1, 25, 64, 16, 0, 1, 22990},
        {"defaults reply T13", defaultsFor(13), true, 1, 13, 64, 16, 0, 16, 1390},
        {"defaults reply type 27", defaultsFor(27), false, 1, 0, 200, 16, 0, 16, 0},
        {"width out of range clamps", wide, true, 1, 0, 2048, 16, 0, 16, 1390},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ParameterReply result = interpretParameterReply(c.reply, before);
        EXPECT_EQ(result.apply, c.apply);
        EXPECT_EQ(result.settings.NUM, c.num);
        EXPECT_EQ(result.settings.TYPE, c.type);
        EXPECT_EQ(result.settings.WIDTH, c.width);
        EXPECT_EQ(result.settings.HEIGHT, c.height);
        EXPECT_EQ(result.settings.BPS, c.bps);
        EXPECT_EQ(result.settings.SCAN, c.scan);
        // COMM and the flags are never touched.
        EXPECT_EQ(result.settings.COMM, 7);
        EXPECT_TRUE(result.settings.RG_SWAP);
        if (c.apply) {
            EXPECT_EQ(result.parameters.light, c.light);
        }
    }
    const ControllerParameters shown = interpretParameterReply(normal, before).parameters;
    EXPECT_EQ(shown, ControllerParameters{});
    QByteArray switches = normal;
    switches[4 + 16] = '\x02';  // 8 bit swap needs exactly 0x01
    switches[4 + 19] = '\x01';  // data com: any non-zero
    const ControllerParameters odd = interpretParameterReply(switches, before).parameters;
    EXPECT_FALSE(odd.bitSwap8);
    EXPECT_TRUE(odd.dataCom);
    EXPECT_EQ(readRequest().toHex(), hex("0055AA55AA05").toHex());
}

TEST(SetupDownload, ImagesFramesAndDefaults) {
    QTemporaryDir dir;
    auto path = [&](const char* name) { return QDir(dir.path()).filePath(name); };
    ASSERT_TRUE(writeBytes(path("setup3"), ""));
    ASSERT_TRUE(writeBytes(path("setup4"), hex("001122334455")));
    ASSERT_TRUE(writeBytes(path("setup5"), hex("0011223344")));
    ASSERT_TRUE(writeBytes(path("setup6"), QByteArray(2 * kSetupImageBytes + 2, '\x01')));

    const SetupImage empty = loadSetupImage(dir.path(), 3);
    ASSERT_TRUE(empty.error.isEmpty());
    EXPECT_EQ(empty.image, QByteArray(kSetupImageBytes, '\xFF'));
    const QByteArray frame = downloadFrame(empty.image);
    ASSERT_EQ(frame.size(), 16405);
    EXPECT_EQ(frame.left(11).toHex(), hex("0055AA55AA00 00 0080 0440").toHex());
    EXPECT_EQ(frame.mid(16395).toHex(), (QByteArray("dow") + hex("B5 0055AA55AA03")).toHex());

    const SetupImage pairs = loadSetupImage(dir.path(), 4);
    EXPECT_EQ(pairs.image.left(4).toHex(), "113355ff");
    EXPECT_EQ(pairs.image.count('\xFF'), kSetupImageBytes - 3);

    EXPECT_EQ(loadSetupImage(dir.path(), 2).error, "can not find this type!");
    EXPECT_TRUE(loadSetupImage(dir.path(), 5).error.contains("half a byte pair"));
    EXPECT_TRUE(loadSetupImage(dir.path(), 6).error.contains("at most"));

    EXPECT_EQ(defaultParameters(13).scanMode, 16);
    EXPECT_EQ(defaultParameters(13).light, 1390);
    EXPECT_EQ(defaultParameters(7).scanMode, 4);
    EXPECT_EQ(defaultParameters(7).light, 5710);
    EXPECT_EQ(defaultParameters(19).scanMode, 1);

    Settings current;
    current.TYPE = 5;
    ControllerParameters saved;
    saved.num = 9;
    saved.width = 96;
    saved.height = 2;  // below the main window's range: clamped
    saved.scanMode = 8;
    saved.dataCom = 0;
    saved.bps = 57600;
    const Settings after = settingsAfterSave(current, saved);
    EXPECT_EQ(after.NUM, 9);
    EXPECT_EQ(after.WIDTH, 96);
    EXPECT_EQ(after.HEIGHT, 8);
    EXPECT_EQ(after.SCAN, 8);
    EXPECT_FALSE(after.COLOR_SWAP);
    EXPECT_EQ(after.BPS, 3);
    EXPECT_EQ(after.TYPE, 5);
}

}  // namespace
