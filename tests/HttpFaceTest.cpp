// The sign service's HTTP face over real HTTP on the loopback: the real
// marquee-cli serve with emulated controllers on pseudo-terminals, asked by
// Qt's network client, and its web page driven in Debian's headless Chromium.

#include "platform/LocalChannel.h"
#include "platform/MultipartForm.h"
#include "tests/SignSupport.h"

#include <QEventLoop>
#include <QHttpMultiPart>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QWebSocket>

#include <sys/stat.h>

namespace {

struct Reply {
    int status = 0;
    QByteArray type;
    QByteArray body;
    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
};

// A file of a form upload: its name and bytes.
struct Upload {
    QString name;
    QByteArray data;
};

class Client {
  public:
    explicit Client(QString base) : m_base(std::move(base)) {}

    // method path with body (JSON unless files come, then multipart);
    // token: the bearer token sent, none when empty.
    Reply call(const QByteArray& method, const QString& path, const QByteArray& body = {},
               const QByteArray& token = {}, const QList<Upload>& files = {}) {
        QNetworkRequest request(QUrl(m_base + path));
        if (!token.isEmpty()) {
            request.setRawHeader("Authorization", "Bearer " + token);
        }
        QNetworkReply* reply = nullptr;
        if (!files.isEmpty()) {
            auto* form = new QHttpMultiPart(QHttpMultiPart::FormDataType);
            for (const Upload& file : files) {
                QHttpPart part;
                part.setHeader(
                    QNetworkRequest::ContentDispositionHeader,
                    QStringLiteral("form-data; name=\"file\"; filename=\"%1\"").arg(file.name));
                part.setBody(file.data);
                form->append(part);
            }
            reply = m_net.sendCustomRequest(request, method, form);
            form->setParent(reply);
        } else {
            request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
            reply = m_net.sendCustomRequest(request, method, body);
        }
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        loop.exec();
        Reply out;
        out.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        out.type = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
        out.body = reply->readAll();
        reply->deleteLater();
        return out;
    }

  private:
    QString m_base;
    QNetworkAccessManager m_net;
};

// marquee-cli serve in folder with args; the base URL it prints, empty
// when it did not start.
QString serve(Background& programs, const QString& folder, const QStringList& args) {
    QProcess* process = programs.start(
        MARQUEE_CLI_PATH, QStringList{"--folder", folder, "serve", "--http", "127.0.0.1:0"} + args);
    QString out;
    QString base;
    Background::waitUntil([&] {
        process->waitForReadyRead(50);
        out += QString::fromUtf8(process->readAll());
        base = QRegularExpression("HTTP on (http://[^/]+)/").match(out).captured(1);
        return !base.isEmpty() || process->state() == QProcess::NotRunning;
    });
    return base;
}

// Where the sign shows lit in colour and where the composed page has it.
int differingLeds(const QString& shownFile, const QString& composedFile) {
    const QImage shown(shownFile);
    const QImage composed(composedFile);
    if (shown.size() != QSize(64, 16) || composed.size() != QSize(64, 16)) {
        return -1;
    }
    int differing = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 64; ++x) {
            const bool on = composed.pixelColor(x, y).red() >= 128;
            differing += shown.pixelColor(x, y) != (on ? QColor(255, 0, 0) : QColor(0, 0, 0));
        }
    }
    return differing;
}

// Whether the emulator writing to out shows show.lis's first page, the red line.
bool showsTheLine(const QString& out) {
    const QImage shown(out + "/page1.png");
    return !shown.isNull() && shown.pixelColor(10, 4) == QColor(255, 0, 0);
}

int litLeds(const QString& file) {
    const QImage image(file);
    int lit = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            lit += image.pixelColor(x, y) != QColor(0, 0, 0);
        }
    }
    return lit;
}

}  // namespace

// Every endpoint with the token, its success and its failures: each
// answers with the status that fits and a reason; what succeeds reaches
// the emulator.
TEST(HttpFace, EndpointsAnswerWithTheStatusThatFits) {
    QTemporaryDir dir;
    const QString folder = dir.path();
    writeShowList(folder);
    Background programs;
    ASSERT_TRUE(programs.emulate(folder, 1, {"--out", folder + "/door"}));
    ASSERT_TRUE(programs.emulate(folder, 2, {"--silent"}));
    SignBook book;
    book.signs = {bookSign("Door", 1), bookSign("Mute", 1), bookSign("Gone/North", 1)};
    book.signs[0].list = "show.lis";
    book.signs[1].settings.COMM = 2;
    book.signs[2].settings.COMM = 3;  // no emulator: the port is missing
    QString reason;
    ASSERT_TRUE(writeSignBook(folder, book, &reason));
    const QString tokenFile = folder + "/token";
    const QString base =
        serve(programs, folder, {"--http-token-file", tokenFile, "--http-max-body", "100000"});
    ASSERT_FALSE(base.isEmpty()) << programs.output(2).toStdString();
    // The token is made on first use, owner-only.
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(tokenFile).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    const QByteArray token = readBytes(tokenFile).trimmed();
    EXPECT_EQ(token.size(), 64);
    Client client(base);
    ASSERT_TRUE(Background::waitUntil([&] { return showsTheLine(folder + "/door"); }))
        << "Door's own list first";

    // A BMP header claiming 100000 x 100000 pixels, and nothing after it.
    QByteArray bomb = hexBytes("424d36000000000000003600000028000000a0860100a086010001001800");
    bomb.append(24, '\0');
    const QByteArray line = readBytes(folder + "/line.bmp");
    const QByteArray oneList = "line.bmp\r\n1\r\n0\r\n0\r\n5\r\n2\r\n";
    const struct {
        const char* method;
        const char* path;
        QByteArray body;
        QList<Upload> files;
        QByteArray token;
        int status;
        const char* says;  // in the reason, or in the body when it goes
    } rows[] = {
        {"GET", "/api/signs", {}, {}, {}, 401, "no token"},
        {"GET", "/api/signs", {}, {}, "0123456789abcdef0123", 401, "wrong token"},
        {"GET", "/", {}, {}, {}, 200, "<form id=\"text-form\">"},
        {"GET", "/api/signs", {}, {}, token, 200, "\"name\":\"Mute\""},
        {"GET", "/api/nothing", {}, {}, token, 404, "nothing at /api/nothing"},
        {"GET", "/api/signs/Nobody/preview.png", {}, {}, token, 404, "no sign called \"Nobody\""},
        {"GET", "/api/signs/Door/preview.png?page=3", {}, {}, token, 400, "\"page\""},
        {"GET", "/api/signs/Door/preview.png?zoom=0", {}, {}, token, 400, "\"zoom\""},
        {"GET", "/api/signs/Door/preview.png?page=1&zoom=3", {}, {}, token, 200, "PNG"},
        {"POST", "/api/signs/Door/reboot", "{}", {}, token, 404, "nothing at"},
        {"POST", "/api/signs/Door/text", "{not json", {}, token, 400, "not JSON"},
        {"POST", "/api/signs/Door/text", "[1]", {}, token, 400, "JSON object"},
        {"POST", "/api/signs/Door/text", R"({"text": " "})", {}, token, 400, "no \"text\""},
        {"POST", "/api/signs/Door/text", R"({"text": "a", "for": 0})", {}, token, 400, "\"for\""},
        {"POST",
         "/api/signs/Door/text",
         R"({"text": "a", "sign": "Mute"})",
         {},
         token,
         400,
         "neither"},
        {"POST", "/api/signs/Door/text", R"({"text": "a", "size": 900})", {}, token, 400, "size"},
        {"POST",
         "/api/signs/Door/text/preview.png?zoom=2",
         R"({"text": "Hi"})",
         {},
         token,
         200,
         "PNG"},
        {"POST", "/api/signs/Mute/time", {}, {}, token, 502, "No reply came within"},
        {"POST", "/api/signs/Gone%2FNorth/time", {}, {}, token, 503, "does not exist"},
        {"POST", "/api/signs/Door/time", {}, {}, token, 200, "time success!"},
        {"POST", "/api/signs/Door/mode", {}, {}, token, 200, "mode success!"},
        {"POST", "/api/signs/Door/read-para", {}, {}, token, 200, "\"ok\":true"},
        {"POST",
         "/api/signs/Door/send",
         R"({"list": "../x.lis"})",
         {},
         token,
         400,
         "inside the sign folder"},
        {"POST",
         "/api/signs/Door/send",
         R"({"list": "show.lis", "full": 1})",
         {},
         token,
         400,
         "\"full\""},
        {"POST",
         "/api/signs/Door/send",
         R"({"list": "show.lis", "full": true})",
         {},
         token,
         200,
         "rec success!"},
        {"POST", "/api/signs/Door/list", "plain", {}, token, 400, "multipart/form-data"},
        {"POST",
         "/api/signs/Door/list",
         {},
         {{"a.lis", oneList}, {"line.bmp", bomb}},
         token,
         400,
         "line.bmp"},
        {"POST",
         "/api/signs/Door/list",
         {},
         {{"a.lis", oneList}, {"../line.bmp", line}},
         token,
         400,
         "no plain name"},
        {"POST",
         "/api/signs/Door/list",
         {},
         {{"a.lis", "/etc/passwd\r\n1\r\n0\r\n0\r\n5\r\n2\r\n"}},
         token,
         400,
         "neither sent along nor inside"},
        {"POST",
         "/api/signs/Door/list",
         {},
         {{"big.bmp", QByteArray(120000, 'x')}},
         token,
         413,
         "larger than 100000 bytes"},
        {"POST",
         "/api/signs/Door/list",
         {},
         {{"huge.bmp", QByteArray(4000000, 'x')}},
         token,
         413,
         "larger than 100000 bytes"},
        {"POST",
         "/api/signs/Door/list",
         {},
         {{"a.lis", oneList}, {"line.bmp", line}},
         token,
         200,
         "rec success!"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.method) + " " + row.path + " " +
                     row.body.left(40).toStdString());
        const Reply reply = client.call(row.method, row.path, row.body, row.token, row.files);
        EXPECT_EQ(reply.status, row.status) << reply.body.left(300).toStdString();
        if (row.status == 200) {
            EXPECT_TRUE(reply.body.contains(row.says)) << reply.body.left(300).toStdString();
        } else {
            EXPECT_EQ(reply.type, "application/json");
            EXPECT_FALSE(reply.json()["ok"].toBool(true));
            EXPECT_TRUE(reply.json()["reason"].toString().contains(QString::fromUtf8(row.says)))
                << reply.body.toStdString();
        }
    }
    // The list came in its own folder: the emulator has one page now, the red line.
    EXPECT_EQ(readBytes(folder + "/door/playlist.txt"), "page 1: effect 1 speed 2 time 5\n");
    EXPECT_FALSE(QFileInfo::exists(folder + "/a.lis"));
    const Reply view = client.call("GET", "/api/signs/Door/preview.png?page=1&zoom=3", {}, token);
    EXPECT_EQ(QImage::fromData(view.body).size(), QSize(64 * 3, 16 * 3));

    // A text arrives as the composer drew it, LED for LED.
    const Reply text =
        client.call("POST", "/api/signs/Door/text",
                    R"({"text": "OPEN", "colour": "red", "layout": "one-line"})", token);
    EXPECT_EQ(text.status, 200) << text.body.toStdString();
    EXPECT_EQ(text.json()["outcome"].toString(), "rec success!");
    QTest::qWait(300);
    EXPECT_GT(litLeds(folder + "/door/page1.png"), 20);
    EXPECT_EQ(differingLeds(folder + "/door/page1.png", folder + "/.messages/Door-1.bmp"), 0);

    // The window holds Door's port: a command is refused as busy until it lets go.
    LocalChannelClient window;
    ASSERT_TRUE(window.connect(serviceSocketPath(folder), &reason)) << reason.toStdString();
    ASSERT_TRUE(window.send({{"request", "hold"}, {"sign", "Door"}}, &reason));
    QJsonObject answer;
    ASSERT_TRUE(Background::waitUntil([&] { return window.receive(&answer, 10, &reason); }));
    const Reply busy = client.call("POST", "/api/signs/Door/time", {}, token);
    EXPECT_EQ(busy.status, 409) << busy.body.toStdString();
    ASSERT_TRUE(window.send({{"request", "release"}, {"sign", "Door"}}, &reason));
    QTest::qWait(200);
    EXPECT_EQ(client.call("POST", "/api/signs/Door/time", {}, token).status, 200);

    // The list of signs: settings and health, no secrets.
    const QJsonArray signs = client.call("GET", "/api/signs", {}, token).json()["signs"].toArray();
    ASSERT_EQ(signs.size(), 3);
    EXPECT_EQ(signs[0]["health"]["state"].toString(), "ok");
    EXPECT_NE(signs[2]["health"]["state"].toString(), "ok");
    EXPECT_FALSE(signs[2]["health"]["reason"].toString().isEmpty());
    EXPECT_EQ(signs[0]["width"].toInt(), 64);
}

// Addresses other machines reach need a token; the options are checked
// before the service starts, and a token file others can read is refused.
TEST(HttpFace, ServeRefusesHttpOptionsThatAreNotSafe) {
    QTemporaryDir dir;
    const QString folder = dir.path();
    SignBook book;
    book.signs = {bookSign("Door", 1)};
    QString reason;
    ASSERT_TRUE(writeSignBook(folder, book, &reason));
    writeBytes(folder + "/open-token", "0123456789abcdef0123456789abcdef\n");
    QFile::setPermissions(folder + "/open-token", QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                      QFileDevice::ReadOther);
    writeBytes(folder + "/short-token", "abc\n");
    QFile::setPermissions(folder + "/short-token",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const struct {
        QStringList args;
        const char* says;
    } rows[] = {
        {{"--http", "0.0.0.0:0"}, "reachable from other machines: give --http-token-file"},
        {{"--http", "8080"}, "ADDRESS:PORT"},
        {{"--http", "127.0.0.1:70000"}, "ADDRESS:PORT"},
        {{"--http", "no.such.host:80"}, "ADDRESS:PORT"},
        {{"--http-token-file", folder + "/t"}, "go with --http"},
        {{"--http", "127.0.0.1:0", "--http-max-body", "5"}, "--http-max-body takes"},
        {{"--http", "0.0.0.0:0", "--http-token-file", folder + "/open-token"}, "chmod 600"},
        {{"--http", "127.0.0.1:0", "--http-token-file", folder + "/short-token"}, "shorter"},
        {{"--http", "127.0.0.1:0", "--http-token-file", folder + "/no/such/t"}, "cannot make"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.args.join(' ').toStdString());
        const CliRun run = runCli(QStringList{"--folder", folder, "serve"} + row.args);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.err.contains(row.says)) << run.err.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(folder + "/t"));
}

// Forms as browsers and curl send them; broken ones are refused with what is wrong.
TEST(HttpFace, FormsAreSplitAsBrowsersSendThem) {
    const QByteArray type = "multipart/form-data; boundary=\"XyZ\"";
    const QByteArray two =
        "preamble\r\n--XyZ\r\nContent-Disposition: form-data; name=\"file\"; "
        "filename=\"a.lis\"\r\nContent-Type: text/plain\r\n\r\nline\r\n--\r\nend\r\n"
        "--XyZ\r\ncontent-disposition: form-data; name=full\r\n\r\n1\r\n--XyZ--\r\n";
    const struct {
        QByteArray type;
        QByteArray body;
        int parts;         // -1: refused
        const char* says;  // the error, or the first part's data
    } rows[] = {
        {type, two, 2, "line\r\n--\r\nend"},
        {"multipart/form-data; boundary=XyZ", "--XyZ--\r\n", 0, ""},
        {"application/json", two, -1, "multipart/form-data"},
        {"multipart/form-data", two, -1, "without a boundary"},
        {type, "no parts here", -1, "no part"},
        {type, two.left(two.size() - 12), -1, "cut short"},
        {type, "--XyZ\r\nContent-Disposition: form-data; name=x\r\n--XyZ--", -1, "cut short"},
        {type, "--XyZ\r\nContent-Disposition: form-data; name=x\r\n\r\n--XyZ--", -1, "cut short"},
        {type, "--XyZ\r\nContent-Disposition: form-data; name=x\r\n\r\n\r\n--XyZ--", 1, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.body.left(60).toStdString());
        QList<FormPart> parts;
        QString error;
        const bool ok = parseMultipartForm(row.type, row.body, &parts, &error);
        EXPECT_EQ(ok ? int(parts.size()) : -1, row.parts);
        if (!ok) {
            EXPECT_TRUE(error.contains(row.says)) << error.toStdString();
        } else if (row.parts > 0) {
            EXPECT_EQ(parts[0].data, QByteArray(row.says));
        }
    }
    QList<FormPart> parts;
    QString error;
    ASSERT_TRUE(parseMultipartForm(type, two, &parts, &error));
    EXPECT_EQ(parts[0].name, "file");
    EXPECT_EQ(parts[0].fileName, "a.lis");
    EXPECT_EQ(parts[1].name, "full");
    EXPECT_TRUE(parts[1].fileName.isEmpty());
    EXPECT_EQ(parts[1].data, "1");
}

namespace {

// Debian's Chromium, headless, driven over its DevTools protocol.
class Browser {
  public:
    explicit Browser(const QString& profile) : m_profile(profile) {}

    bool start(Background& programs, QSize window) {
        programs.start(
            "/usr/bin/chromium",
            {"--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
             "--disable-extensions", "--user-data-dir=" + m_profile, "--remote-debugging-port=0",
             QStringLiteral("--window-size=%1,%2").arg(window.width()).arg(window.height()),
             "about:blank"});
        QString port;
        if (!Background::waitUntil(
                [&] {
                    port = QString::fromUtf8(readBytes(m_profile + "/DevToolsActivePort"))
                               .section('\n', 0, 0);
                    return !port.isEmpty();
                },
                30000)) {
            return false;
        }
        Client devtools("http://127.0.0.1:" + port);
        QString url;
        Background::waitUntil([&] {
            const QJsonArray targets =
                QJsonDocument::fromJson(devtools.call("GET", "/json/list").body).array();
            for (const QJsonValue& target : targets) {
                if (target["type"].toString() == "page") {
                    url = target["webSocketDebuggerUrl"].toString();
                }
            }
            return !url.isEmpty();
        });
        if (url.isEmpty()) {
            return false;
        }
        QObject::connect(&m_socket, &QWebSocket::textMessageReceived,
                         [this](const QString& text) { m_messages << text; });
        m_socket.open(QUrl(url));
        return QTest::qWaitFor([&] { return m_socket.state() == QAbstractSocket::ConnectedState; },
                               10000);
    }
    // Sends a DevTools command; its result, empty on an error or no answer.
    QJsonObject command(const QString& method, const QJsonObject& params = {}) {
        const int id = ++m_id;
        m_socket.sendTextMessage(QString::fromUtf8(
            QJsonDocument(QJsonObject{{"id", id}, {"method", method}, {"params", params}})
                .toJson(QJsonDocument::Compact)));
        QJsonObject answer;
        (void)QTest::qWaitFor(
            [&] {
                for (const QString& message : m_messages) {
                    const QJsonObject object = QJsonDocument::fromJson(message.toUtf8()).object();
                    if (object["id"].toInt() == id) {
                        answer = object["result"].toObject();
                        return true;
                    }
                }
                return false;
            },
            30000);
        return answer;
    }
    // The page's value of a JavaScript expression.
    QJsonValue evaluate(const QString& expression) {
        return command("Runtime.evaluate", {{"expression", expression}, {"returnByValue", true}})
            .value("result")
            .toObject()
            .value("value");
    }
    // Saves what the page shows as a PNG in file.
    void screenshot(const QString& file) {
        writeBytes(file, QByteArray::fromBase64(
                             command("Page.captureScreenshot")["data"].toString().toLatin1()));
    }

  private:
    QString m_profile;
    QWebSocket m_socket;
    QStringList m_messages;
    int m_id = 0;
};

}  // namespace

// The web page in a real browser: it lists the signs, previews a text as
// the composer draws it and sends it; the emulator shows it. At a phone's
// width and at 1280 x 800 (screenshots go to $MARQUEE_SCREENSHOTS if set).
TEST(HttpFace, TheWebPageSendsATextFromABrowser) {
    QTemporaryDir dir;
    const QString folder = dir.path();
    writeShowList(folder);
    Background programs;
    ASSERT_TRUE(programs.emulate(folder, 1, {"--out", folder + "/door"}));
    SignBook book;
    book.signs = {bookSign("Door", 1), bookSign("Gone", 1)};
    book.signs[0].list = "show.lis";
    book.signs[1].settings.COMM = 3;
    QString reason;
    ASSERT_TRUE(writeSignBook(folder, book, &reason));
    const QString base = serve(programs, folder, {});
    ASSERT_FALSE(base.isEmpty());
    ASSERT_TRUE(Background::waitUntil([&] { return showsTheLine(folder + "/door"); }))
        << "Door's own list first";
    const QString shots = qEnvironmentVariable("MARQUEE_SCREENSHOTS");
    const struct {
        QSize window;
        const char* text;
        const char* name;
    } rows[] = {{{390, 844}, "Phone", "web-phone.png"}, {{1280, 800}, "Desk", "web-desk.png"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Browser browser(folder + "/profile-" + row.text);
        ASSERT_TRUE(browser.start(programs, row.window));
        // The page at exactly this size, a phone's as a phone reports it.
        browser.command("Emulation.setDeviceMetricsOverride",
                        {{"width", row.window.width()},
                         {"height", row.window.height()},
                         {"deviceScaleFactor", 1},
                         {"mobile", row.window.width() < 600}});
        browser.command("Page.navigate", {{"url", base + "/"}});
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return browser.evaluate("document.querySelectorAll('#text-sign option').length")
                           .toInt() == 2;
            },
            20000));
        EXPECT_EQ(browser.evaluate("document.querySelector('.sign .state').textContent").toString(),
                  "ok");
        browser.evaluate(QStringLiteral("document.getElementById('text').value = '%1';"
                                        "document.getElementById('colour').value = 'red';"
                                        "document.getElementById('text-form').requestSubmit()")
                             .arg(row.text));
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return browser.evaluate("document.getElementById('result').textContent")
                    .toString()
                    .contains("rec success!");
            },
            30000))
            << browser.evaluate("document.getElementById('result').textContent")
                   .toString()
                   .toStdString();
        // The preview was drawn before sending, at a zoom that fits the page.
        const int previewWidth =
            browser.evaluate("document.getElementById('text-preview').naturalWidth").toInt();
        EXPECT_GE(previewWidth, 64 * 2);
        EXPECT_EQ(previewWidth % 64, 0);
        // The page fits the window: nothing wider than it.
        EXPECT_LE(browser.evaluate("document.documentElement.scrollWidth").toInt(),
                  row.window.width());
        QTest::qWait(300);
        EXPECT_GT(litLeds(folder + "/door/page1.png"), 10);
        EXPECT_EQ(differingLeds(folder + "/door/page1.png", folder + "/.messages/Door-1.bmp"), 0);
        if (!shots.isEmpty()) {
            QTest::qWait(1500);  // the sign views refresh
            browser.screenshot(shots + "/" + row.name);
            browser.evaluate("window.scrollTo(0, document.body.scrollHeight)");
            QTest::qWait(300);
            browser.screenshot(shots + "/end-" + row.name);
        }
    }
}
