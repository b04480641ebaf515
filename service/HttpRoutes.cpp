#include "service/HttpRoutes.h"

#include "core/ProgramFolder.h"
#include "import/LivePage.h"
#include "import/TextComposer.h"
#include "pages/PlayListFile.h"
#include "platform/MultipartForm.h"
#include "service/CommandJson.h"
#include "service/SentFiles.h"
#include "service/SignPages.h"
#include "service/SignService.h"
#include "transfer/PagePreparation.h"
#include "transfer/SignView.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QPointer>
#include <QUrl>

namespace {

// Uploaded lists and pictures are kept below this folder of the sign folder.
constexpr char kUploadFolder[] = ".http";
// The composed text shows at most this many pages in its preview.
constexpr int kMaxPreviewPages = 32;

QByteArray jsonBytes(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

HttpResponse failure(int status, const QString& reason) {
    return {status, "application/json",
            jsonBytes({{QStringLiteral("ok"), false}, {QStringLiteral("reason"), reason}})};
}

HttpResponse png(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return {200, "image/png", bytes};
}

int statusOf(const ServiceResult& result) {
    switch (result.failure) {
        case ServiceResult::Failure::None:
            return 200;
        case ServiceResult::Failure::UnknownSign:
            return 404;
        case ServiceResult::Failure::BadInput:
            return 400;
        case ServiceResult::Failure::Busy:
            return 409;
        case ServiceResult::Failure::NoReply:
            return 502;
        case ServiceResult::Failure::PortError:
        case ServiceResult::Failure::Cancelled:
            return 503;
    }
    return 500;
}

// A whole number from the query, within [low, high]; fallback when absent.
bool queryNumber(const HttpRequest& request, const QString& key, int low, int high, int fallback,
                 int* value, QString* problem) {
    if (!request.query.hasQueryItem(key)) {
        *value = fallback;
        return true;
    }
    bool ok = false;
    *value = request.query.queryItemValue(key).toInt(&ok);
    if (!ok || *value < low || *value > high) {
        *problem = QStringLiteral("\"%1\" must be a whole number from %2 to %3")
                       .arg(key)
                       .arg(low)
                       .arg(high);
        return false;
    }
    return true;
}

QSize screenOf(const Settings& settings) {
    return {settings.WIDTH, settings.HEIGHT};
}

QString webFile(const QString& path, QByteArray* contentType) {
    if (path == QLatin1String("/") || path == QLatin1String("/index.html")) {
        *contentType = "text/html; charset=utf-8";
        return QStringLiteral(":/web/index.html");
    }
    if (path == QLatin1String("/app.js")) {
        *contentType = "text/javascript; charset=utf-8";
        return QStringLiteral(":/web/app.js");
    }
    if (path == QLatin1String("/style.css")) {
        *contentType = "text/css; charset=utf-8";
        return QStringLiteral(":/web/style.css");
    }
    return {};
}

}  // namespace

QImage signViewImage(const QImage& picture, const Settings& settings, int zoom) {
    return zoomView(pictureLeds(picture, settings),
                    std::clamp(zoom, 1, maxZoom(screenOf(settings))), ViewStyle::Dots);
}

HttpRoutes::HttpRoutes(SignService& service, HttpServer& server, QObject* parent)
    : QObject(parent), m_service(service) {
    QPointer<HttpRoutes> self(this);
    server.setHandler([self](const HttpRequest& request, const HttpResponder& respond) {
        if (self) {
            self->handle(request, respond);
        }
    });
}

void HttpRoutes::handle(const HttpRequest& request, const HttpResponder& respond) {
    const QString path = request.path;
    if (request.method == "GET") {
        QByteArray type;
        const QString file = webFile(path, &type);
        if (!file.isEmpty()) {
            QFile resource(file);
            resource.open(QIODevice::ReadOnly);
            respond({200, type, resource.readAll()});
            return;
        }
        if (path == QLatin1String("/api/signs")) {
            respond(signsJson());
            return;
        }
    }
    const QString prefix = QStringLiteral("/api/signs/");
    if (path.startsWith(prefix)) {
        // The name is one segment, its own slashes encoded as %2F.
        const QString rest = path.mid(prefix.size());
        const int slash = rest.indexOf(QLatin1Char('/'));
        if (slash > 0) {
            signRoute(QUrl::fromPercentEncoding(rest.left(slash).toUtf8()), rest.mid(slash + 1),
                      request, respond);
            return;
        }
    }
    respond(failure(404, QStringLiteral("nothing at %1").arg(path)));
}

void HttpRoutes::signRoute(const QString& name, const QString& what, const HttpRequest& request,
                           const HttpResponder& respond) {
    if (m_service.book().indexOf(name) < 0) {
        respond(failure(404, QStringLiteral("no sign called \"%1\"").arg(name)));
        return;
    }
    const bool get = request.method == "GET";
    const bool post = request.method == "POST";
    if (get && what == QLatin1String("preview.png")) {
        respond(preview(name, request));
        return;
    }
    if (post && what == QLatin1String("text/preview.png")) {
        respond(textPreview(name, request));
        return;
    }
    if (post && what == QLatin1String("list")) {
        listUpload(name, request, respond);
        return;
    }
    static const QStringList commands = {QStringLiteral("text"), QStringLiteral("send"),
                                         QStringLiteral("mode"), QStringLiteral("time"),
                                         QStringLiteral("read-para")};
    if (!post || !commands.contains(what)) {
        respond(failure(404, QStringLiteral("nothing at %1").arg(request.path)));
        return;
    }
    QJsonObject body;
    if (!request.body.trimmed().isEmpty()) {
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(request.body, &error);
        if (error.error != QJsonParseError::NoError || !document.isObject()) {
            respond(failure(400, error.error != QJsonParseError::NoError
                                     ? QStringLiteral("the body is not JSON: %1 at %2")
                                           .arg(error.errorString())
                                           .arg(error.offset)
                                     : QStringLiteral("the body must be a JSON object")));
            return;
        }
        body = document.object();
    }
    ServiceCommand command;
    const QString problem = parseCommand(name, what, body, &command);
    if (!problem.isEmpty()) {
        respond(failure(400, problem));
        return;
    }
    submit(command, respond);
}

QString HttpRoutes::parseCommand(const QString& name, const QString& command,
                                 const QJsonObject& body, ServiceCommand* parsed) const {
    if (body.contains(QStringLiteral("command")) || body.contains(QStringLiteral("sign"))) {
        return QStringLiteral(
            "the path names the command and the sign: the body takes neither "
            "\"command\" nor \"sign\"");
    }
    QJsonObject object = body;
    object.insert(QStringLiteral("command"), command);
    parsed->sign = name;
    parsed->origin = QStringLiteral("http");
    return parseServiceCommand(object, parsed);
}

void HttpRoutes::submit(const ServiceCommand& command, const HttpResponder& respond) {
    m_service.submit(command, [respond](const ServiceResult& result) {
        respond({statusOf(result), "application/json", jsonBytes(result.toJson())});
    });
}

HttpResponse HttpRoutes::signsJson() const {
    QJsonArray signs;
    const QList<SignHealth> health = m_service.health();
    for (const Sign& sign : m_service.book().signs) {
        QJsonObject object = signObject(sign);
        for (const SignHealth& h : health) {
            if (h.name == sign.name) {
                object.insert(QStringLiteral("health"), h.toJson());
            }
        }
        const PageList shown = m_service.shownPages(sign.name);
        object.insert(QStringLiteral("pages"), shown.PageCount());
        object.insert(QStringLiteral("maxZoom"), maxZoom(screenOf(sign.settings)));
        signs.append(object);
    }
    return {200, "application/json",
            jsonBytes({{QStringLiteral("signs"), signs},
                       {QStringLiteral("time"), m_service.now().toString(Qt::ISODate)}})};
}

HttpResponse HttpRoutes::preview(const QString& name, const HttpRequest& request) const {
    const Sign& sign = m_service.book().signs[m_service.book().indexOf(name)];
    const QSize screen = screenOf(sign.settings);
    const QString folder = m_service.folders().sign;
    PageList pages = m_service.shownPages(name);
    bool given = false;
    for (const SignHealth& h : m_service.health()) {
        given = given || (h.name == name && h.lastSuccess.isValid());
    }
    if (!given && !sign.list.isEmpty()) {
        loadPlayList(resolveInFolder(folder, sign.list), &pages);  // what it is to show
    }
    int page = 0;
    int zoom = 0;
    QString problem;
    if (!queryNumber(request, QStringLiteral("page"), 1, std::max(1, pages.PageCount()), 1, &page,
                     &problem) ||
        !queryNumber(request, QStringLiteral("zoom"), 1, maxZoom(screen), 1, &zoom, &problem)) {
        return failure(400, problem);
    }
    QString file = page <= pages.PageCount() ? pages.item(page).FileName : QString();
    if (isLivePage(file)) {
        file = lastLiveRendering(folder, file, screen);
    }
    QImage picture;
    if (!file.isEmpty()) {
        // Fitted to the screen only: the sign view applies ADJUST's gamma.
        picture = preparePage(file, folder, screen, false).image;
    }
    if (picture.isNull()) {
        picture = QImage(screen, QImage::Format_RGB32);
        picture.fill(Qt::black);
    }
    return png(signViewImage(picture, sign.settings, zoom));
}

HttpResponse HttpRoutes::textPreview(const QString& name, const HttpRequest& request) const {
    const Sign& sign = m_service.book().signs[m_service.book().indexOf(name)];
    const QSize screen = screenOf(sign.settings);
    int zoom = 0;
    QString problem;
    if (!queryNumber(request, QStringLiteral("zoom"), 1, maxZoom(screen), 1, &zoom, &problem)) {
        return failure(400, problem);
    }
    ServiceCommand command;
    command.sign = name;
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(request.body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return failure(400, QStringLiteral("the body must be a JSON object"));
    }
    QJsonObject object = document.object();
    object.insert(QStringLiteral("command"), QStringLiteral("text"));
    problem = parseServiceCommand(object, &command);
    QString text;
    ComposeOptions options;
    if (problem.isEmpty()) {
        problem = readMessage(sign, command.message, &text, &options);
    }
    if (!problem.isEmpty()) {
        return failure(400, problem);
    }
    const TextComposition composition(text, screen, options, PageList::kMaxPages);
    if (!composition.error().isEmpty()) {
        return failure(400, composition.error());
    }
    // The pages one under another, a row of the board between them.
    const int shown = std::min(composition.pageCount(), kMaxPreviewPages);
    QImage first = signViewImage(composition.page(1), sign.settings, zoom);
    const int gap = std::max(2, zoom);
    qint64 height = qint64(first.height() + gap) * shown - gap;
    height = std::min<qint64>(height, kMaxViewPixels / std::max(1, first.width()));
    QImage sheet(first.width(), int(height), QImage::Format_RGB32);
    sheet.fill(QColor(0x55, 0x55, 0x55));
    QPainter painter(&sheet);
    for (int i = 1; i <= shown; ++i) {
        const int y = (i - 1) * (first.height() + gap);
        if (y >= sheet.height()) {
            break;
        }
        painter.drawImage(0, y,
                          i == 1 ? first : signViewImage(composition.page(i), sign.settings, zoom));
    }
    painter.end();
    return png(sheet);
}

void HttpRoutes::listUpload(const QString& name, const HttpRequest& request,
                            const HttpResponder& respond) {
    const Sign& sign = m_service.book().signs[m_service.book().indexOf(name)];
    QList<FormPart> parts;
    QString problem;
    if (!parseMultipartForm(request.header("Content-Type"), request.body, &parts, &problem)) {
        respond(failure(400, problem));
        return;
    }
    SentFiles files;
    QString list;
    QJsonObject options;
    for (const FormPart& part : parts) {
        if (part.fileName.isEmpty()) {
            // The command's own fields, checked by the command parser below.
            const QString value = QString::fromUtf8(part.data).trimmed();
            if (part.name == QLatin1String("full")) {
                options.insert(part.name, value == QLatin1String("1") ||
                                              value == QLatin1String("true") ||
                                              value == QLatin1String("on"));
            } else if (part.name == QLatin1String("for") && !value.isEmpty()) {
                bool number = false;
                const int seconds = value.toInt(&number);
                options.insert(part.name, number ? QJsonValue(seconds) : QJsonValue(value));
            }
            continue;
        }
        if (files.count(part.fileName)) {
            respond(
                failure(400, QStringLiteral("\"%1\" comes twice").arg(part.fileName.left(100))));
            return;
        }
        if (part.fileName.endsWith(QLatin1String(".lis"), Qt::CaseInsensitive)) {
            if (!list.isEmpty()) {
                respond(failure(400, QStringLiteral("one .lis at a time")));
                return;
            }
            list = part.fileName;
        }
        files[part.fileName] = part.data;
    }
    options.insert(QStringLiteral("list"), QStringLiteral("upload.lis"));  // checked, then replaced
    ServiceCommand command;
    problem = parseCommand(name, QStringLiteral("send"), options, &command);
    if (problem.isEmpty()) {
        problem = keepSentFiles(sign, m_service.folders().sign, QLatin1String(kUploadFolder),
                                QString::number(++m_uploads) +
                                    QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs),
                                files, &list);
    }
    if (!problem.isEmpty()) {
        respond(failure(400, problem));
        return;
    }
    command.list = list;
    submit(command, respond);
}
