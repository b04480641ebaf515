// Every controller command end to end: the real marquee-cli and the real
// window against the controller emulator on a pseudo-terminal.

#include "tests/EmulatorSupport.h"
#include "tests/ProgramSupport.h"
#include "tests/SignSupport.h"

#include <QPainter>

#include <sys/stat.h>

namespace {

// A 64 x 16 sign number 3 (COLOR-SWAP on, 115200 bit/s) of the given type on
// port comm; a picture with a red line on its left half; two lists; setup
// images for T7 and T13.
void prepare(const EmulatedSign& sign, int comm = 1, int type = 0) {
    writeBytes(sign.path("ck.ini"),
               QStringLiteral("3\r\n64\r\n16\r\n%1\r\n16\r\n0\r\n1\r\n0\r\n%2\r\n4\r\n")
                   .arg(comm)
                   .arg(type)
                   .toLatin1());
    QImage picture = filled({64, 16}, Qt::black);
    QPainter(&picture).fillRect(0, 4, 32, 1, Qt::red);
    picture.save(sign.path("line.bmp"));
    writeBytes(sign.path("show.lis"),
               "line.bmp\r\n1\r\n0\r\n0\r\n5\r\n2\r\n\r\n40\r\n0\r\n0\r\n9\r\n3\r\n");
    writeBytes(sign.path("gone.lis"), "gone.jpg\r\n0\r\n0\r\n0\r\n5\r\n0\r\n");
    writeBytes(sign.path("setup7"), hexBytes("00AA00BB"));
    writeBytes(sign.path("setup13"), hexBytes("001122334455"));
}

// Standard output of a command, | between the lines.
QString out(const CliRun& run) {
    return run.outLines().join('|');
}
const QString S = "SENDING......|SEND OVER|", M = "MAX 1757 PAGES|";
const QString kDefaultsT25 =
    "read para success!|num=1 type=25 width=64 high=16 clock=18432000 bps=9600 scan=1 freq=100 "
    "light=22990 swap8=0 "
    "datacom=1 oecom=1 autoswitch=0 translate=0 satoff=0 sunoff=0 on=8:00:00 off=18:00:00 "
    "english=0";

TEST(CommandsEndToEnd, OutcomesOfTheCommandLine) {
    struct Case {
        QStringList emulator;
        QStringList command;
        int exitCode;
        QString out;  // the lines of standard output, | between
        const char* err = "";
        int comm = 1;  // 250 is /dev/ttyS249: no port, and no emulator
        int type = 0;
        qint64 minMs = 0;  // the command takes at least this long
    };
    const QString rec = M + S + "rec success!", recError = M + S + "error rec or can not sendback!";
    const QStringList send = {"send", "show.lis"}, mode = {"mode", "show.lis"};
    const QStringList wrong = {"--wrong-reply"};
    const Case cases[] = {
        {{"--extra", "3"}, send, 0, rec},  // extra bytes after the acknowledgement
        {wrong, send, 1, recError},
        {{"--delay", "1800"}, send, 0, rec, "", 1, 0, 1750},       // late but in time
        {{"--delay", "2300"}, send, 1, recError, "", 1, 0, 1950},  // after the 2000 ms
        {{}, send, 3, "", "comm error \n", 250},
        {{}, send, 2, "", "cannot be sent", 1, 14},
        {{}, {"send", "gone.lis"}, 2, "", "page 1: cannot load gone.jpg"},
        {wrong, {"time"}, 1, S + "set time error or can not sendback!"},
        {{}, {"time"}, 3, "", "comm error!\n", 250},
        {wrong, mode, 1, M + S + "error mode or can not sendback!"},
        {{}, mode, 3, "", "comm error\n", 250},
        {{"--wrong-reply", "--width", "200"}, {"read-para"}, 1, S.chopped(1)},
        {{"--type", "25", "--report-defaults"}, {"read-para"}, 0, S + kDefaultsT25},
        {{}, {"save-para", "width=96"}, 3, "", "comm error\n", 250},
        {{}, {"save-para", "freq=20"}, 2, "", "freq must be a number"},
        {{}, {"save-para", "colour=1"}, 2, "", "unknown parameter"},
        {{}, {"download", "5"}, 2, "", "can not find this type!"},
        {{}, {"download", "13"}, 3, "", "串行口设置失败!", 250},
        {wrong, {"download", "13"}, 1, S + "download......"},
        {{}, {"download", "27"}, 2, "", "TYPE must be"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QStringList(c.command + c.emulator).join(' ').toStdString() + " COMM " +
                     std::to_string(c.comm) + " T" + std::to_string(c.type));
        EmulatedSign sign;
        prepare(sign, c.comm, c.type);
        if (c.comm == 1) {
            ASSERT_TRUE(sign.start(c.emulator));
        }
        const QByteArray before = readBytes(sign.path("ck.ini"));
        const CliRun run = sign.run(c.command);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
        EXPECT_EQ(out(run), c.out);
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.err))) << run.err.toStdString();
        EXPECT_GE(run.ms, c.minMs);
        // Only what the controller took is stored: READ PARA's reply, and
        // what save and download sent, acknowledged or not.
        const bool sends = c.command[0] == "save-para" || c.command[0] == "download";
        const bool stores =
            c.exitCode == 0 ? sends || c.command[0] == "read-para" : sends && c.exitCode == 1;
        if (!stores) {
            EXPECT_EQ(readBytes(sign.path("ck.ini")), before);
        }
    }
}

TEST(CommandsEndToEnd, WhatArrivesIsWhatWasSent) {
    EmulatedSign sign;
    prepare(sign);
    ASSERT_TRUE(sign.start());
    const CliRun send = sign.run({"send", "show.lis"});
    EXPECT_EQ(out(send), M + S + "rec success!") << send.err.toStdString();
    // What the sign shows: page 1 has its red line, page 2 is dark.
    const QImage page1(sign.path("page1.png"));
    ASSERT_EQ(page1.size(), QSize(64, 16));
    EXPECT_EQ(page1.pixelColor(10, 4), QColor(255, 0, 0));
    EXPECT_EQ(page1.pixelColor(40, 4), QColor(0, 0, 0));
    EXPECT_EQ(QImage(sign.path("page2.png")).pixelColor(10, 4), QColor(0, 0, 0));
    const QByteArray table = "page 1: effect 1 speed 2 time 5\npage 2: effect 40 speed 3 time 9\n";
    EXPECT_EQ(readBytes(sign.path("playlist.txt")), table);

    QFile::remove(sign.path("playlist.txt"));
    EXPECT_EQ(out(sign.run({"mode", "show.lis"})), M + S + "mode success!");
    EXPECT_EQ(readBytes(sign.path("playlist.txt")), table);

    sign.log();
    EXPECT_EQ(out(sign.run({"time"})), S + "time success!");
    const QDateTime now = QDateTime::currentDateTime();
    const QString log = sign.log();
    EXPECT_TRUE(log.contains(now.toString("'set clock: 'yy-MM-dd"))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("weekday %1").arg(now.date().dayOfWeek())));

    // save-para stores what it sent; READ PARA brings it back into a ck.ini
    // that has forgotten it, leaving COMM and COLOR-SWAP alone.
    const CliRun save = sign.run({"save-para", "num=9", "width=96", "high=32", "scan=4",
                                  "datacom=0", "bps=57600", "off=22:30:00"});
    EXPECT_EQ(out(save), S + "save para success!") << save.err.toStdString();
    EXPECT_EQ(settingsText(sign.settings()), "9 96 32 1 4 0 0 0 0 3");
    writeBytes(sign.path("ck.ini"), "3\r\n64\r\n16\r\n1\r\n16\r\n0\r\n1\r\n0\r\n0\r\n3\r\n");
    const CliRun read = sign.run({"read-para"});
    EXPECT_EQ(read.exitCode, 0) << read.err.toStdString();
    EXPECT_EQ(read.outLines().value(3),
              "num=9 type=0 width=96 high=32 clock=18432000 bps=57600 scan=4 freq=100 light=5710 "
              "swap8=0 datacom=0 oecom=1 autoswitch=0 translate=0 satoff=0 sunoff=0 on=8:00:00 "
              "off=22:30:00 english=0");
    EXPECT_EQ(settingsText(sign.settings()), "9 96 32 1 4 0 1 0 0 3");

    sign.log();
    const CliRun download = sign.run({"download", "13"});
    EXPECT_EQ(out(download), S + "download......|download success!");
    EXPECT_TRUE(sign.log().contains("setup download: 16384 bytes, check byte good"));
    EXPECT_EQ(settingsText(sign.settings()), "1 64 16 1 16 0 1 0 13 0");  // T13's defaults
}

// The window's SEND, TIME and MODE actions and the dialog's Download (of T7).
void command(Program& program, const QByteArray& action) {
    if (action == "Download") {
        control<QComboBox>(program.form5, "ComboBox1")->setCurrentIndex(7);
        emit program.form5.downloadRequested();
    } else {
        control<QAction>(program.window, action.constData())->trigger();
    }
    program.window.waitForCommand();
}

TEST(CommandsEndToEnd, TheWindowsCommands) {
    const std::tuple<QByteArray, bool, const char*> cases[] = {
        {"m_Send", false, "rec success!"},
        {"m_Send", true, "error rec or can not sendback!"},
        {"m_Help", false, "time success!"},
        {"m_Help", true, "set time error or can not sendback!"},
        {"m_Exit", false, "mode success!"},
        {"m_Exit", true, "error mode or can not sendback!"},
        {"Download", false, "download success!"},
        {"Download", true, "download......"},
    };
    for (const auto& [action, wrongReply, outcome] : cases) {
        SCOPED_TRACE(action.toStdString() + (wrongReply ? ", wrong reply" : ""));
        EmulatedSign sign;
        prepare(sign);
        ASSERT_TRUE(sign.start(wrongReply ? QStringList{"--wrong-reply"} : QStringList{}));
        Program program(sign.dir.path());
        program.window.loadListFrom(sign.path("show.lis"));
        command(program, action);
        const auto panel = [&](int i) {
            return control<QLabel>(program.window, ("StatusPanel" + std::to_string(i)).c_str())
                ->text();
        };
        EXPECT_EQ(panel(2), outcome);
        EXPECT_TRUE(program.messages.isEmpty()) << program.messages.join(' ').toStdString();
        if (action == "m_Send" && !wrongReply) {
            EXPECT_EQ(panel(0), "MAX 1757 PAGES");
            EXPECT_EQ(panel(1), "SEND OVER");
            EXPECT_EQ(program.window.pages().currentTab(), 1);  // the last page sent
        }
        if (action == "Download") {
            // The dialog and the window take the defaults of T7, whatever the reply.
            EXPECT_EQ(program.form5.parameters().scanMode, 4);
            EXPECT_EQ(program.form5.parameters().light, 5710);
            EXPECT_EQ(settingsText(program.window.settings()), "1 64 16 1 4 0 1 0 7 0");
        }
    }
    // Without a port nothing is sent.
    EmulatedSign sign;
    prepare(sign, 250);
    Program program(sign.dir.path());
    for (const char* action : {"m_Send", "m_Help", "m_Exit"}) {
        command(program, action);
    }
    // Each says so in its own words, with the reason under them.
    const QStringList firstLines = {"comm error ", "comm error!", "comm error"};
    ASSERT_EQ(program.messages.size(), firstLines.size());
    for (int i = 0; i < firstLines.size(); ++i) {
        EXPECT_TRUE(program.messages[i].startsWith(firstLines[i] + "\n/dev/ttyS249"))
            << program.messages[i].toStdString();
    }
}

// MODE reads no picture: a list whose pictures are missing, a FIFO and
// not a picture at all still gives the play table, from the command line
// (alone and through the sign book) and from the window, and each run adds
// its line to the transfer log in the folder.
TEST(CommandsEndToEnd, ModeSendsThePlayTableWhateverThePictures) {
    EmulatedSign sign;
    writeBytes(sign.path("ck.ini"), "1\r\n64\r\n16\r\n1\r\n16\r\n0\r\n0\r\n0\r\n0\r\n4\r\n");
    ASSERT_EQ(mkfifo(QFile::encodeName(sign.path("pipe.bmp")).constData(), 0600), 0);
    writeBytes(sign.path("broken.bmp"), "BM this is no picture");
    writeBytes(sign.path("three.lis"),
               "x.bmp\r\n1\r\n0\r\n0\r\n5\r\n2\r\npipe.bmp\r\n3\r\n0\r\n0\r\n6\r\n4\r\n"
               "broken.bmp\r\n7\r\n0\r\n0\r\n9\r\n8\r\n");
    SignBook book;
    book.signs = {bookSign("Front", 1, {}, 4)};  // the emulator's 115200 bit/s
    QString reason;
    ASSERT_TRUE(writeSignBook(sign.dir.path(), book, &reason)) << reason.toStdString();
    const QString record = sign.path("line.bin");
    ASSERT_TRUE(sign.start({"--record", record}));
    const QByteArray expected = hexBytes(
        "01 55AA55AA 00 07 3419 0B00 0300 010205 030406 070809"
        "01 55AA55AA 01");
    ASSERT_EQ(expected.size(), 28);
    const QStringList runs[] = {{"mode", "three.lis"},
                                {"mode", "three.lis", "--sign", "Front"},
                                {"mode", "three.lis", "--all-signs"}};
    for (const QStringList& command : runs) {
        SCOPED_TRACE(command.join(' ').toStdString());
        const CliRun run = sign.run(command);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_TRUE(run.out.contains("mode success!")) << run.out.toStdString();
        EXPECT_FALSE(run.err.contains("picture")) << run.err.toStdString();
        EXPECT_EQ(readBytes(record), expected);
        ASSERT_TRUE(QFile::resize(record, 0));
    }
    EXPECT_EQ(out(sign.run({"mode", "three.lis"})), M + S + "mode success!");
    ASSERT_TRUE(QFile::resize(record, 0));

    Program program(sign.dir.path());
    program.window.loadListFrom(sign.path("three.lis"));
    command(program, "m_Exit");
    EXPECT_EQ(control<QLabel>(program.window, "StatusPanel2")->text(), "mode success!");
    EXPECT_EQ(readBytes(record), expected);

    // A line each: four from the command line, one from the window.
    const QStringList log =
        QString::fromUtf8(readBytes(sign.path("transfer-log.txt"))).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(log.size(), 5) << log.join('\n').toStdString();
    for (const QString& line : log) {
        EXPECT_TRUE(line.contains(QRegularExpression(
            "^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d  MODE  controller 1  \\S+  28 bytes  "
            "\\d+\\.\\d s  mode success!$")))
            << line.toStdString();
    }
}

}  // namespace
