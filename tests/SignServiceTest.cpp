// The sign service against real emulated controllers on pseudo-terminals:
// schedules on a clock that runs fast, live pages, retries, the window's
// hold of a port, and the serve command's signals and status.

#include "platform/LocalChannel.h"
#include "service/ServiceChannel.h"
#include "service/SignService.h"
#include "tests/SignSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include <csignal>

namespace {

// A one-page list name.lis in folder whose page is a line of colour on row 4.
void writeLineList(const QString& folder, const QString& name, const QColor& colour,
                   QSize size = {64, 16}) {
    QImage picture = filled(size, Qt::black);
    QPainter(&picture).fillRect(0, 4, 32, 1, colour);
    picture.save(folder + "/" + name + ".bmp");
    writeBytes(folder + "/" + name + ".lis", (name + ".bmp\r\n1\r\n0\r\n0\r\n5\r\n2\r\n").toUtf8());
}

QColor lineColour(const QString& out) {
    return QImage(out + "/page1.png").pixelColor(10, 4);
}

// The service's log lines that tell of a command to sign.
QStringList linesOf(const QStringList& log, const QString& sign) {
    QStringList out;
    for (const QString& line : log) {
        if (line.contains("[" + sign + "] send")) {
            out << line;
        }
    }
    return out;
}

// The wall-clock time at the head of a log line.
QTime lineTime(const QString& line) {
    return QTime::fromString(line.mid(11, 8), "HH:mm:ss");
}

SignHealth healthOf(const SignService& service, const QString& name) {
    for (const SignHealth& health : service.health()) {
        if (health.name == name) {
            return health;
        }
    }
    return {};
}

}  // namespace

// Three signs, two of them on one bus, on a clock ten times as fast as real
// time: each gets its own list at the start, the rule's list when the rule
// begins and its own again when it ends; a sign without a schedule only once.
TEST(SignService, SchedulesSendTheRightListAtTheRightTimeAndOnlyThen) {
    QTemporaryDir dir;
    const QString folder = dir.path();
    writeLineList(folder, "own", Qt::red);
    writeLineList(folder, "rule", Qt::green);
    Background programs;
    ASSERT_TRUE(
        programs.emulate(folder, 1, {"--num", "1", "--also-num", "2", "--out", folder + "/bus"}));
    ASSERT_TRUE(programs.emulate(folder, 2, {"--out", folder + "/depot"}));
    SignBook book;
    book.signs = {bookSign("Bus 1", 1), bookSign("Bus 2", 2), bookSign("Depot", 1)};
    book.signs[2].settings.COMM = 2;
    for (Sign& sign : book.signs) {
        sign.list = "own.lis";
        sign.setClock = kClockNever;
    }
    book.signs[0].schedule = {{ScheduleRule::kEveryDay, 8 * 60, 8 * 60 + 1, "rule.lis"}};
    book.signs[2].schedule = {{ScheduleRule::kEveryDay, 8 * 60 + 1, 8 * 60 + 2, "rule.lis"}};
    QString reason;
    ASSERT_TRUE(writeSignBook(folder, book, &reason)) << reason.toStdString();

    ServiceOptions options;
    options.folders = Folders(folder);
    options.clockStart = QDateTime(QDate(2026, 12, 7), QTime(7, 59, 50));
    options.clockSpeed = 10;
    SignService service(options);
    QStringList log;
    QObject::connect(&service, &SignService::logLine, [&log](const QString& line) { log << line; });
    ASSERT_TRUE(service.start(&reason)) << reason.toStdString();
    // Until 08:02:40 on the service's clock.
    QTest::qWait(17000);
    const QString all = log.join('\n');

    const struct {
        const char* sign;
        QStringList lists;   // sent, in order
        QList<QTime> after;  // each not before this
    } expected[] = {
        {"Bus 1", {"own.lis", "rule.lis", "own.lis"}, {QTime(7, 59, 50), QTime(8, 0), QTime(8, 1)}},
        {"Bus 2", {"own.lis"}, {QTime(7, 59, 50)}},
        {"Depot", {"own.lis", "rule.lis", "own.lis"}, {QTime(7, 59, 50), QTime(8, 1), QTime(8, 2)}},
    };
    for (const auto& sign : expected) {
        SCOPED_TRACE(sign.sign);
        const QStringList lines = linesOf(log, sign.sign);
        ASSERT_EQ(lines.size(), sign.lists.size()) << all.toStdString();
        for (int i = 0; i < lines.size(); ++i) {
            EXPECT_TRUE(lines[i].contains("send " + sign.lists[i])) << lines[i].toStdString();
            EXPECT_TRUE(lines[i].contains("rec success!")) << lines[i].toStdString();
            // Done within 40 s of the service's clock (4 s of real time) of its moment.
            EXPECT_GE(lineTime(lines[i]), sign.after[i]) << lines[i].toStdString();
            EXPECT_LE(lineTime(lines[i]), sign.after[i].addSecs(40)) << lines[i].toStdString();
        }
    }
    for (const char* out : {"bus/controller1", "bus/controller2", "depot"}) {
        EXPECT_EQ(lineColour(folder + "/" + out), QColor(255, 0, 0)) << out;
    }
    EXPECT_EQ(healthOf(service, "Depot").state, SignHealth::State::Ok);
    EXPECT_EQ(healthOf(service, "Depot").list, "own.lis");
}

// A live page whose file changes is sent again, and only that page; a sign
// whose controller is not there yet is retried and served once it comes,
// the other sign unaffected; while the window holds a port the service
// leaves it alone and a command for it is refused as busy.
TEST(SignService, LivePagesRetriesAndTheWindowsHold) {
    QTemporaryDir dir;
    const QString folder = dir.path();
    writeLineList(folder, "still", Qt::red);
    writeBytes(folder + "/count.live", R"({"text": "{file:count.txt}", "size": 12})");
    writeBytes(folder + "/count.txt", "17\n");
    writeBytes(folder + "/live.lis",
               "still.bmp\r\n1\r\n0\r\n0\r\n5\r\n2\r\ncount.live\r\n1\r\n0\r\n0\r\n5\r\n2\r\n");
    Background programs;
    ASSERT_TRUE(programs.emulate(folder, 1, {"--out", folder + "/live"}));
    SignBook book;
    book.signs = {bookSign("Live", 1), bookSign("Late", 1)};
    book.signs[1].settings.COMM = 3;
    book.signs[0].list = "live.lis";
    book.signs[0].sendChangesOnly = true;
    book.signs[1].list = "still.lis";
    QString reason;
    ASSERT_TRUE(writeSignBook(folder, book, &reason)) << reason.toStdString();
    writeBytes(folder + "/com3", "");  // a port that is no terminal: it fails until replaced

    ServiceOptions options;
    options.folders = Folders(folder);
    options.firstRetryMs = 300;
    options.lastRetryMs = 1200;
    SignService service(options);
    QStringList log;
    QObject::connect(&service, &SignService::logLine, [&log](const QString& line) { log << line; });
    ASSERT_TRUE(service.start(&reason)) << reason.toStdString();

    // Live: its list and then its clock (a whole transfer); Late: retried.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return healthOf(service, "Live").state == SignHealth::State::Ok &&
                   healthOf(service, "Late").failures >= 3 && !healthOf(service, "Live").busy;
        },
        15000))
        << log.join('\n').toStdString();
    EXPECT_EQ(healthOf(service, "Late").state, SignHealth::State::Retrying);
    EXPECT_FALSE(healthOf(service, "Late").reason.isEmpty());
    const QImage before(folder + "/live/page2.png");
    ASSERT_FALSE(before.isNull());

    writeBytes(folder + "/count.txt", "18\n");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return log.join('\n').contains("[Live] send live.lis (live pages changed)"); },
        10000))
        << log.join('\n').toStdString();
    EXPECT_TRUE(log.join('\n').contains("[Live] changed pages only: 1 of 2 pages"))
        << log.join('\n').toStdString();
    QTest::qWait(300);
    EXPECT_NE(QImage(folder + "/live/page2.png"), before);
    EXPECT_EQ(lineColour(folder + "/live"), QColor(255, 0, 0));

    // The controller comes: Late is served at its next try.
    QFile::remove(folder + "/com3");
    ASSERT_TRUE(programs.emulate(folder, 3, {"--out", folder + "/late"}));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return healthOf(service, "Late").state == SignHealth::State::Ok; }, 10000))
        << log.join('\n').toStdString();
    EXPECT_EQ(lineColour(folder + "/late"), QColor(255, 0, 0));

    // The window holds Live's port: a message waits for it, refused as busy.
    LocalChannelServer server;
    const QString socket = folder + "/service.sock";
    ASSERT_TRUE(server.listen(socket, &reason)) << reason.toStdString();
    ServiceChannel channel(service, server);
    LocalChannelClient window;
    ASSERT_TRUE(window.connect(socket, &reason));
    ASSERT_TRUE(window.send({{"request", "hold"}, {"sign", "Live"}}, &reason));
    QJsonObject answer;
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.receive(&answer, 10, &reason); }, 5000));
    EXPECT_EQ(answer["held"].toString(), "Live");
    ServiceResult result;
    bool done = false;
    ServiceCommand text{ServiceCommandKind::Text,
                        "Live",
                        {},
                        false,
                        R"({"text": "OPEN", "colour": "green"})",
                        0,
                        "test"};
    service.submit(text, [&](const ServiceResult& r) {
        result = r;
        done = true;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 2000));
    EXPECT_EQ(result.failure, ServiceResult::Failure::Busy);
    ASSERT_TRUE(window.send({{"request", "release"}, {"sign", "Live"}}, &reason));
    done = false;
    QTest::qWait(200);
    service.submit(text, [&](const ServiceResult& r) {
        result = r;
        done = true;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 10000));
    EXPECT_TRUE(result.ok) << result.reason.toStdString();
    EXPECT_EQ(result.status.last(), "rec success!");
    QTest::qWait(300);
    const QImage shown(folder + "/live/page1.png");
    EXPECT_EQ(shown.size(), QSize(64, 16));
    // The composer's green is half bright; the sign's green LEDs are on where it is.
    const QImage composed(folder + "/.messages/Live-1.bmp");
    int lit = 0;
    int differing = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 64; ++x) {
            const bool on = composed.pixelColor(x, y).green() >= 128;
            lit += on;
            differing += shown.pixelColor(x, y) != (on ? QColor(0, 255, 0) : QColor(0, 0, 0));
        }
    }
    EXPECT_GT(lit, 20);
    EXPECT_EQ(differing, 0);
    EXPECT_EQ(shown.pixelColor(0, 0), QColor(0, 0, 0));
}

// The serve command: status --json from the running service, SIGHUP picks
// up an edited schedule, SIGTERM during a transfer ends it at a frame
// boundary and releases the port at once.
TEST(SignService, ServeAnswersStatusReloadsOnHangUpAndStopsCleanly) {
    QTemporaryDir dir;
    const QString folder = dir.path();
    writeLineList(folder, "small", Qt::red, {64, 32});
    // Thirty pages at 9600 bit/s: about 40 s on the line.
    QByteArray big;
    for (int i = 0; i < 30; ++i) {
        big += "small.bmp\r\n1\r\n0\r\n0\r\n5\r\n2\r\n";
    }
    writeBytes(folder + "/big.lis", big);
    Background programs;
    ASSERT_TRUE(programs.emulate(folder, 1, {"--height", "32", "--out", folder + "/shop"}));
    SignBook book;
    book.signs = {bookSign("Shop", 1)};
    book.signs[0].settings.HEIGHT = 32;
    book.signs[0].list = "small.lis";
    book.signs[0].setClock = kClockNever;
    QString reason;
    ASSERT_TRUE(writeSignBook(folder, book, &reason)) << reason.toStdString();

    QProcess* serve = programs.start(MARQUEE_CLI_PATH, {"--folder", folder, "serve"});
    auto status = [&] {
        const CliRun run = runCli({"--folder", folder, "status", "--json"});
        return QJsonDocument::fromJson(run.out.toUtf8())
            .object()["signs"]
            .toArray()
            .first()
            .toObject();
    };
    ASSERT_TRUE(Background::waitUntil([&] { return status()["state"] == "ok"; }, 15000));
    EXPECT_EQ(status()["list"].toString(), "small.lis");
    EXPECT_EQ(status()["port"].toString(), folder + "/com1");

    book.signs[0].schedule = {{ScheduleRule::kEveryDay, 0, 24 * 60, "big.lis"}};
    ASSERT_TRUE(writeSignBook(folder, book, &reason));
    ::kill(pid_t(serve->processId()), SIGHUP);
    ASSERT_TRUE(Background::waitUntil([&] { return status()["busy"].toBool(); }, 10000));
    QTest::qWait(1500);  // well into the transfer
    ::kill(pid_t(serve->processId()), SIGTERM);
    ASSERT_TRUE(serve->waitForFinished(5000));
    EXPECT_EQ(serve->exitCode(), 0);
    const QString log = QString::fromUtf8(serve->readAll());
    EXPECT_TRUE(log.contains("sign book read again")) << log.toStdString();
    EXPECT_TRUE(log.contains("[Shop] send big.lis (schedule rule 1): cancelled"))
        << log.toStdString();
    EXPECT_TRUE(log.contains("stopped: every port released")) << log.toStdString();
    // Nobody holds the port: a command goes at once, and no service answers.
    const CliRun time = runCli({"--folder", folder, "time"});
    EXPECT_EQ(time.exitCode, 0) << time.err.toStdString();
    EXPECT_EQ(runCli({"--folder", folder, "status"}).exitCode, 3);
}
