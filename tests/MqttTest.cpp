// The sign service on a real Mosquitto broker on the loopback, with
// emulated controllers on pseudo-terminals and the broker's own clients on
// the other side.

#include "service/CommandMemory.h"
#include "service/MqttFace.h"
#include "service/MqttTopics.h"
#include "tests/SignSupport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

namespace {

const QString kBroker = QStringLiteral("/usr/sbin/mosquitto");

// A broker with its own configuration and persistence folder, on a free
// port; it can be stopped and started again on the same port.
struct Broker {
    // extra: more configuration lines (TLS, passwords); clientArgs: what its
    // clients then need.
    explicit Broker(const QString& folder, const QString& extra = {},
                    const QStringList& clientArgs = {})
        : port(freeTcpPort()), clientArgs(clientArgs) {
        // Started as root, mosquitto works as the user mosquitto: its
        // database folder is open to it.
        const QString data = folder + "/broker";
        QFile::setPermissions(folder, QFile::permissions(folder) | QFileDevice::ExeOther);
        QDir().mkpath(data);
        QFile::setPermissions(data, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                        QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                        QFileDevice::WriteOther | QFileDevice::ExeOther);
        config = folder + "/mosquitto.conf";
        writeBytes(config, QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\n"
                                          "persistence true\npersistence_location %2/\n%3")
                               .arg(port)
                               .arg(data, extra)
                               .toUtf8());
    }
    bool start() {
        process = std::make_unique<QProcess>();
        process->setProcessChannelMode(QProcess::MergedChannels);
        process->start(kBroker, {"-c", config});
        return Background::waitUntil([&] {
            QProcess probe;
            probe.start("mosquitto_pub", args({"-t", "probe", "-n"}));
            return probe.waitForFinished(5000) && probe.exitCode() == 0;
        });
    }
    void stop() {
        process->terminate();
        process->waitForFinished(5000);
    }
    ~Broker() {
        if (process) {
            stop();
        }
    }
    QStringList args(const QStringList& more) const {
        return QStringList{"-h", "127.0.0.1", "-p", QString::number(port)} + clientArgs + more;
    }
    QString url() const { return QStringLiteral("mqtt://127.0.0.1:%1").arg(port); }

    int port;
    QStringList clientArgs;
    QString config;
    std::unique_ptr<QProcess> process;
};

void publish(const Broker& broker, const QString& topic, const QByteArray& payload) {
    QProcess pub;
    pub.start("mosquitto_pub", broker.args({"-q", "1", "-t", topic, "-s"}));
    pub.write(payload);
    pub.closeWriteChannel();
    ASSERT_TRUE(pub.waitForFinished(10000));
    ASSERT_EQ(pub.exitCode(), 0) << pub.readAll().toStdString();
}

// The retained messages under pattern, topic -> JSON.
std::map<QString, QJsonObject> retained(const Broker& broker, const QString& pattern) {
    QProcess sub;
    sub.start("mosquitto_sub", broker.args({"-t", pattern, "-v", "--retained-only", "-W", "1"}));
    sub.waitForFinished(5000);
    std::map<QString, QJsonObject> out;
    for (const QByteArray& line : sub.readAllStandardOutput().split('\n')) {
        const int space = line.indexOf(' ');
        if (space > 0) {
            out[QString::fromUtf8(line.left(space))] =
                QJsonDocument::fromJson(line.mid(space + 1)).object();
        }
    }
    return out;
}

// Everything published on the result topics from its start on.
struct Results {
    Results(Background& background, const Broker& broker) {
        // Line-buffered: each result as soon as it comes.
        process = background.start("stdbuf", QStringList{"-oL", "mosquitto_sub"} +
                                                 broker.args({"-t", "marquee/+/+/result", "-v"}));
        process->waitForStarted();
        QThread::msleep(300);
    }
    // The results for topic with id, waiting until there are count of them.
    QList<QJsonObject> of(const QString& topic, const QString& id, int count = 1) {
        QList<QJsonObject> found;
        Background::waitUntil(
            [&] {
                poll();
                found.clear();
                for (const QByteArray& line : text.split('\n')) {
                    const int space = line.indexOf(' ');
                    const QJsonObject result =
                        QJsonDocument::fromJson(line.mid(space + 1)).object();
                    if (line.left(space) == topic.toUtf8() && result["id"].toString() == id) {
                        found << result;
                    }
                }
                return found.size() >= count;
            },
            20000);
        return found;
    }
    void poll() {
        process->waitForReadyRead(20);
        text += process->readAll();
    }
    QProcess* process;
    QByteArray text;
};

// A service's standard output, kept.
struct Log {
    QProcess* process;
    QByteArray text;
    int count(const char* what) {
        process->waitForReadyRead(50);
        text += process->readAll();
        return int(text.count(what));
    }
};

QDateTime modified(const QString& path) {
    return QFileInfo(path).lastModified();
}

}  // namespace

TEST(Mqtt, SignNamesInTopicsAreEscapedBothWays) {
    const struct {
        const char* sign;
        const char* level;
    } rows[] = {{"Door", "Door"},
                {"Gate 2/North", "Gate%202%2FNorth"},
                {"a+b#c*", "a%2Bb%23c%2A"},
                {"$sys 100%", "%24sys%20100%25"},
                {"北门", "北门"}};
    for (const auto& row : rows) {
        const QString sign = QString::fromUtf8(row.sign);
        EXPECT_EQ(topicLevel(sign), QString::fromUtf8(row.level));
        QString back;
        EXPECT_TRUE(signOfLevel(QString::fromUtf8(row.level), &back));
        EXPECT_EQ(back, sign);
    }
    QString sign;
    for (const char* bad : {"a b", "%2", "%41", "%zz", "", "a+"}) {
        EXPECT_FALSE(signOfLevel(QString::fromUtf8(bad), &sign)) << bad;
    }
}

TEST(Mqtt, TwoSitesOnOneBrokerThroughAnOutageAndAKill) {
    QTemporaryDir dir;
    const QString root = dir.path();
    Broker broker(root);
    ASSERT_TRUE(broker.start());
    Background background;
    // Site one: two controllers on a bus, Door showing a live page that
    // reads next.txt. Site two: a sign also called Door.
    const QString one = root + "/one", two = root + "/two";
    QDir().mkpath(one);
    QDir().mkpath(two);
    writeBytes(one + "/next.txt", "first\n");
    writeBytes(one + "/now.live", R"({"text": "{file:next.txt}", "layout": "one line"})");
    writeBytes(one + "/live.lis", "now.live\r\n1\r\n0\r\n0\r\n5\r\n2\r\n");
    SignBook bookOne;
    bookOne.signs = {bookSign("Door", 1), bookSign("Hall 2", 2)};
    bookOne.signs[0].list = "live.lis";
    SignBook bookTwo;
    bookTwo.signs = {bookSign("Door", 1)};
    QString reason;
    ASSERT_TRUE(writeSignBook(one, bookOne, &reason)) << reason.toStdString();
    ASSERT_TRUE(writeSignBook(two, bookTwo, &reason)) << reason.toStdString();
    ASSERT_TRUE(
        background.emulate(one, 1, {"--num", "1", "--also-num", "2", "--out", one + "/out"}));
    ASSERT_TRUE(background.emulate(two, 1, {"--num", "1", "--out", two + "/out"}));
    Results results(background, broker);
    auto serve = [&](const QString& folder, const char* site) {
        return Log{background.start(MARQUEE_CLI_PATH, {"--folder", folder, "serve", "--mqtt",
                                                       broker.url(), "--site", site}),
                   {}};
    };
    Log logOne = serve(one, "one");
    Log logTwo = serve(two, "two");

    // Every sign's status is retained; Door of site one shows its list.
    ASSERT_TRUE(Background::waitUntil([&] {
        const auto status = retained(broker, "marquee/+/+/status");
        return status.size() == 3 && status.count("marquee/one/Hall%202/status") &&
               status.at("marquee/one/Door/status")["state"] == "ok" &&
               status.at("marquee/one/Door/status")["list"] == "live.lis";
    }));
    EXPECT_EQ(retained(broker, "marquee/+/$service").size(), 2u);
    // Home Assistant sees each sign: its state and a text sent as a message.
    const auto discovery = retained(broker, "homeassistant/+/+/+/config");
    EXPECT_EQ(discovery.size(), 6u);
    int texts = 0;
    for (const auto& [topic, config] : discovery) {
        texts += config["command_topic"] == "marquee/one/Hall%202/cmd";
    }
    EXPECT_EQ(texts, 1);
    const QString doorOne = one + "/out/controller1/page1.png";
    const QString hallOne = one + "/out/controller2/page1.png";
    const QString doorTwo = two + "/out/page1.png";
    const QDateTime before = modified(doorOne);

    // One sign of one site: that emulator only.
    publish(broker, "marquee/one/Door/cmd", R"({"id": "t1", "command": "text", "text": "Hi"})");
    QList<QJsonObject> got = results.of("marquee/one/Door/result", "t1");
    ASSERT_EQ(got.size(), 1);
    EXPECT_TRUE(got[0]["ok"].toBool()) << got[0]["reason"].toString().toStdString();
    EXPECT_EQ(got[0]["status"].toArray().last().toString(), "rec success!");
    EXPECT_NE(modified(doorOne), before);
    EXPECT_FALSE(QFileInfo::exists(hallOne));
    EXPECT_FALSE(QFileInfo::exists(doorTwo));

    // "*": every sign of site one, none of site two.
    publish(broker, "marquee/one/*/cmd",
            R"({"id": 7, "command": "text", "text": "All", "for": 1})");
    ASSERT_TRUE(Background::waitUntil([&] {
        results.poll();
        return results.text.count("\"id\":7") == 2;
    }));
    EXPECT_TRUE(QFileInfo::exists(hallOne));
    EXPECT_FALSE(QFileInfo::exists(doorTwo));
    EXPECT_EQ(logTwo.count("from mqtt"), 0);

    // The broker goes away: the live page, back after the message's
    // second, still follows its file.
    ASSERT_TRUE(Background::waitUntil([&] { return logOne.count("send live.lis") >= 2; }));
    broker.stop();
    const int liveSends = logOne.count("(live pages changed): rec success!");
    writeBytes(one + "/next.txt", "second\n");
    EXPECT_TRUE(Background::waitUntil(
        [&] { return logOne.count("(live pages changed): rec success!") > liveSends; }, 15000));
    EXPECT_GT(logOne.count("away from the broker"), 0);

    // Back: a command published at once is carried out once, its repeat
    // answered from the record.
    ASSERT_TRUE(broker.start());
    Results after(background, broker);
    publish(broker, "marquee/two/Door/cmd", R"({"id": "t3", "command": "text", "text": "Back"})");
    got = after.of("marquee/two/Door/result", "t3");
    logTwo.count("");
    ASSERT_EQ(got.size(), 1) << logTwo.text.toStdString() << after.text.toStdString();
    EXPECT_TRUE(got[0]["ok"].toBool());
    publish(broker, "marquee/two/Door/cmd", R"({"id": "t3", "command": "text", "text": "Back"})");
    got = after.of("marquee/two/Door/result", "t3", 2);
    logTwo.count("");
    ASSERT_EQ(got.size(), 2) << logTwo.text.toStdString() << after.text.toStdString();
    EXPECT_TRUE(got[1]["repeat"].toBool());
    EXPECT_EQ(got[1]["bytes"], got[0]["bytes"]);
    EXPECT_EQ(logTwo.count("send from mqtt"), 1);
    EXPECT_TRUE(QFileInfo::exists(doorTwo));
    EXPECT_TRUE(Background::waitUntil([&] {
        return retained(broker, "marquee/two/Door/status")["marquee/two/Door/status"]["state"] ==
               "ok";
    }));

    // Site one killed: its last wills mark every one of its signs offline.
    logOne.process->kill();
    logOne.process->waitForFinished();
    EXPECT_TRUE(Background::waitUntil([&] {
        const auto status = retained(broker, "marquee/one/+/status");
        return status.size() == 2 && status.at("marquee/one/Door/status")["state"] == "offline" &&
               status.at("marquee/one/Hall%202/status")["state"] == "offline";
    }));
    EXPECT_EQ(retained(broker, "marquee/+/$service").size(), 2u);
    EXPECT_EQ(retained(broker, "marquee/two/Door/status")["marquee/two/Door/status"]["state"],
              "ok");

    // Started again, it still knows t1 and does not send it again.
    Log again = serve(one, "one");
    ASSERT_TRUE(Background::waitUntil([&] {
        return retained(broker, "marquee/one/Door/status")["marquee/one/Door/status"]["state"] ==
               "ok";
    }));
    publish(broker, "marquee/one/Door/cmd", R"({"id": "t1", "command": "text", "text": "Hi"})");
    got = after.of("marquee/one/Door/result", "t1");
    ASSERT_EQ(got.size(), 1);
    EXPECT_TRUE(got[0]["repeat"].toBool());
    EXPECT_EQ(again.count("send from mqtt"), 0);
}

TEST(Mqtt, CommandsAreCheckedBeforeAnythingIsWritten) {
    QTemporaryDir dir;
    const QString root = dir.path();
    Broker broker(root);
    ASSERT_TRUE(broker.start());
    Background background;
    SignBook book;
    book.signs = {bookSign("Door", 1)};
    QString reason;
    ASSERT_TRUE(writeSignBook(root, book, &reason));
    ASSERT_TRUE(background.emulate(root, 1, {"--num", "1", "--out", root + "/out"}));
    Results results(background, broker);
    background.start(MARQUEE_CLI_PATH,
                     {"--folder", root, "serve", "--mqtt", broker.url(), "--site", "s"});
    ASSERT_TRUE(Background::waitUntil(
        [&] { return retained(broker, "marquee/s/Door/status").size() == 1; }));

    writeShowList(root);
    const QByteArray bmp = readBytes(root + "/line.bmp").toBase64();
    const QByteArray lis = QByteArray("line.bmp\r\n1\r\n0\r\n0\r\n5\r\n2\r\n").toBase64();
    // A BMP header claiming 100000 x 100000 pixels, and nothing after it.
    QByteArray huge = hexBytes("424d36000000000000003600000028000000a0860100a086010001001800");
    huge.append(24, '\0');
    const QByteArray etc = QByteArray("/etc/passwd\r\n1\r\n0\r\n0\r\n5\r\n2\r\n").toBase64();
    const QByteArray big(kMaxMqttCommandBytes + 10, ' ');
    const struct {
        const char* topic;
        QByteArray payload;
        const char* reason;  // in the reason; empty: it goes
    } rows[] = {
        {"Door", "{not json", "not JSON"},
        {"Door", R"({"command": "time"})", "\"id\""},
        {"Door", R"({"id": "a", "command": "reboot"})", "\"command\" is none of"},
        {"Nobody", R"({"id": "b", "command": "time"})", "no sign called \"Nobody\""},
        {"Door", R"({"id": "c", "command": "text", "text": "x", "files": {}})",
         "\"files\" go with send"},
        {"Door", R"({"id": "d", "command": "send", "list": "../x.lis"})", "inside the sign folder"},
        {"Door",
         R"({"id": "e", "command": "send", "list": "a.lis", "files": {"a.lis": ")" + lis +
             R"(", "../line.bmp": ")" + bmp + R"("}})",
         "no plain name"},
        {"Door",
         R"({"id": "f", "command": "send", "list": "a.lis", "files": {"a.lis": ")" + lis +
             R"(", "line.bmp": ")" + huge.toBase64() + R"("}})",
         "line.bmp"},
        {"Door",
         R"({"id": "g", "command": "send", "list": "a.lis", "files": {"a.lis": ")" + etc + R"("}})",
         "neither sent along nor inside"},
        {"Door", R"({"id": "h", "command": "send", "list": "a.lis", "files": {"a.lis": "@@"}})",
         "not base64"},
        {"Door", big, "at most"},
        {"Door",
         R"({"id": "ok", "command": "send", "list": "a.lis", "files": {"a.lis": ")" + lis +
             R"(", "line.bmp": ")" + bmp + R"("}})",
         ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.payload.left(80).toStdString());
        const int before = int(results.text.count('\n'));
        publish(broker, QStringLiteral("marquee/s/%1/cmd").arg(row.topic), row.payload);
        ASSERT_TRUE(Background::waitUntil([&] {
            results.poll();
            return int(results.text.count('\n')) > before;
        })) << results.text.toStdString();
        const QByteArray line = results.text.split('\n').value(before);
        const QJsonObject result =
            QJsonDocument::fromJson(line.mid(line.indexOf(' ') + 1)).object();
        EXPECT_TRUE(
            line.startsWith(QStringLiteral("marquee/s/%1/result ").arg(row.topic).toUtf8()));
        EXPECT_EQ(result["ok"].toBool(), !*row.reason) << line.toStdString();
        EXPECT_TRUE(result["reason"].toString().contains(QString::fromUtf8(row.reason)))
            << line.toStdString();
    }
    // Only the good send reached the line, from its own folder.
    EXPECT_EQ(readBytes(root + "/out/playlist.txt"), kShowTable.left(kShowTable.indexOf('\n') + 1));
    EXPECT_FALSE(QFileInfo::exists(root + "/.mqtt/../a.lis"));
}

TEST(Mqtt, ServeRefusesBrokerOptionsThatCannotWork) {
    QTemporaryDir dir;
    SignBook book;
    book.signs = {bookSign("Door", 1)};
    QString reason;
    ASSERT_TRUE(writeSignBook(dir.path(), book, &reason));
    writeBytes(dir.path() + "/pass", "secret\n");
    const struct {
        QStringList args;
        const char* error;
    } rows[] = {
        {{"--mqtt", "http://127.0.0.1:1883", "--site", "a"}, "is no mqtt://"},
        {{"--mqtt", "mqtt://u:p@127.0.0.1:1883", "--site", "a"}, "only a host and a port"},
        {{"--mqtt", "mqtt://127.0.0.1:1883"}, "needs --site"},
        {{"--mqtt", "mqtt://127.0.0.1:1883", "--site", "a/b"}, "needs --site"},
        {{"--mqtt", "mqtt://127.0.0.1:1883", "--site", "+"}, "needs --site"},
        {{"--site", "a"}, "--site goes with --mqtt"},
        {{"--mqtt", "mqtt://127.0.0.1:1883", "--site", "a", "--mqtt-ca", "ca.pem"},
         "--mqtt-ca goes with mqtts://"},
        {{"--mqtt", "mqtts://127.0.0.1:8883", "--site", "a", "--mqtt-ca", "missing.pem"},
         "cannot read the CA file"},
        {{"--mqtt", "mqtt://127.0.0.1:1883", "--site", "a", "--mqtt-password-file",
          dir.path() + "/pass"},
         "goes with --mqtt-user"},
        {{"--mqtt", "mqtt://127.0.0.1:1883", "--site", "a", "--mqtt-user", "u",
          "--mqtt-password-file", "nothing"},
         "cannot read the password file"},
        {{"--mqtt", "mqtt://127.0.0.1:1883", "--site", "a", "--discovery", "home/assistant"},
         "--discovery PREFIX"},
    };
    for (const auto& row : rows) {
        const CliRun run = runCli(QStringList{"--folder", dir.path(), "serve"} + row.args);
        EXPECT_EQ(run.exitCode, 2) << row.args.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(row.error))) << run.err.toStdString();
    }
}

TEST(Mqtt, CommandIdsAreKeptForADayWithinTheirBound) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/ids.jsonl";
    const QDateTime now = QDateTime::fromString("2026-05-04T10:00:00Z", Qt::ISODate);
    QString error;
    {
        CommandMemory memory(path, 3);
        ASSERT_TRUE(memory.load(now, &error)) << error.toStdString();
        memory.begin("old", now.addSecs(-CommandMemory::kKeepSeconds - 60));
        memory.finish("old", {{"ok", true}}, now);
        for (const char* key : {"a", "b", "c"}) {
            memory.begin(key, now);
            memory.finish(key, {{"ok", true}, {"key", key}}, now);
        }
        memory.begin("running", now);  // the service dies here
    }
    CommandMemory memory(path, 3);
    ASSERT_TRUE(memory.load(now.addSecs(1), &error));
    const struct {
        const char* key;
        CommandMemory::Seen seen;
        bool ok;
    } rows[] = {{"old", CommandMemory::Seen::New, false},
                {"a", CommandMemory::Seen::New, false},  // the oldest of four beyond three
                {"b", CommandMemory::Seen::Done, true},
                {"c", CommandMemory::Seen::Done, true},
                {"running", CommandMemory::Seen::Done, false}};
    for (const auto& row : rows) {
        QJsonObject result;
        EXPECT_EQ(memory.lookup(row.key, &result), row.seen) << row.key;
        EXPECT_EQ(result["ok"].toBool(), row.ok) << row.key;
    }
    QJsonObject result;
    memory.lookup("running", &result);
    EXPECT_EQ(result["failure"], "interrupted");
    EXPECT_EQ(memory.size(), 3);
}

TEST(Mqtt, TlsWithAPasswordAndARefusedOne) {
    QTemporaryDir dir;
    const QString root = dir.path();
    auto run = [&](const QStringList& args) {
        QProcess process;
        process.setWorkingDirectory(root);
        process.start(args[0], args.mid(1));
        return process.waitForFinished(30000) && process.exitCode() == 0;
    };
    // A CA, the broker's certificate for 127.0.0.1 signed by it, a user.
    writeBytes(root + "/ext", "subjectAltName=IP:127.0.0.1\n");
    ASSERT_TRUE(run({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout",
                     "ca.key", "-out", "ca.pem", "-days", "2", "-subj", "/CN=test ca"}));
    ASSERT_TRUE(run({"openssl", "req", "-newkey", "rsa:2048", "-nodes", "-keyout", "server.key",
                     "-out", "server.csr", "-subj", "/CN=127.0.0.1"}));
    ASSERT_TRUE(
        run({"openssl", "x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
             "-CAcreateserial", "-out", "server.pem", "-days", "2", "-extfile", "ext"}));
    writeBytes(root + "/users", "");
    ASSERT_TRUE(run({"mosquitto_passwd", "-b", root + "/users", "depot", "s3cret"}));
    for (const char* file : {"server.key", "server.pem", "ca.pem", "users"}) {
        QFile::setPermissions(root + "/" + file,
                              QFile::permissions(root + "/" + file) | QFileDevice::ReadOther);
    }
    Broker broker(root,
                  QStringLiteral("allow_anonymous false\npassword_file %1/users\ncafile "
                                 "%1/ca.pem\ncertfile %1/server.pem\nkeyfile %1/server.key\n")
                      .arg(root),
                  {"--cafile", root + "/ca.pem", "-u", "depot", "-P", "s3cret"});
    ASSERT_TRUE(broker.start());
    SignBook book;
    book.signs = {bookSign("Door", 1)};
    QString reason;
    ASSERT_TRUE(writeSignBook(root, book, &reason));
    writeBytes(root + "/good", "s3cret\n");
    writeBytes(root + "/bad", "guess\n");
    Background background;
    const QString url = QStringLiteral("mqtts://127.0.0.1:%1").arg(broker.port);
    auto serve = [&](const char* site, const char* password) {
        return Log{background.start(MARQUEE_CLI_PATH,
                                    {"--folder", root, "serve", "--mqtt", url, "--site", site,
                                     "--mqtt-ca", root + "/ca.pem", "--mqtt-user", "depot",
                                     "--mqtt-password-file", root + "/" + password}),
                   {}};
    };
    Log refused = serve("b", "bad");
    EXPECT_TRUE(Background::waitUntil([&] { return refused.count("refused the connection") > 0; }));
    refused.process->kill();
    refused.process->waitForFinished();
    Log good = serve("a", "good");
    EXPECT_TRUE(Background::waitUntil(
        [&] { return retained(broker, "marquee/a/Door/status").size() == 1; }));
    EXPECT_EQ(good.count("connected to 127.0.0.1"), 1);
    EXPECT_TRUE(retained(broker, "marquee/b/+/status").empty());
}
